// Module entry: enable the Super I/O serial port, set the UART line, announce it.
#include <cstdint>

#include "efi_types.h"
#include "entry.h"
#include "platform_ports.h"
#include "port_io.h"
#include "serial.h"

// One (register, value) pair per line. The base and the IRQ come from SERIAL_BASE and
// SERIAL_IRQ, so the Super I/O puts the UART where the module addresses it.
// clang-format off
const uint8_t SioInitTable[2 * SIO_INIT_PAIRS] = {
    SIO_LDN,         SIO_LDN_SERIAL,     // select the serial port's logical device
    SIO_CHIP_PAIRS                       // the chip's own registers, in the board's order
    SIO_BASE_HIGH,   SERIAL_BASE >> 8,   // base, high byte
    SIO_BASE_LOW,    SERIAL_BASE & 0xFF, // base, low byte
    SIO_IRQ_LEVEL,   SERIAL_IRQ,         // IRQ
    SIO_ACTIVATE,    0x01,               // activate
};
// clang-format on

namespace {

constexpr uint8_t SIO_PROBE_ABSENT = 0xFF;

// Writes 0x00 to IO_DELAY_PORT Writes times, one bus cycle each. Unrolled: the count is the
// board's, fixed at build time.
template <uint32_t Writes> inline void BusDelay() {
  if constexpr (Writes != 0) {
    PortWrite8(IO_DELAY_PORT, 0);
    BusDelay<Writes - 1>();
  }
}

} // namespace

EFI_STATUS EFIAPI OemInitComEntry(void *ImageHandle, void *SystemTable) {
  (void)ImageHandle;
  (void)SystemTable;

  if (PortRead8(SIO_PROBE_PORT) != SIO_PROBE_ABSENT) {
    const uint8_t *Pair = SioInitTable;
    uint32_t Left = sizeof SioInitTable / 2; // one test per pair, at its end
    do {
      PortWrite8(SIO_INDEX_PORT, Pair[0]);
      BusDelay<IO_DELAY_WRITES>();
      PortWrite8(SIO_DATA_PORT, Pair[1]);
      Pair += 2;
    } while (--Left != 0);
  }

  PortWrite8(SERIAL_BASE + UART_LCR, UART_LCR_DLAB | UART_LCR_LINE);
  PortWrite8(SERIAL_BASE + UART_DLL, UART_DIVISOR & 0xFF);
  PortWrite8(SERIAL_BASE + UART_DLM, UART_DIVISOR >> 8);
  PortWrite8(SERIAL_BASE + UART_LCR, UART_LCR_LINE);

  DebugPrint("\nOEM_Init_COM OK\n");
  return EFI_SUCCESS;
}
