# The board the module is built for, chosen with -DOEMCOM_BOARD=PATH (default
# boards/reference.board). A board file holds one 'name = value' a line; '#' starts a comment;
# numbers are decimal or hexadecimal after 0x. It is read and checked here, before the project's
# languages and targets are configured: a bad board stops the configure with one line that
# names the file, the line and the key, and nothing is built. A good one gives
#   board/board.h    its values as C++ constants, which the module, the boot loader and the host
#                    tools take at build time (nothing reads a board at run time)
#   board/board.env  its values as NAME=VALUE lines, for the scripts (tools/qemu/boot.sh)
# and OEMCOM_BOARD_NAME, the file's name without its extension.
#
# Also run on its own (cmake -DOEMCOM_BOARD=FILE -DBOARD_OUTPUT=DIR -P cmake/board.cmake), it
# writes the two files into DIR.
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.20)
endif()

set(OEMCOM_BOARD ${CMAKE_SOURCE_DIR}/boards/reference.board
    CACHE FILEPATH "Board file the module is built for")
set(BOARD_KEYS probe_port sio_index_port sio_data_port delay_port delay_writes sio_ldn
    sio_chip_pairs uart_base uart_irq uart_divisor uart_line)
set(BOARD_PORT_KEYS probe_port sio_index_port sio_data_port delay_port)
# The delay writes are unrolled into the table loop: each costs a few bytes of code.
set(BOARD_MAX_DELAY_WRITES 16)

# Stops the configure with "FILE:LINE: TEXT". The leading blank keeps CMake from wrapping the
# message over several lines.
function(board_refuse Line Text)
  message(FATAL_ERROR " ${OEMCOM_BOARD}:${Line}: ${Text}")
endfunction()

# board_number(<out> <line> <what> <text> <max> <max as written>): Text, decimal or 0x
# hexadecimal, as a number from 0 to Max; any other text is refused, its message starting with
# What ("uart_irq:", "sio_chip_pairs: register").
function(board_number Out Line What Text Max MaxText)
  if(Text MATCHES "^0[xX]([0-9a-fA-F]+)$")
    string(REGEX REPLACE "^0+" "" Digits "${CMAKE_MATCH_1}")
    set(Prefix 0x)
    set(Widest 8)
  elseif(Text MATCHES "^[0-9]+$")
    string(REGEX REPLACE "^0+" "" Digits "${Text}")
    set(Prefix "")
    set(Widest 9)
  else()
    board_refuse(${Line} "${What} '${Text}' is not a number (decimal, or hexadecimal after 0x)")
  endif()
  if(Digits STREQUAL "")
    set(Digits 0)
  endif()
  string(LENGTH "${Digits}" Length)
  if(Length GREATER Widest)
    board_refuse(${Line} "${What} ${Text} is above ${MaxText}")
  endif()
  math(EXPR Value "${Prefix}${Digits}")
  if(Value GREATER Max)
    board_refuse(${Line} "${What} ${Text} is above ${MaxText}")
  endif()
  set(${Out} ${Value} PARENT_SCOPE)
endfunction()

function(board_hex Out Value)
  math(EXPR Hex "${Value}" OUTPUT_FORMAT HEXADECIMAL)
  set(${Out} ${Hex} PARENT_SCOPE)
endfunction()

# The registers the table derives itself, which a chip pair may not write.
function(board_derived_register Out Register)
  set(Role)
  if(Register EQUAL 7) # 0x07
    set(Role "the logical-device select, which the table writes from sio_ldn")
  elseif(Register EQUAL 48) # 0x30
    set(Role "activate, which the table writes last")
  elseif(Register EQUAL 96 OR Register EQUAL 97) # 0x60, 0x61
    set(Role "the I/O base, which the table derives from uart_base")
  elseif(Register EQUAL 112) # 0x70
    set(Role "the interrupt level, which the table derives from uart_irq")
  endif()
  set(${Out} "${Role}" PARENT_SCOPE)
endfunction()

