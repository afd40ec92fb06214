// The board's I/O ports and line setting, and the Super I/O and 16550 register layouts behind
// them. The board's values (SIO_PROBE_PORT, SIO_INDEX_PORT, SIO_DATA_PORT, IO_DELAY_PORT,
// IO_DELAY_WRITES, SIO_LDN_SERIAL, SIO_CHIP_PAIRS, SERIAL_BASE, SERIAL_IRQ, UART_DIVISOR and the
// line) come from board.h, which cmake/board.cmake writes from the board file at configure time.
#pragma once

#include <cstdint>

#include "board.h" // IWYU pragma: export

// Super I/O configuration registers, Plug and Play ISA layout.
constexpr uint8_t SIO_LDN = 0x07;       // logical device number select
constexpr uint8_t SIO_ACTIVATE = 0x30;  // bit 0: logical device active
constexpr uint8_t SIO_BASE_HIGH = 0x60; // I/O base address [15:8]
constexpr uint8_t SIO_BASE_LOW = 0x61;  // I/O base address [7:0]
constexpr uint8_t SIO_IRQ_LEVEL = 0x70; // interrupt request level

// SioInitTable's pairs: the logical-device select, the chip's own pairs, base high, base low,
// IRQ and activate.
constexpr uint32_t SIO_INIT_PAIRS = 1 + SIO_CHIP_PAIR_COUNT + 4;

// 16550 registers, as offsets from the UART base.
constexpr uint16_t UART_THR = 0; // transmitter holding register (write, DLAB = 0)
constexpr uint16_t UART_DLL = 0; // divisor latch low (DLAB = 1)
constexpr uint16_t UART_DLM = 1; // divisor latch high (DLAB = 1)
constexpr uint16_t UART_LCR = 3; // line control
constexpr uint16_t UART_LSR = 5; // line status

constexpr uint8_t UART_LCR_WLS_8 = 0x03; // word length select: 8 data bits; the field's mask
constexpr uint8_t UART_LCR_STB = 0x04;   // 2 stop bits (1.5 with 5 data bits)
constexpr uint8_t UART_LCR_PEN = 0x08;   // parity enable; clear means no parity
constexpr uint8_t UART_LCR_EPS = 0x10;   // even parity select
constexpr uint8_t UART_LCR_SP = 0x20;    // stick parity: a fixed parity bit, 1 (mark) or 0 with EPS
constexpr uint8_t UART_LCR_BC = 0x40;    // break control
constexpr uint8_t UART_LCR_DLAB = 0x80;  // divisor latch access
constexpr uint8_t UART_LSR_THRE = 0x20;  // transmitter holding register empty
constexpr uint8_t UART_LSR_TEMT = 0x40;  // transmitter empty

// The LCR of a line of DataBits (5 to 8), Parity (N none, O odd, E even, M mark, S space) and
// StopBits (1 or 2), divisor latch access off.
constexpr uint8_t UartLineControl(uint32_t DataBits, char Parity, uint32_t StopBits) {
  uint32_t Lcr = (DataBits - 5) & UART_LCR_WLS_8;
  if (StopBits == 2) {
    Lcr |= UART_LCR_STB;
  }
  if (Parity == 'O') {
    Lcr |= UART_LCR_PEN;
  } else if (Parity == 'E') {
    Lcr |= UART_LCR_PEN | UART_LCR_EPS;
  } else if (Parity == 'M') {
    Lcr |= UART_LCR_PEN | UART_LCR_SP;
  } else if (Parity == 'S') {
    Lcr |= UART_LCR_PEN | UART_LCR_EPS | UART_LCR_SP;
  }
  return static_cast<uint8_t>(Lcr);
}

// The board's line, as the module leaves the LCR.
constexpr uint8_t UART_LCR_LINE = UartLineControl(UART_DATA_BITS, UART_PARITY, UART_STOP_BITS);
