// Formatted text on the firmware console, through the module's format engine.
#include "console_print.h"

#include <cstdarg>
#include <cstdint>

#include "format.h"
#include "uefi_boot.h"

void ConsolePrint(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut, const char *Format, ...) {
  char Text[CONSOLE_PRINT_LIMIT + 1];
  va_list Arguments;
  va_start(Arguments, Format);
  const int32_t Count = FormatTextV(Text, sizeof Text, Format, Arguments);
  va_end(Arguments);
  if (Count <= 0) {
    return;
  }
  // Each character may become CR LF; one more unit for the NUL.
  CHAR16 Wide[2 * CONSOLE_PRINT_LIMIT + 1];
  uint32_t Out = 0;
  for (int32_t Index = 0; Index < Count; ++Index) {
    if (Text[Index] == '\n') {
      Wide[Out++] = u'\r';
    }
    Wide[Out++] = static_cast<uint8_t>(Text[Index]);
  }
  Wide[Out] = 0;
  ConOut->OutputString(ConOut, Wide);
}
