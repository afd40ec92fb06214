// libFuzzer target of fv-tool's readers and insertion. Every input is read as a firmware image,
// listed, and given the module's PEIM file twice (base from the volume's images, and from
// --base, replacing any file of its name); and read as a PEIM file. Refusals must carry a
// one-line reason and leave the output as it was; an inserted image must keep the input's
// size, read back, hold the file, and refuse a second insert of it. A violation stops the run
// with a trap.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fuzz_require.h"
#include "fv_insert.h"
#include "fv_listing.h"
#include "pe_format.h"
#include "peim_file.h"
#include "struct_io.h"

namespace {

// The module's file around a TE image of its 40-byte header alone.
std::vector<uint8_t> PeimBytes() {
  pe::EFI_TE_IMAGE_HEADER Header{};
  Header.Signature = pe::EFI_TE_IMAGE_HEADER_SIGNATURE;
  Header.Machine = pe::IMAGE_FILE_MACHINE_I386;
  Header.StrippedSize = 0x170;
  Header.ImageBase = 0x400000;
  std::vector<uint8_t> Te;
  PutStruct(&Te, 0, Header);
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
  if (!InsertPeim(Image, Peim, Options, &Out, &Report, &Error)) {
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
  Require(!InsertPeim(Again, Peim, Refused, &Twice, &Report, &Error) && Twice == Untouched);
  RequireReason(Error);
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
    Insert(Image, Peim, InsertOptions{true, true, 0x820000});
  }

  PeimFile Read;
  if (!ReadPeimFile(Input, &Read, &Error)) {
    RequireReason(Error);
  } else {
    Require(Read.TeOffset + Read.TeSize <= Size);
  }
  return 0;
}
