// libFuzzer target of fv-tool's readers, insertion, removal and extraction. Every input is
// read as a firmware image, listed, and given the module's PEIM file three times (base from
// the volume's images; from --base, replacing any file of its name; first in the apriori file); the
// module's file and the first live file of the input are removed and extracted; and the input is
// read as a PEIM file. Refusals must carry a one-line reason and leave the output as it was; no
// edit may fail its own check of the result (that is a fault in fv-tool); an inserted image must
// keep the input's size, read back, hold the file, and refuse a second insert of it. A violation
// stops the run with a trap.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "edit_check.h"
#include "ffs_rules.h"
#include "firmware_tree.h"
#include "fuzz_require.h"
#include "fv_format.h"
#include "fv_insert.h"
#include "fv_listing.h"
#include "fv_remove.h"
#include "fv_target.h"
#include "pe_format.h"
#include "peim_file.h"
#include "struct_io.h"

namespace {

// The module's file around a TE image that keeps the image rules in 0x1ec bytes: the header
// (StrippedSize 0x170, so RVA r lies at file offset r - 0x148), the two section headers, .text
// at RVA 0x1c0 (0x20 bytes, the entry point its first byte, one HIGHLOW field at 0x1c4 holding
// the address of .text) and .reloc at RVA 0x1e0 (one block: the HIGHLOW and an ABSOLUTE pad).
std::vector<uint8_t> PeimBytes() {
  constexpr uint32_t BASE = 0x400000;
  constexpr uint32_t TEXT = 0x1C0;
  constexpr uint32_t RELOC = 0x1E0;
  constexpr uint32_t DISPLACEMENT = 0x148;
  pe::EFI_TE_IMAGE_HEADER Header{};
  Header.Signature = pe::EFI_TE_IMAGE_HEADER_SIGNATURE;
  Header.Machine = pe::IMAGE_FILE_MACHINE_I386;
  Header.NumberOfSections = 2;
  Header.Subsystem = pe::IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER;
  Header.StrippedSize = DISPLACEMENT + sizeof(Header);
  Header.AddressOfEntryPoint = TEXT;
  Header.BaseOfCode = TEXT;
  Header.ImageBase = BASE;
  Header.DataDirectory[pe::EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC] = {RELOC, 12};
  std::vector<uint8_t> Te(RELOC + 12 - DISPLACEMENT, 0);
  PutStruct(&Te, 0, Header);
  pe::IMAGE_SECTION_HEADER Text{};
  std::copy_n(".text", 5, Text.Name);
  Text.VirtualSize = Text.SizeOfRawData = 0x20;
  Text.VirtualAddress = Text.PointerToRawData = TEXT;
  Text.Characteristics = 0x68000020; // code, not paged, execute, read
  pe::IMAGE_SECTION_HEADER Reloc{};
  std::copy_n(".reloc", 6, Reloc.Name);
  Reloc.VirtualSize = Reloc.SizeOfRawData = 12;
  Reloc.VirtualAddress = Reloc.PointerToRawData = RELOC;
  Reloc.Characteristics = 0x42000040; // initialized data, discardable, read
  PutStruct(&Te, sizeof(Header), Text);
  PutStruct(&Te, sizeof(Header) + sizeof(Text), Reloc);
  PutStruct(&Te, TEXT + 4 - DISPLACEMENT, BASE + TEXT);
  PutStruct(&Te, RELOC - DISPLACEMENT, pe::IMAGE_BASE_RELOCATION{0, 12});
  PutStruct(&Te, RELOC + 8 - DISPLACEMENT, static_cast<uint16_t>(0x3000 | (TEXT + 4)));
  std::vector<uint8_t> File;
  std::string Error;
  Require(BuildPeimFile(Te, OEMCOM_FILE_GUID, OEMCOM_FILE_NAME, &File, &Error));
  return File;
}

void Insert(const FirmwareImage &Image, const PeimFile &Peim, const InsertOptions &Options) {
  const std::vector<uint8_t> Untouched = {0xDE, 0xAD};
  std::vector<uint8_t> Out = Untouched;
  std::string Report;
  std::string Error;
  const EditOutcome Outcome = InsertPeim(Image, Peim, Options, &Out, &Report, &Error);
  Require(Outcome != EditOutcome::FaultInTool);
  if (Outcome == EditOutcome::Refused) {
    RequireReason(Error);
    Require(Out == Untouched);
    return;
  }
  Require(Out.size() == Image.Bytes.size() && !Report.empty());
  FirmwareImage Again;
  Require(ParseFirmwareImage(Out, &Again, &Error));
  std::vector<uint8_t> Twice = Untouched;
  InsertOptions Refused = Options;
  Refused.Replace = false;
  Require(InsertPeim(Again, Peim, Refused, &Twice, &Report, &Error) == EditOutcome::Refused &&
          Twice == Untouched);
  RequireReason(Error);
}

// Removes and extracts the live file named Name: a refusal leaves Out as it was; a removal
// keeps the image's size and reads back without a live file of that name.
void RemoveAndExtract(const FirmwareImage &Image, const fv::EFI_GUID &Name) {
  const std::vector<uint8_t> Untouched = {0xDE, 0xAD};
  std::vector<uint8_t> Out = Untouched;
  std::string Report;
  std::string Error;
  const EditOutcome Outcome = RemoveNamedFile(Image, Name, &Out, &Report, &Error);
  Require(Outcome != EditOutcome::FaultInTool);
  if (Outcome == EditOutcome::Refused) {
    RequireReason(Error);
    Require(Out == Untouched);
  } else {
    FirmwareImage Again;
    Require(Out.size() == Image.Bytes.size() && ParseFirmwareImage(Out, &Again, &Error) &&
            LiveFilesNamed(Again, Name).empty());
  }
  std::vector<uint8_t> Extracted = Untouched;
  if (!ExtractImage(Image, Name, &Extracted, &Report, &Error)) {
    RequireReason(Error);
    Require(Extracted == Untouched);
  }
}

// The name of the first live file that is not a pad file, or the module's.
fv::EFI_GUID FirstLiveName(const FirmwareImage &Image) {
  for (const FvVolume &Volume : Image.Volumes) {
    for (const FvFile &File : Volume.Files) {
      if (FileIsLive(File.StateBit) && File.Header.Type != fv::EFI_FV_FILETYPE_FFS_PAD) {
        return File.Header.Name;
      }
    }
  }
  return OEMCOM_FILE_GUID;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  static const std::vector<uint8_t> PEIM = PeimBytes();
  const ByteView Input(Data, Size);
  std::string Error;
  PeimFile Peim;
  Require(ReadPeimFile(PEIM, &Peim, &Error));

  FirmwareImage Image;
  if (!ParseFirmwareImage(Input, &Image, &Error)) {
    RequireReason(Error);
  } else {
    Require(!Image.Volumes.empty() && !DescribeFirmware(Image).empty());
    Insert(Image, Peim, InsertOptions{});
    InsertOptions Given;
    Given.Replace = true;
    Given.HasBase = true;
    Given.Base = 0x820000;
    Insert(Image, Peim, Given);
    InsertOptions Early;
    Early.Early = true;
    Insert(Image, Peim, Early);
    RemoveAndExtract(Image, OEMCOM_FILE_GUID);
    RemoveAndExtract(Image, FirstLiveName(Image));
  }

  PeimFile Read;
  if (!ReadPeimFile(Input, &Read, &Error)) {
    RequireReason(Error);
  } else {
    Require(Read.TeOffset + Read.TeSize <= Size);
  }
  return 0;
}
