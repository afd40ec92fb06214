// Writes fv-fuzz's seed inputs into the folder given: small firmware images laid out as OVMF's
// code image (tests/fv's builder), one erased to 0x00, one with a file after the LZMA section's
// file, one holding the module already, and the module's PEIM file.
// Usage: fv-fuzz-seeds DIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fv_builder.h"
#include "fv_insert.h"
#include "peim_file.h"

namespace {

using namespace fv_test;

bool Save(const std::string &Path, const Bytes &Bytes) {
  std::ofstream Stream(Path, std::ios::binary);
  Stream.write(reinterpret_cast<const char *>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  return Stream.good();
}

// A firmware image of 8 KiB: a 2 KiB PEI volume in a 4 KiB outer volume.
Bytes Small(uint8_t EraseByte, bool FileAfter) {
  FirmwareSpec Spec;
  Spec.Inner = UsualInner(0x800, EraseByte);
  Spec.Outer = 0x1000;
  Spec.EraseByte = EraseByte;
  Spec.FileAfter = FileAfter;
  return Firmware(Spec);
}

} // namespace

int main(int Argc, char **Argv) {
  if (Argc != 2) {
    std::fprintf(stderr, "usage: fv-fuzz-seeds DIR\n");
    return 2;
  }
  const std::string Dir = Argv[1];
  const Bytes Peim = ModuleFfs();
  Bytes Inserted;
  FirmwareImage Image;
  PeimFile File;
  std::string Report;
  std::string Error;
  const Bytes Plain = Small(0xFF, false);
  if (!ParseFirmwareImage(Plain, &Image, &Error) || !ReadPeimFile(Peim, &File, &Error) ||
      InsertPeim(Image, File, InsertOptions{}, &Inserted, &Report, &Error) != EditOutcome::Done) {
    std::fprintf(stderr, "fv-fuzz-seeds: %s\n", Error.c_str());
    return 1;
  }
  const bool Saved = Save(Dir + "/firmware.fd", Plain) &&
                     Save(Dir + "/erased-zero.fd", Small(0x00, false)) &&
                     Save(Dir + "/file-after.fd", Small(0xFF, true)) &&
                     Save(Dir + "/inserted.fd", Inserted) && Save(Dir + "/module.ffs", Peim);
  return Saved ? 0 : 1;
}
