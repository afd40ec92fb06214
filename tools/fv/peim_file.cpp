#include "peim_file.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "messages.h"
#include "struct_io.h"
#include "te_check.h"
#include "te_image.h"

using namespace fv;

bool BuildPeimFile(ByteView Te, const EFI_GUID &Name, const std::string &UiName,
                   std::vector<uint8_t> *File, std::string *Error) {
  TeImage Image;
  if (!ParseTeImage(Te, &Image, Error)) {
    return false;
  }
  const uint32_t Displacement = Image.Displacement();
  if (Displacement % SECTION_ALIGNMENT != 0) {
    return Fail(Error, "StrippedSize " + Hex(Image.StrippedSize) +
                           " puts RVA 0 a distance from the TE header that is not a multiple of 4 "
                           "bytes; no section before it can bring the image base to a multiple "
                           "of 32");
  }
  // The data starts on a multiple of 32; the TE header follows the pad section and the TE
  // section's 4-byte header, and must lie Displacement bytes past a multiple of 32.
  const uint64_t Header = sizeof(EFI_COMMON_SECTION_HEADER);
  const uint64_t Pad = (Displacement + IMAGE_BASE_ALIGNMENT - Header) % IMAGE_BASE_ALIGNMENT;
  std::vector<uint8_t> Data;
  if (Pad != 0) {
    AppendSection(&Data, MakeSection(EFI_SECTION_RAW, std::vector<uint8_t>(Pad - Header, 0)));
  }
  AppendSection(&Data, MakeSection(EFI_SECTION_TE, Te));
  std::vector<uint8_t> Text;
  for (const char Character : UiName + '\0') {
    Text.push_back(static_cast<uint8_t>(Character));
    Text.push_back(0);
  }
  AppendSection(&Data, MakeSection(EFI_SECTION_USER_INTERFACE, Text));
  const uint8_t Attributes = DataAlignmentAttributes(PEIM_DATA_ALIGNMENT) | FFS_ATTRIB_CHECKSUM;
  *File = MakeFile(Name, EFI_FV_FILETYPE_PEIM, Attributes, Data, 0xFF);
  return true;
}

bool ReadPeimFile(ByteView Bytes, PeimFile *Peim, std::string *Error) {
  PeimFile Read;
  if (!ParseFfsFile(Bytes, &Read.File, Error)) {
    return false;
  }
  const uint8_t Type = Read.File.Header.Type;
  if (Type != EFI_FV_FILETYPE_PEIM) {
    return Fail(Error, "FFS file: type " + Hex(Type, 2) + " (" + FileTypeName(Type) +
                           "), not a PEIM (0x06)");
  }
  unsigned Images = 0;
  uint64_t SectionAt = 0;
  for (const FvSection &Section : Read.File.Sections) {
    if (Section.Type == EFI_SECTION_TE) {
      ++Images;
      SectionAt = Section.Offset;
      Read.TeOffset = Section.Offset + Section.DataOffset;
      Read.TeSize = Section.Bytes.size() - Section.DataOffset;
    } else if (Section.Type == EFI_SECTION_USER_INTERFACE) {
      Read.Name = Section.Name;
    }
  }
  if (Images != 1) {
    return Fail(Error, "FFS file holds " + std::to_string(Images) + " TE sections directly, not 1");
  }
  const ByteView Te = Bytes.subspan(Read.TeOffset, Read.TeSize);
  TeImage Image;
  std::string Reason;
  if (!ParseAndCheckTeImage(Te, &Image, &Reason)) {
    return Fail(Error, "FFS file: TE section at " + Hex(SectionAt) + ": " + Reason);
  }
  Read.Displacement = Image.Displacement();
  Read.Machine = Image.Machine;
  Read.LinkedBase = Image.ImageBase;
  *Peim = std::move(Read);
  return true;
}
