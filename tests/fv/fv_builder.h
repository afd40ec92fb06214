// Small firmware images crafted in code for fv-tool's tests, laid out as OVMF's code image is:
// an outer volume whose one file holds an LZMA section, which decodes to a raw section, the
// PEI volume (PEI core and a PEIM, both linked to run in place at PEI_BASE) and a DXE volume;
// then a second volume after it. Headers, sizes and checksums are written here from the FFS
// layout, not by the tool's writer, so that a fault in one shows against the other.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "fv_format.h"
#include "struct_io.h"

namespace fv_test {

using Bytes = std::vector<uint8_t>;

constexpr uint64_t PEI_BASE = 0x820000;
constexpr uint64_t FILES_START = 0x60; // header 0x48 (two block map entries), ext header 0x14

constexpr fv::EFI_GUID Guid(uint32_t First) {
  return {First, 0x1111, 0x2222, {0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}};
}

// A section of Type around Content (4-byte header).
Bytes Section(uint8_t Type, ByteView Content);

// A GUID-defined section: Guid, Attributes, data right after its 24-byte header.
Bytes GuidSection(const fv::EFI_GUID &Guid, uint16_t Attributes, ByteView Content);

// Sections laid end to end on 4-byte boundaries.
Bytes SectionList(const std::vector<Bytes> &Sections);

// A file holding Data, valid for EraseByte, with both checksums right.
Bytes File(const fv::EFI_GUID &Name, uint8_t Type, uint8_t Attributes, ByteView Data,
           uint8_t EraseByte = 0xFF);

// Makes a file's bytes given the offset the file will have in its volume.
using FileAt = std::function<Bytes(uint64_t Offset)>;

// A volume of Length bytes named Name, with Files laid out from FILES_START on 8-byte
// boundaries, the rest erased. FFS2, or FFS3 when Ffs3.
Bytes Volume(uint64_t Length, uint32_t Name, const std::vector<FileAt> &Files,
             uint8_t EraseByte = 0xFF, bool Ffs3 = false);

// A fixed file.
FileAt Fixed(const Bytes &File);

// A PEI core file whose PE32 image is linked to run in place in a volume at Base.
FileAt PeiCore(uint64_t Base, uint8_t EraseByte = 0xFF);

// A PEIM whose TE image (header only) is linked to run in place in a volume at Base.
FileAt TePeim(uint32_t Name, uint64_t Base, uint8_t EraseByte = 0xFF);

// The decoded sections of the usual image: a raw section, the PEI volume (PeiLength bytes,
// holding the PEI core and a TE PEIM for PEI_BASE) and a small DXE volume.
std::vector<Bytes> UsualInner(uint64_t PeiLength = 0x4000, uint8_t EraseByte = 0xFF);

// The PEI volume of UsualInner, on its own.
Bytes PeiVolume(uint64_t Length = 0x4000, uint8_t EraseByte = 0xFF);

// A PEI apriori file: freeform, named 1b45cc0a-156a-428a-af62-49864da0e6e6, its raw section
// listing Names.
Bytes AprioriFile(const std::vector<fv::EFI_GUID> &Names);

// A pad file of Size bytes (24 or more), its data erased.
Bytes PadFile(uint64_t Size, uint8_t EraseByte = 0xFF);

// The usual decoded sections with a PEI volume laid out as OVMF's begins: the apriori file
// listing the TE PEIM at 0x60, a pad file of PadSize bytes, then the PEI core and the TE PEIM.
std::vector<Bytes> InnerWithApriori(uint64_t PadSize = 0x40);

// The TE PEIM's offset in that volume (after the PEI core's file).
constexpr uint64_t TE_PEIM_FILE = 0x148;

struct FirmwareSpec {
  std::vector<Bytes> Inner = UsualInner();
  uint64_t Outer = 0x10000;
  std::function<void(Bytes *Stream)> EditStream; // changes the LZMA stream before it is wrapped
  bool FileAfter = false; // a raw file right after the LZMA section's file in the outer volume
  uint64_t PadAfter = 0;  // with FileAfter, a pad file of this many bytes (24 or more) before it
  uint8_t EraseByte = 0xFF;
};

// Where the LZMA section's file of Spec's image ends, rounded up to 8 bytes, before and after
// the module's file is inserted (0 when the insert fails): measured with the tool, the one
// place the builder leans on it.
uint64_t OuterFileEnd(const FirmwareSpec &Spec, bool Inserted);

// A spec with FileAfter and a pad file before it, sized so that once the module's file is
// inserted, the grown LZMA section's file ends Slack bytes (a multiple of 8) before that pad
// file's end.
FirmwareSpec GapAfterGrownFile(uint64_t Slack);

// The firmware image: the outer volume holding the file whose LZMA section decodes to Inner;
// then a 0x1000-byte volume holding a raw file.
Bytes Firmware(const FirmwareSpec &Spec = {});

// A volume image section around a volume.
Bytes VolumeSection(const Bytes &Volume);

// The outer file's offset in the image, and its LZMA section's.
constexpr uint64_t OUTER_FILE = FILES_START;
constexpr uint64_t OUTER_SECTION = OUTER_FILE + sizeof(fv::EFI_FFS_FILE_HEADER);

// A TE image (tests/image's builder) of 0x200 bytes of code that does not compress, with
// HIGHLOW fields at these offsets of the code, each holding an address in it.
constexpr uint32_t MODULE_SITES[] = {0x10, 0x40, 0x1F0};
Bytes ModuleTe();

// ModuleTe as fv-tool ffs writes it: the module's PEIM file.
Bytes ModuleFfs();

// Sets the file header at Offset of Image to Size bytes and fixes its header checksum.
void ResizeFile(Bytes *Image, uint64_t Offset, uint32_t Size);

} // namespace fv_test
