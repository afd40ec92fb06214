// Polled transmitter for the UART at SERIAL_BASE.
#include "platform_ports.h"
#include "port_io.h"
#include "serial.h"

namespace {

// Busy-waits for THRE, then hands the byte to THR. No timeout: a UART that never empties its
// holding register stops the module here.
void SerialWriteByte(uint8_t Byte) {
  while ((PortRead8(SERIAL_BASE + UART_LSR) & UART_LSR_THRE) == 0) {
  }
  PortWrite8(SERIAL_BASE + UART_THR, Byte);
}

} // namespace

void SerialWriteString(const char *Text) {
  if (Text == nullptr) {
    return;
  }
  for (; *Text != '\0'; ++Text) {
    if (*Text == '\n') {
      SerialWriteByte('\r');
    }
    SerialWriteByte(static_cast<uint8_t>(*Text));
  }
}
