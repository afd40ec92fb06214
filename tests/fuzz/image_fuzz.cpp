// libFuzzer target of the TE tools: every input is read as a TE image (parse, check, listing)
// and converted as a PE32 image. Refusals must carry a one-line reason and leave the output as
// it was; a converted image must be a TE image that parses and checks, holding the PE bytes
// from StrippedSize on after its 40-byte header. A violation stops the run with a trap.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_require.h"
#include "pe_to_te.h"
#include "te_check.h"
#include "te_image.h"
#include "te_listing.h"

namespace {

void ReadAsTe(const std::vector<uint8_t> &File) {
  TeImage Image;
  std::string Error;
  if (!ParseTeImage(File, &Image, &Error)) {
    RequireReason(Error);
    return;
  }
  Require(Image.Sections.size() == Image.NumberOfSections);
  Require(!DescribeTeImage(Image).empty());
  if (!CheckTeImage(Image, &Error)) {
    RequireReason(Error);
  }
}

void ConvertAsPe(const std::vector<uint8_t> &File) {
  // A marker the converter must leave alone when it refuses.
  const std::vector<uint8_t> Untouched = {0xDE, 0xAD};
  std::vector<uint8_t> Te = Untouched;
  std::string Error;
  if (!ConvertPeToTe(File, &Te, &Error)) {
    RequireReason(Error);
    Require(Te == Untouched);
    return;
  }
  TeImage Image;
  Require(ParseAndCheckTeImage(Te, &Image, &Error));
  Require(Image.StrippedSize >= TE_HEADER_SIZE && Image.StrippedSize <= File.size());
  Require(Te.size() == TE_HEADER_SIZE + (File.size() - Image.StrippedSize));
  Require(std::equal(Te.begin() + TE_HEADER_SIZE, Te.end(), File.begin() + Image.StrippedSize));
  // Converting a TE image again is refused: it has no MZ header.
  std::vector<uint8_t> Again = Untouched;
  Require(!ConvertPeToTe(Te, &Again, &Error) && Again == Untouched);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  const std::vector<uint8_t> File(Data, Data + Size);
  ReadAsTe(File);
  ConvertAsPe(File);
  return 0;
}
