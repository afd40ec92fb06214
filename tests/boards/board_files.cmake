# Board files at configure time: each bad one, configured into a folder of its own, must stop
# the configure with its one-line refusal and leave nothing to build; each good variant, read on
# its own (cmake/board.cmake in script mode), must give its values in board.h.
#   cmake -DSOURCE=SOURCE_TREE -DWORK=SCRATCH -DGENERATOR=GENERATOR -P board_files.cmake
#
# Every case edits one line of the good board below. 'key = value' replaces that key's line (or
# is added as a last line when no line has the key); '-key' blanks that key's line; '+TEXT'
# adds TEXT as a last line; '!' writes no file; '~crlf' writes the board with CR LF line ends.

set(GOOD_BOARD
  "probe_port = 0x259"         # line 1
  "sio_index_port = 0x4E"      # 2
  "sio_data_port = 0x4F"       # 3
  "sio_ldn = 3"                # 4
  "sio_chip_pairs = 0x29:0x1C" # 5
  "uart_base = 0x240"          # 6
  "uart_irq = 4"               # 7
  "uart_divisor = 1"           # 8
  "uart_line = 8N2"            # 9
  "delay_port = 0xED"          # 10
  "delay_writes = 2")          # 11

# Edit | what the configure prints after the board file's path | the board file's name.
set(REFUSALS [=[
uart_speed = 9600|:12: uart_speed: unknown key
-uart_irq|:11: uart_irq: missing (every key must be given)
+uart_irq = 4|:12: uart_irq: given twice (first at line 7)
+uart base = 1|:12: 'uart base = 1' is not a 'name = value' line
+just words|:12: 'just words' is not a 'name = value' line
+[a;b] = 1|:12: '[a;b] = 1' is not a 'name = value' line
uart_irq =|:7: uart_irq: no value
probe_port = 0x10000|:1: probe_port: 0x10000 is above 0xFFFF
delay_port = 65536|:10: delay_port: 65536 is above 0xFFFF
sio_index_port = 0x123456789ABCDEF0|:2: sio_index_port: 0x123456789ABCDEF0 is above 0xFFFF
sio_data_port = 0x4G|:3: sio_data_port: '0x4G' is not a number (decimal, or hexadecimal after 0x)
uart_base = 0x2FC|:6: uart_base: 0x2FC is not a multiple of 8
uart_base = 0x1FFF8|:6: uart_base: 0x1FFF8 is above 0xFFFF
uart_irq = 16|:7: uart_irq: 16 is above 15
uart_irq = -1|:7: uart_irq: '-1' is not a number (decimal, or hexadecimal after 0x)
uart_irq = 4;5|:7: uart_irq: '4;5' is not a number (decimal, or hexadecimal after 0x)
uart_divisor = 0|:8: uart_divisor: 0 divides nothing: 1 to 0xFFFF
uart_divisor = 0x10000|:8: uart_divisor: 0x10000 is above 0xFFFF
uart_divisor = 12 baud|:8: uart_divisor: '12 baud' is not a number (decimal, or hexadecimal after 0x)
uart_line = 9N1|:9: uart_line: '9N1' is not a line setting: data bits 5 to 8, parity N, O, E, M or S, stop bits 1 or 2, as in 8N1
uart_line = 8X1|:9: uart_line: '8X1' is not a line setting: data bits 5 to 8, parity N, O, E, M or S, stop bits 1 or 2, as in 8N1
uart_line = 8N1.5|:9: uart_line: '8N1.5' is not a line setting: data bits 5 to 8, parity N, O, E, M or S, stop bits 1 or 2, as in 8N1
uart_line = 5N2|:9: uart_line: '5N2': with 5 data bits a 16550 sends 1.5 stop bits, not 2
sio_ldn = 0x100|:4: sio_ldn: 0x100 is above 0xFF
sio_chip_pairs = 0x100:0x1C|:5: sio_chip_pairs: register 0x100 is above 0xFF
sio_chip_pairs = 0x29:0x1C 0x2A:256|:5: sio_chip_pairs: value 256 is above 0xFF
sio_chip_pairs = 0x29=0x1C|:5: sio_chip_pairs: '0x29=0x1C' is not a list of register:value pairs
sio_chip_pairs = 0x29:0x1C:0x2A|:5: sio_chip_pairs: '0x29:0x1C:0x2A' is not a register:value pair
sio_chip_pairs = 0x29|:5: sio_chip_pairs: '0x29' is not a register:value pair
sio_chip_pairs = 0x29:0x1C, 7:3|:5: sio_chip_pairs: register 0x7 is the logical-device select, which the table writes from sio_ldn
sio_chip_pairs = 0x61:0x40|:5: sio_chip_pairs: register 0x61 is the I/O base, which the table derives from uart_base
sio_chip_pairs = 0x70:3|:5: sio_chip_pairs: register 0x70 is the interrupt level, which the table derives from uart_irq
sio_chip_pairs = 0x30:1|:5: sio_chip_pairs: register 0x30 is activate, which the table writes last
delay_writes = 17|:11: delay_writes: 17 is above 16
sio_data_port = 0x4E|:3: sio_data_port: 0x4E is also sio_index_port (line 2)
delay_port = 601|:10: delay_port: 601 is also probe_port (line 1)
delay_port = 0x247|:10: delay_port: 0x247 lies among the UART's registers 0x240 to 0x247 (uart_base, line 6)
probe_port = 0x245|:6: uart_base: 0x240 puts the UART's registers 0x240 to 0x247 over probe_port 0x245 (line 1)
!|: no such board file
|: the board's name 'two words' (its file name) may hold only letters, digits, '.', '_' and '-'|two words.board
]=])

