// Names of header values, for messages and the inspector's listing.
#pragma once

#include <cstdint>
#include <string>

// "IA-32", "x64", ... or "unknown".
std::string MachineName(uint16_t Machine);

// "EFI boot service driver", ... or "unknown".
std::string SubsystemName(uint16_t Subsystem);

// "HIGHLOW", "ABSOLUTE", ... or "unknown".
std::string RelocationTypeName(uint8_t Type);

// The section flags in words, comma-separated: "code, execute, read, not paged"; bits without
// a name are listed as "other 0x...". "none" when Characteristics is 0.
std::string SectionFlagWords(uint32_t Characteristics);
