// The platform's fixed I/O ports and the Super I/O and 16550 register layouts behind them.
#pragma once

#include <cstdint>

constexpr uint16_t SIO_PROBE_PORT = 0x259; // read once; 0xFF means "leave the Super I/O alone"
constexpr uint16_t SIO_INDEX_PORT = 0x4E;  // Super I/O configuration index
constexpr uint16_t SIO_DATA_PORT = 0x4F;   // Super I/O configuration data
constexpr uint16_t IO_DELAY_PORT = 0xED;   // unused port; a write costs one ISA bus cycle
constexpr uint16_t SERIAL_BASE = 0x0240;   // UART I/O base, also programmed into the Super I/O

// Super I/O configuration registers, Plug and Play ISA layout.
constexpr uint8_t SIO_LDN = 0x07;         // logical device number select
constexpr uint8_t SIO_CHIP_REG_29 = 0x29; // chip-level configuration (maker's range)
constexpr uint8_t SIO_ACTIVATE = 0x30;    // bit 0: logical device active
constexpr uint8_t SIO_BASE_HIGH = 0x60;   // I/O base address [15:8]
constexpr uint8_t SIO_BASE_LOW = 0x61;    // I/O base address [7:0]
constexpr uint8_t SIO_IRQ_LEVEL = 0x70;   // interrupt request level
constexpr uint8_t SIO_LDN_SERIAL = 0x03;  // the serial port's logical device

// 16550 registers, as offsets from the UART base.
constexpr uint16_t UART_THR = 0; // transmitter holding register (write, DLAB = 0)
constexpr uint16_t UART_DLL = 0; // divisor latch low (DLAB = 1)
constexpr uint16_t UART_DLM = 1; // divisor latch high (DLAB = 1)
constexpr uint16_t UART_LCR = 3; // line control
constexpr uint16_t UART_LSR = 5; // line status

constexpr uint8_t UART_LCR_WLS_8 = 0x03; // word length: 8 data bits
constexpr uint8_t UART_LCR_STB = 0x04;   // 2 stop bits (with 6 to 8 data bits)
constexpr uint8_t UART_LCR_PEN = 0x08;   // parity enable; clear means no parity
constexpr uint8_t UART_LCR_DLAB = 0x80;  // divisor latch access
constexpr uint8_t UART_LSR_THRE = 0x20;  // transmitter holding register empty
constexpr uint8_t UART_LSR_TEMT = 0x40;  // transmitter empty

// 115200 baud from the 1.8432 MHz clock: 1843200 / (16 * 115200) = 1.
constexpr uint16_t UART_DIVISOR = 1;
