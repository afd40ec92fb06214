// Polled transmitter for the UART at SERIAL_BASE.
#include <cstdint>

#include "platform_ports.h"
#include "port_io.h"
#include "serial.h"

// Both waits read LSR until THRE is set, with no timeout: a UART that never empties its
// holding register stops the module there. They stay inline, so a byte costs no call.
void SerialWriteString(const char *Text) {
  if (Text == nullptr) {
    return;
  }
  char Byte = *Text++;
  while (Byte != '\0') {
    if (Byte == '\n') {
      while ((PortRead8(SERIAL_BASE + UART_LSR) & UART_LSR_THRE) == 0) {
      }
      PortWrite8(SERIAL_BASE + UART_THR, '\r');
    }
    // Sends Byte, then every byte after it above 0x0A: those need no test but this loop's own.
    do {
      while ((PortRead8(SERIAL_BASE + UART_LSR) & UART_LSR_THRE) == 0) {
      }
      PortWrite8(SERIAL_BASE + UART_THR, static_cast<uint8_t>(Byte));
      Byte = *Text++;
    } while (static_cast<uint8_t>(Byte) > '\n');
  }
}
