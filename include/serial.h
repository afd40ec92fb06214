// Polled serial output on the UART at SERIAL_BASE.
#pragma once

#include <cstdint>

// DebugPrint's stack buffer, terminator included: at most 2047 characters per message.
constexpr uint32_t DEBUG_PRINT_BUFFER_SIZE = 2048;

extern "C" {
// Sends Text up to its NUL. Each line feed goes out as CR LF; LSR is polled until THRE is set
// before every byte, with no timeout. An empty or null Text touches no port.
void SerialWriteString(const char *Text);

// Formats into a 2048-byte stack buffer (see FormatText) and sends the result. A null Format
// sends nothing.
void DebugPrint(const char *Format, ...);
}
