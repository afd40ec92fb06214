// printf-style front end of the serial line.
#include <cstdarg>
#include <cstdint>

#include "format.h"
#include "serial.h"

void DebugPrint(const char *Format, ...) {
  char Buffer[DEBUG_PRINT_BUFFER_SIZE];
  va_list Arguments;
  va_start(Arguments, Format);
  const int32_t Count = FormatTextV(Buffer, DEBUG_PRINT_BUFFER_SIZE, Format, Arguments);
  va_end(Arguments);
  // -1 means nothing was written: the buffer holds no text to send.
  if (Count >= 0) {
    SerialWriteString(Buffer);
  }
}
