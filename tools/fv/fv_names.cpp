#include "fv_names.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>

#include "firmware_tree.h"
#include "fv_format.h"
#include "guid_text.h"
#include "messages.h"
#include "name_table.h"

using namespace fv;

namespace {

constexpr Named FILE_TYPES[] = {{0x01, "raw"},
                                {0x02, "freeform"},
                                {0x03, "SEC core"},
                                {0x04, "PEI core"},
                                {0x05, "DXE core"},
                                {0x06, "PEIM"},
                                {0x07, "DXE driver"},
                                {0x08, "combined PEIM and driver"},
                                {0x09, "application"},
                                {0x0A, "MM module"},
                                {0x0B, "volume image"},
                                {0x0C, "combined MM and DXE module"},
                                {0x0D, "MM core"},
                                {0x0E, "standalone MM module"},
                                {0x0F, "standalone MM core"},
                                {0xF0, "pad"}};

constexpr Named SECTION_TYPES[] = {{0x01, "compression"},
                                   {0x02, "GUID-defined"},
                                   {0x03, "disposable"},
                                   {0x10, "PE32 image"},
                                   {0x11, "PIC image"},
                                   {0x12, "TE image"},
                                   {0x13, "DXE dependency"},
                                   {0x14, "version"},
                                   {0x15, "user interface"},
                                   {0x16, "16-bit image"},
                                   {0x17, "volume image"},
                                   {0x18, "freeform subtype GUID"},
                                   {0x19, "raw"},
                                   {0x1B, "PEI dependency"},
                                   {0x1C, "MM dependency"}};

struct NamedGuid {
  EFI_GUID Guid;
  const char *Name;
};

constexpr NamedGuid GUIDED_SECTIONS[] = {
    {LZMA_CUSTOM_DECOMPRESS_GUID, "LZMA"},
    {{0xFC1BCDB0, 0x7D31, 0x49AA, {0x93, 0x6A, 0xA4, 0x60, 0x0D, 0x9D, 0xD0, 0x83}}, "CRC32"},
    {{0xA31280AD, 0x481E, 0x41B6, {0x95, 0xE8, 0x12, 0x7F, 0x4C, 0x98, 0x47, 0x79}},
     "Tiano compression"},
    {{0xD42AE6BD, 0x1352, 0x4BFB, {0x90, 0x9A, 0xCA, 0x72, 0xA6, 0xEA, 0xE8, 0x89}},
     "LZMA with x86 filter"},
    {{0x3D532050, 0x5CDA, 0x4FD0, {0x87, 0x9E, 0x0F, 0x7F, 0x63, 0x0D, 0x5A, 0xFB}}, "Brotli"}};

constexpr NamedGuid FILE_SYSTEMS[] = {
    {EFI_FIRMWARE_FILE_SYSTEM2_GUID, "FFS2"},
    {EFI_FIRMWARE_FILE_SYSTEM3_GUID, "FFS3"},
    {{0xFFF12B8D, 0x7696, 0x4C8B, {0xA9, 0x85, 0x27, 0x47, 0x07, 0x5B, 0x4F, 0x50}}, "NV data"}};

template <size_t Count>
const char *GuidName(const NamedGuid (&Table)[Count], const EFI_GUID &Guid) {
  const NamedGuid *Found =
      std::find_if(std::begin(Table), std::end(Table),
                   [&](const NamedGuid &Entry) { return SameGuid(Entry.Guid, Guid); });
  return Found != std::end(Table) ? Found->Name : nullptr;
}

} // namespace

std::string FileTypeName(uint8_t Type) {
  if (Type >= 0xC0 && Type <= 0xDF) {
    return "OEM";
  }
  if (Type >= 0xE0 && Type <= 0xEF) {
    return "debug";
  }
  return NameOf(FILE_TYPES, Type, "unknown");
}

std::string SectionTypeName(uint8_t Type) {
  return NameOf(SECTION_TYPES, Type, "unknown");
}

std::string GuidedSectionName(const EFI_GUID &Guid) {
  const char *Name = GuidName(GUIDED_SECTIONS, Guid);
  return Name != nullptr ? Name : "";
}

std::string FileSystemName(const EFI_GUID &Guid) {
  const char *Name = GuidName(FILE_SYSTEMS, Guid);
  return Name != nullptr ? Name : GuidText(Guid);
}

std::string VolumeLabel(const FvVolume &Volume) {
  return Volume.HasName ? "volume " + GuidText(Volume.Name) : "volume at " + Hex(Volume.Offset);
}

std::string FileLabel(const FvFile &File) {
  return "file " + GuidText(File.Header.Name) + " at " + Hex(File.Offset);
}
