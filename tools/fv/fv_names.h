// Names of FFS file types, section types and the GUIDs fv-tool knows, for listings and
// messages.
#pragma once

#include <cstdint>
#include <string>

#include "fv_format.h"

// "PEI core", "PEIM", "pad", ... "OEM", "debug" or "unknown".
std::string FileTypeName(uint8_t Type);

// "TE image", "GUID-defined", "volume image", ... or "unknown".
std::string SectionTypeName(uint8_t Type);

// What a GUID-defined section's GUID means, "LZMA", "CRC32", ...; empty when not known.
std::string GuidedSectionName(const fv::EFI_GUID &Guid);

// A volume's file system: "FFS2", "FFS3", "NV data", or the GUID's text.
std::string FileSystemName(const fv::EFI_GUID &Guid);

struct FvVolume;
struct FvFile;

// "volume 6938079b-b503-4e3d-9d24-b28337a25806", or "volume at 0x348000" without a name.
std::string VolumeLabel(const FvVolume &Volume);

// "file 56f26cba-0844-463d-87ba-395d00c5c762 at 0x27280".
std::string FileLabel(const FvFile &File);