# sio_chip_pairs: register:value pairs, blanks or commas between them, possibly none. Sets
# BoardPairs (the C++ list, "0x29, 0x1c,") and BoardPairCount.
function(board_chip_pairs Line Text)
  if(NOT Text MATCHES "^[0-9a-zA-Z:, \t]*$")
    board_refuse(${Line} "sio_chip_pairs: '${Text}' is not a list of register:value pairs")
  endif()
  string(REGEX REPLACE "[ \t,]+" ";" Items "${Text}")
  set(Pairs "")
  set(Count 0)
  foreach(Item IN LISTS Items)
    if(Item STREQUAL "")
      continue()
    endif()
    if(NOT Item MATCHES "^([^:]+):([^:]+)$")
      board_refuse(${Line} "sio_chip_pairs: '${Item}' is not a register:value pair")
    endif()
    set(ValueText ${CMAKE_MATCH_2})
    board_number(Register ${Line} "sio_chip_pairs: register" "${CMAKE_MATCH_1}" 255 0xFF)
    board_number(Value ${Line} "sio_chip_pairs: value" "${ValueText}" 255 0xFF)
    board_derived_register(Role ${Register})
    board_hex(Register ${Register})
    board_hex(Value ${Value})
    if(NOT Role STREQUAL "")
      board_refuse(${Line} "sio_chip_pairs: register ${Register} is ${Role}")
    endif()
    string(APPEND Pairs "${Register}, ${Value}, ")
    math(EXPR Count "${Count} + 1")
  endforeach()
  string(STRIP "${Pairs}" Pairs)
  set(BoardPairs "${Pairs}" PARENT_SCOPE)
  set(BoardPairCount ${Count} PARENT_SCOPE)
endfunction()

# One key's value, checked on its own. Sets Board_<key> (the number, or the line setting).
function(board_value Line Key Text)
  if(Text STREQUAL "" AND NOT Key STREQUAL "sio_chip_pairs")
    board_refuse(${Line} "${Key}: no value")
  endif()
  if(Key IN_LIST BOARD_PORT_KEYS OR Key STREQUAL "uart_base")
    board_number(Value ${Line} "${Key}:" "${Text}" 65535 0xFFFF)
  elseif(Key STREQUAL "delay_writes")
    board_number(Value ${Line} "${Key}:" "${Text}" ${BOARD_MAX_DELAY_WRITES}
                 ${BOARD_MAX_DELAY_WRITES})
  elseif(Key STREQUAL "sio_ldn")
    board_number(Value ${Line} "${Key}:" "${Text}" 255 0xFF)
  elseif(Key STREQUAL "uart_irq")
    board_number(Value ${Line} "${Key}:" "${Text}" 15 15)
  elseif(Key STREQUAL "uart_divisor")
    board_number(Value ${Line} "${Key}:" "${Text}" 65535 0xFFFF)
    if(Value EQUAL 0)
      board_refuse(${Line} "uart_divisor: 0 divides nothing: 1 to 0xFFFF")
    endif()
  elseif(Key STREQUAL "uart_line")
    string(TOUPPER "${Text}" Value)
    if(NOT Value MATCHES "^[5-8][NOEMS][12]$")
      board_refuse(${Line} "uart_line: '${Text}' is not a line setting: data bits 5 to 8, \
parity N, O, E, M or S, stop bits 1 or 2, as in 8N1")
    endif()
    if(Value MATCHES "^5.2$")
      board_refuse(${Line} "uart_line: '${Text}': with 5 data bits a 16550 sends 1.5 stop \
bits, not 2")
    endif()
  elseif(Key STREQUAL "sio_chip_pairs")
    board_chip_pairs(${Line} "${Text}")
    set(BoardPairs "${BoardPairs}" PARENT_SCOPE)
    set(BoardPairCount ${BoardPairCount} PARENT_SCOPE)
    set(Value "${Text}")
  endif()
  if(Key STREQUAL "uart_base")
    math(EXPR Rest "${Value} % 8")
    if(NOT Rest EQUAL 0)
      board_refuse(${Line} "uart_base: ${Text} is not a multiple of 8")
    endif()
  endif()
  set(Board_${Key} "${Value}" PARENT_SCOPE)