# Edit | a line board.h must hold.
set(ACCEPTED [=[
|#define SIO_CHIP_PAIRS 0x29, 0x1c,
sio_chip_pairs =|#define SIO_CHIP_PAIRS \n
sio_chip_pairs = 0x29:0x1C, 0x2a:0 ,0X2B:255|#define SIO_CHIP_PAIRS 0x29, 0x1c, 0x2a, 0x0, 0x2b, 0xff,
sio_chip_pairs = 0x29:0x1C,,0x2a:0|constexpr uint32_t SIO_CHIP_PAIR_COUNT = 2;
uart_line = 7e1   # seven bits, even parity|constexpr char UART_PARITY = 'E';
uart_base = 760|constexpr uint16_t SERIAL_BASE = 0x2f8;
probe_port = 0X025a|constexpr uint16_t SIO_PROBE_PORT = 0x25a;
delay_writes = 0|constexpr uint32_t IO_DELAY_WRITES = 0;
sio_ldn = 00000000000000000000002|constexpr uint8_t SIO_LDN_SERIAL = 0x2;
uart_divisor = 0x000C|constexpr uint16_t UART_DIVISOR = 12; // 9600 baud
uart_divisor = 7|constexpr uint16_t UART_DIVISOR = 7; // 16457 baud
~crlf|constexpr uint8_t UART_STOP_BITS = 2;
]=])

# Writes the board for Edit to File (nothing for '!'). Built as one string: an edit may hold ';'.
function(write_board File Edit)
  if(Edit STREQUAL "!")
    return()
  endif()
  set(End "\n")
  if(Edit STREQUAL "~crlf")
    set(End "\r\n")
  endif()
  set(Key "")
  set(Extra "")
  if(Edit MATCHES "^\\+(.*)$")
    set(Extra "${CMAKE_MATCH_1}${End}")
  elseif(Edit MATCHES "^-(.*)$")
    set(Key "${CMAKE_MATCH_1}")
    set(Replacement "")
  elseif(Edit MATCHES "^([a-z_ ]*[a-z_]) *=")
    set(Key "${CMAKE_MATCH_1}")
    set(Replacement "${Edit}")
    set(Extra "${Edit}${End}") # kept only when no line has the key
  endif()
  set(Text "")
  foreach(Line IN LISTS GOOD_BOARD)
    if(NOT Key STREQUAL "" AND Line MATCHES "^${Key} =")
      set(Line "${Replacement}")
      set(Extra "")
    endif()
    string(APPEND Text "${Line}${End}")
  endforeach()
  file(WRITE "${File}" "${Text}${Extra}")
