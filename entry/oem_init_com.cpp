// Module entry: enable the Super I/O serial port, set the UART line, announce it.
#include <cstdint>

#include "efi_types.h"
#include "entry.h"
#include "platform_ports.h"
#include "port_io.h"
#include "serial.h"

// One (register, value) pair per line.
// clang-format off
const uint8_t SioInitTable[12] = {
    SIO_LDN,         SIO_LDN_SERIAL,     // select LDN 3
    SIO_CHIP_REG_29, 0x1C,               // chip-level configuration
    SIO_BASE_HIGH,   SERIAL_BASE >> 8,   // base 0x0240, high byte
    SIO_BASE_LOW,    SERIAL_BASE & 0xFF, // base 0x0240, low byte
    SIO_IRQ_LEVEL,   0x04,               // IRQ 4
    SIO_ACTIVATE,    0x01,               // activate
};
// clang-format on

namespace {

constexpr uint8_t SIO_PROBE_ABSENT = 0xFF;
constexpr uint8_t LCR_8N2 = UART_LCR_WLS_8 | UART_LCR_STB; // 8 data bits, no parity, 2 stop bits
static_assert((LCR_8N2 & UART_LCR_PEN) == 0, "the line runs without parity");

} // namespace

EFI_STATUS EFIAPI OemInitComEntry(void *ImageHandle, void *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;

  if (PortRead8(SIO_PROBE_PORT) != SIO_PROBE_ABSENT) {
    const uint8_t *Pair = SioInitTable;
    uint32_t Left = sizeof SioInitTable / 2; // six pairs: one test per pair, at its end
    do {
      PortWrite8(SIO_INDEX_PORT, Pair[0]);
      PortWrite8(IO_DELAY_PORT, 0);
      PortWrite8(IO_DELAY_PORT, 0);
      PortWrite8(SIO_DATA_PORT, Pair[1]);
      Pair += 2;
    } while (--Left != 0);
  }

  PortWrite8(SERIAL_BASE + UART_LCR, UART_LCR_DLAB | LCR_8N2);
  PortWrite8(SERIAL_BASE + UART_DLL, UART_DIVISOR & 0xFF);
  PortWrite8(SERIAL_BASE + UART_DLM, UART_DIVISOR >> 8);
  PortWrite8(SERIAL_BASE + UART_LCR, LCR_8N2);

  DebugPrint("\nOEM_Init_COM OK\n");
  return EFI_SUCCESS;
}