endfunction()

# Reads OEMCOM_BOARD and writes board.h and board.env into Output.
function(board_read Output)
  if(NOT EXISTS "${OEMCOM_BOARD}" OR IS_DIRECTORY "${OEMCOM_BOARD}")
    message(FATAL_ERROR " ${OEMCOM_BOARD}: no such board file")
  endif()
  get_filename_component(Name "${OEMCOM_BOARD}" NAME_WLE)
  if(NOT Name MATCHES "^[A-Za-z0-9][A-Za-z0-9_.-]*$")
    message(FATAL_ERROR " ${OEMCOM_BOARD}: the board's name '${Name}' (its file name) may \
hold only letters, digits, '.', '_' and '-'")
  endif()
  file(READ "${OEMCOM_BOARD}" Rest)

  # One line at a time, without lists: a line may hold any character, ';' and '[' included.
  set(Number 0)
  while(NOT Rest STREQUAL "")
    math(EXPR Number "${Number} + 1")
    string(FIND "${Rest}" "\n" End)
    if(End EQUAL -1)
      set(Line "${Rest}")
      set(Rest "")
    else()
      string(SUBSTRING "${Rest}" 0 ${End} Line)
      math(EXPR End "${End} + 1")
      string(SUBSTRING "${Rest}" ${End} -1 Rest)
    endif()
    string(FIND "${Line}" "#" Hash)
    if(NOT Hash EQUAL -1)
      string(SUBSTRING "${Line}" 0 ${Hash} Line)
    endif()
    string(STRIP "${Line}" Line)
    if(Line STREQUAL "")
      continue()
    endif()
    if(NOT Line MATCHES "^([A-Za-z0-9_]+)[ \t]*=(.*)$")
      board_refuse(${Number} "'${Line}' is not a 'name = value' line")
    endif()
    set(Key ${CMAKE_MATCH_1})
    string(STRIP "${CMAKE_MATCH_2}" Text)
    if(NOT Key IN_LIST BOARD_KEYS)
      board_refuse(${Number} "${Key}: unknown key")
    endif()
    if(DEFINED Line_${Key})
      board_refuse(${Number} "${Key}: given twice (first at line ${Line_${Key}})")
    endif()
    set(Line_${Key} ${Number})
    set(Text_${Key} "${Text}")
    board_value(${Number} ${Key} "${Text}")
  endwhile()

  if(Number EQUAL 0)
    set(Number 1)
  endif()
  foreach(Key IN LISTS BOARD_KEYS)
    if(NOT DEFINED Line_${Key})
      board_refuse(${Number} "${Key}: missing (every key must be given)")
    endif()
  endforeach()

  # Every port its own, and none among the UART's eight registers. Each refusal names the later
  # of the two lines.
  math(EXPR UartLast "${Board_uart_base} + 7")
  board_hex(UartFirstHex ${Board_uart_base})
  board_hex(UartLastHex ${UartLast})
  set(Earlier)
  foreach(Key IN LISTS BOARD_PORT_KEYS)
    if(Board_${Key} GREATER_EQUAL Board_uart_base AND Board_${Key} LESS_EQUAL UartLast)
      set(Span "the UART's registers ${UartFirstHex} to ${UartLastHex}")
      if(Line_uart_base GREATER Line_${Key})
        board_refuse(${Line_uart_base} "uart_base: ${Text_uart_base} puts ${Span} over ${Key} \
${Text_${Key}} (line ${Line_${Key}})")
      endif()
      board_refuse(${Line_${Key}}
                   "${Key}: ${Text_${Key}} lies among ${Span} (uart_base, line ${Line_uart_base})")
    endif()
    foreach(Before IN LISTS Earlier)
      if(Board_${Key} EQUAL Board_${Before})
        set(Later ${Key})
        set(Former ${Before})
        if(Line_${Before} GREATER Line_${Key})
          set(Later ${Before})
          set(Former ${Key})
        endif()
        board_refuse(${Line_${Later}}
                     "${Later}: ${Text_${Later}} is also ${Former} (line ${Line_${Former}})")
      endif()
    endforeach()
    list(APPEND Earlier ${Key})
  endforeach()

  # The values as the generated files write them.
  foreach(Key probe_port sio_index_port sio_data_port delay_port sio_ldn uart_base)
    board_hex(Hex_${Key} ${Board_${Key}})
  endforeach()
  string(SUBSTRING ${Board_uart_line} 0 1 DataBits)
  string(SUBSTRING ${Board_uart_line} 1 1 Parity)
  string(SUBSTRING ${Board_uart_line} 2 1 StopBits)
  math(EXPR Baud "(115200 + ${Board_uart_divisor} / 2) / ${Board_uart_divisor}")

  file(CONFIGURE OUTPUT ${Output}/board.h @ONLY CONTENT [=[
// Written by cmake/board.cmake when the build was configured, from board @Name@:
//   @OEMCOM_BOARD@
// The module, the boot loader and the host tools take these values at build time; nothing
// reads a board at run time.
#pragma once

#include <cstdint>

constexpr char BOARD_NAME[] = "@Name@";

constexpr uint16_t SIO_PROBE_PORT = @Hex_probe_port@; // read once; 0xFF leaves the Super I/O alone
constexpr uint16_t SIO_INDEX_PORT = @Hex_sio_index_port@; // Super I/O configuration index
constexpr uint16_t SIO_DATA_PORT = @Hex_sio_data_port@; // Super I/O configuration data
constexpr uint16_t IO_DELAY_PORT = @Hex_delay_port@; // written 0x00: one bus cycle
constexpr uint32_t IO_DELAY_WRITES = @Board_delay_writes@; // between each index and data write

constexpr uint8_t SIO_LDN_SERIAL = @Hex_sio_ldn@; // the serial port's logical device
// The chip's own (register, value) pairs, written after the logical-device select and before
// the base, in this order.
#define SIO_CHIP_PAIRS @BoardPairs@
constexpr uint32_t SIO_CHIP_PAIR_COUNT = @BoardPairCount@;

constexpr uint16_t SERIAL_BASE = @Hex_uart_base@; // UART I/O base, also programmed into the Super I/O
constexpr uint8_t SERIAL_IRQ = @Board_uart_irq@; // interrupt level programmed into the Super I/O
constexpr uint16_t UART_DIVISOR = @Board_uart_divisor@; // @Baud@ baud from the 1.8432 MHz clock
constexpr uint8_t UART_DATA_BITS = @DataBits@;
constexpr char UART_PARITY = '@Parity@'; // N none, O odd, E even, M mark, S space
constexpr uint8_t UART_STOP_BITS = @StopBits@;
]=])
  file(CONFIGURE OUTPUT ${Output}/board.env @ONLY CONTENT [=[
# Board @Name@ (@OEMCOM_BOARD@), one NAME=VALUE a line
BOARD_NAME=@Name@
PROBE_PORT=@Hex_probe_port@
SIO_INDEX_PORT=@Hex_sio_index_port@
SIO_DATA_PORT=@Hex_sio_data_port@
DELAY_PORT=@Hex_delay_port@
UART_BASE=@Hex_uart_base@
UART_IRQ=@Board_uart_irq@
UART_DIVISOR=@Board_uart_divisor@
UART_LINE=@Board_uart_line@
]=])
  set(OEMCOM_BOARD_NAME ${Name} PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  board_read(${BOARD_OUTPUT})
else()
  board_read(${CMAKE_BINARY_DIR}/board)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${OEMCOM_BOARD})
  message(STATUS "Board ${OEMCOM_BOARD_NAME}: ${OEMCOM_BOARD}")
endif()