endfunction()

# Runs Check(<edit> <expected> <file name>) for each 'EDIT|EXPECTED[|FILE NAME]' line of Table,
# read one line at a time: a case may hold ';'.
macro(for_each_case Table Check)
  set(Rest "${${Table}}")
  while(NOT Rest STREQUAL "")
    string(FIND "${Rest}" "\n" End)
    string(SUBSTRING "${Rest}" 0 ${End} Case)
    math(EXPR End "${End} + 1")
    string(SUBSTRING "${Rest}" ${End} -1 Rest)
    if(Case STREQUAL "")
      continue()
    endif()
    math(EXPR Number "${Number} + 1")
    if(NOT Case MATCHES "^([^|]*)\\|([^|]*)(\\|(.*))?$")
      message(FATAL_ERROR "malformed case: ${Case}")
    endif()
    set(Name "${CMAKE_MATCH_4}")
    cmake_language(CALL ${Check} "${CMAKE_MATCH_1}" "${CMAKE_MATCH_2}" "${Name}")
  endwhile()
endmacro()

function(check_refused Edit Expected Name)
  if(Name STREQUAL "")
    set(Name refused.board)
  endif()
  set(Folder ${WORK}/refused-${Number})
  write_board("${Folder}/${Name}" "${Edit}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${Folder}/build -G ${GENERATOR}
            "-DOEMCOM_BOARD=${Folder}/${Name}"
    RESULT_VARIABLE Status OUTPUT_VARIABLE Output ERROR_VARIABLE Errors)
  string(FIND "${Errors}" "\n   ${Folder}/${Name}${Expected}\n" At)
  if(Status EQUAL 0 OR At EQUAL -1)
    message(NOTICE "FAIL [${Edit}]: status ${Status}, expected the line\n"
                   "   ${Folder}/${Name}${Expected}\ngot:\n${Errors}")
    math(EXPR Failures "${Failures} + 1")
    set(Failures ${Failures} PARENT_SCOPE)
  elseif(EXISTS ${Folder}/build/board OR EXISTS ${Folder}/build/build.ninja
         OR EXISTS ${Folder}/build/Makefile)
    message(NOTICE "FAIL [${Edit}]: the refused configure left files to build with")
    math(EXPR Failures "${Failures} + 1")
    set(Failures ${Failures} PARENT_SCOPE)
  endif()
endfunction()

function(check_accepted Edit Expected Name)
  string(REPLACE "\\n" "\n" Expected "${Expected}")
  set(Folder ${WORK}/accepted-${Number})
  write_board(${Folder}/good.board "${Edit}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DOEMCOM_BOARD=${Folder}/good.board -DBOARD_OUTPUT=${Folder}
            -P ${SOURCE}/cmake/board.cmake
    RESULT_VARIABLE Status ERROR_VARIABLE Errors)
  set(Header "")
  if(EXISTS ${Folder}/board.h)
    file(READ ${Folder}/board.h Header)
  endif()
  string(FIND "${Header}" "${Expected}" At)
  if(NOT Status EQUAL 0 OR At EQUAL -1)
    message(NOTICE "FAIL [${Edit}]: status ${Status}, expected board.h to hold\n"
                   "${Expected}\n${Errors}${Header}")
    math(EXPR Failures "${Failures} + 1")
    set(Failures ${Failures} PARENT_SCOPE)
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK})
set(Number 0)
set(Failures 0)
for_each_case(REFUSALS check_refused)
for_each_case(ACCEPTED check_accepted)
if(Failures GREATER 0)
  message(FATAL_ERROR "${Failures} of ${Number} board cases failed")
endif()
file(REMOVE_RECURSE ${WORK})
message(STATUS "${Number} board cases passed")
