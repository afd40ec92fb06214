// Formatted text on the firmware console.
#pragma once

#include <cstdint>

#include "uefi_boot.h"

// Characters of one ConsolePrint message, NUL excluded; longer text is cut.
constexpr uint32_t CONSOLE_PRINT_LIMIT = 127;

// Formats like FormatText (so "%r" prints a status by name) into a stack buffer and writes
// the text with ConOut->OutputString, each line feed preceded by a carriage return as the
// console expects.
void ConsolePrint(EFI_SIMPLE_TEXT_OUTPUT_PROTOCOL *ConOut, const char *Format, ...);
