// Source places of the module's instructions, for fault messages: the function, source file and
// line of an address in the shipped image, read from the DWARF of its debug twin
// (image/oemcom.debug.efi) by llvm-symbolizer, run as a child process. The twin's .text holds
// the shipped code byte for byte, at another link-time address: an address is moved there by
// its offset into the shipped .text.
#pragma once

#include <cstdint>
#include <string>

#include "struct_io.h"

struct DebugTwin {
  std::string Path;
  uint32_t ShippedTextRva = 0;  // .text's RVA in the shipped image
  uint32_t ShippedTextSize = 0; // its VirtualSize: the code and constants the twin shares
  uint64_t TwinText = 0;        // the twin's .text at its link-time address
};

// Reads the section tables of the shipped TE image and of the twin PE at TwinPath. Refuses
// either without a .text section, and a twin whose .text is smaller than the shipped one.
[[nodiscard]] bool OpenDebugTwin(ByteView ShippedTe, const std::string &TwinPath, DebugTwin *Twin,
                                 std::string *Error);

// "FormatTextV at /src/format/format_engine.cpp:242", with the functions it is inlined into
// after it ("PortRead8 at port_io_ia32.cpp:6 in SerialWriteString at serial_write.cpp:17 in
// DebugPrint at debug_print.cpp:16"), for the instruction at Rva of the shipped image. Empty
// when Rva lies outside the shipped .text, or llvm-symbolizer cannot be run or knows no place.
std::string SourcePlace(const DebugTwin &Twin, uint32_t Rva);
