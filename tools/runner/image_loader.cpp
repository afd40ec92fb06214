#include "image_loader.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "messages.h"
#include "pe_format.h"
#include "run_layout.h"
#include "struct_io.h"
#include "te_image.h"

namespace {

// Checks the header fields the layout depends on and sets Image->Span.
[[nodiscard]] bool CheckShape(uint32_t Base, LoadedImage *Image, std::string *Error) {
  const TeImage &Te = Image->Te;
  const uint64_t Span =
      std::max<uint64_t>(Te.SizeOfImage, uint64_t{Te.Displacement()} + Te.Bytes.size());
  if (Span > MAX_IMAGE_SPAN) {
    return Fail(Error, "image spans " + std::to_string(Span) + " bytes; at most " +
                           std::to_string(MAX_IMAGE_SPAN) + " are supported");
  }
  if (uint64_t{Base} + Span > (uint64_t{1} << 32)) {
    return Fail(Error, "image of " + std::to_string(Span) + " bytes does not fit below 4 GiB at " +
                           Hex(Base, 8));
  }
  Image->Span = static_cast<uint32_t>(Span);
  return true;
}

// Copies the file to its place in the pages, then zeroes each section's memory past its file
// data.
[[nodiscard]] bool PlaceSections(LoadedImage *Image, std::string *Error) {
  const TeImage &Te = Image->Te;
  Image->Pages.assign(PageCeil(uint64_t{Image->Base} + Image->Span) - Image->PagesLow, 0);
  uint8_t *const Rva0 = Image->Pages.data() + (Image->Base - Image->PagesLow);
  std::copy(Te.Bytes.begin(), Te.Bytes.end(), Rva0 + Te.Displacement());
  for (const TeSection &Section : Te.Sections) {
    if (!Fits(Image->Span, Section.VirtualAddress, Section.VirtualSize)) {
      return Fail(Error, "section " + Section.Name + " ends past the image");
    }
    uint8_t *const Start = Rva0 + Section.VirtualAddress;
    std::fill(Start + std::min(Section.SizeOfRawData, Section.VirtualSize),
              Start + Section.VirtualSize, 0);
  }
  return true;
}

[[nodiscard]] bool Relocate(LoadedImage *Image, std::string *Error) {
  const uint32_t Delta = Image->Base - Image->PreferredBase; // modulo 2^32
  const uint64_t At = Image->Base - Image->PagesLow;
  for (const TeRelocation &Entry : Image->Te.Relocations) {
    if (Entry.Type == pe::IMAGE_REL_BASED_ABSOLUTE) {
      continue;
    }
    uint32_t Field = 0;
    if (!Fits(Image->Span, Entry.Rva, sizeof(Field)) ||
        !ReadStruct(Image->Pages, At + Entry.Rva, &Field)) {
      return Fail(Error, "relocation at RVA " + Hex(Entry.Rva, 8) + " lies outside the image");
    }
    Field += Delta;
    std::memcpy(Image->Pages.data() + At + Entry.Rva, &Field, sizeof(Field));
    ++Image->RelocationsApplied;
  }
  return true;
}

} // namespace

bool LoadTeImage(const TeImage &Te, uint32_t Base, LoadedImage *Image, std::string *Error) {
  *Image = LoadedImage{};
  Image->Te = Te;
  Image->Base = Base;
  Image->PagesLow = PageFloor(Base);
  if (!CheckShape(Base, Image, Error)) {
    return false;
  }
  Image->PreferredBase = static_cast<uint32_t>(Image->Te.ImageBase);
  return PlaceSections(Image, Error) && Relocate(Image, Error);
}
