#include "image_loader.h"

#include <algorithm>
#include <cstdio>

std::string HexDigits(uint32_t Value, int Digits) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%0*x", Digits, Value);
  return Text;
}

namespace {

bool Fail(std::string *Error, const std::string &Reason) {
  *Error = Reason;
  return false;
}

// Checks the header fields the layout depends on and sets Image->Span.
bool CheckShape(const std::vector<uint8_t> &File, uint32_t Base, LoadedImage *Image,
                std::string *Error) {
  const TeImage &Te = Image->Te;
  if (Te.Machine != IMAGE_MACHINE_I386) {
    return Fail(Error, "machine " + HexDigits(Te.Machine, 4) + " is not IA-32 (0x014c)");
  }
  if (Te.StrippedSize < TE_HEADER_SIZE) {
    return Fail(Error, "stripped size " + std::to_string(Te.StrippedSize) +
                           " is smaller than the 40-byte TE header");
  }
  if (Te.ImageBase > UINT32_MAX) {
    return Fail(Error, "ImageBase does not fit in 32 bits");
  }
  const uint64_t Span =
      std::max<uint64_t>(Te.SizeOfImage, uint64_t{Te.Displacement()} + File.size());
  if (Span > MAX_IMAGE_SPAN) {
    return Fail(Error, "image spans " + std::to_string(Span) + " bytes; at most " +
                           std::to_string(MAX_IMAGE_SPAN) + " are supported");
  }
  if (uint64_t{Base} + Span > (uint64_t{1} << 32)) {
    return Fail(Error, "image of " + std::to_string(Span) + " bytes does not fit below 4 GiB at " +
                           Hex32(Base));
  }
  if (Te.AddressOfEntryPoint >= Span) {
    return Fail(Error,
                "entry point RVA " + Hex32(Te.AddressOfEntryPoint) + " lies outside the image");
  }
  Image->Span = static_cast<uint32_t>(Span);
  return true;
}

// Zeroes each section's memory past its file data, after checking it sits at its RVA.
bool PlaceSections(LoadedImage *Image, std::string *Error) {
  for (const TeSection &Section : Image->Te.Sections) {
    if (Section.SizeOfRawData != 0 && Section.PointerToRawData != Section.VirtualAddress) {
      return Fail(Error, "section " + Section.Name + " is at file offset " +
                             Hex32(Section.PointerToRawData) + " but RVA " +
                             Hex32(Section.VirtualAddress) +
                             "; the image is not laid out to run in place");
    }
    const uint64_t Start = uint64_t{Section.VirtualAddress} + Section.SizeOfRawData;
    const uint64_t End = uint64_t{Section.VirtualAddress} + Section.VirtualSize;
    if (End > Image->Span) {
      return Fail(Error, "section " + Section.Name + " ends past the image");
    }
    for (uint64_t Offset = Start; Offset < End; ++Offset) {
      Image->Memory[Offset] = 0;
    }
  }
  return true;
}

bool Relocate(LoadedImage *Image, std::string *Error) {
  const uint32_t Delta = Image->Base - Image->PreferredBase; // modulo 2^32
  for (const TeRelocation &Entry : Image->Te.Relocations) {
    if (Entry.Type == IMAGE_REL_BASED_ABSOLUTE) {
      continue;
    }
    if (Entry.Type != IMAGE_REL_BASED_HIGHLOW) {
      return Fail(Error, "relocation type " + std::to_string(Entry.Type) + " at RVA " +
                             Hex32(Entry.Rva) + " is not supported on IA-32");
    }
    if (uint64_t{Entry.Rva} + 4 > Image->Span) {
      return Fail(Error, "relocation at RVA " + Hex32(Entry.Rva) + " lies outside the image");
    }
    uint8_t *Field = &Image->Memory[Entry.Rva];
    uint32_t Value = 0;
    for (int Byte = 3; Byte >= 0; --Byte) {
      Value = Value << 8 | Field[Byte];
    }
    Value += Delta;
    for (int Byte = 0; Byte < 4; ++Byte) {
      Field[Byte] = static_cast<uint8_t>(Value >> (8 * Byte));
    }
    ++Image->RelocationsApplied;
  }
  return true;
}

} // namespace

bool LoadTeImage(const std::vector<uint8_t> &File, uint32_t Base, LoadedImage *Image,
                 std::string *Error) {
  *Image = LoadedImage{};
  std::string Reason;
  if (!ParseTeImage(File, &Image->Te, &Reason)) {
    return Fail(Error, "not a valid TE image: " + Reason);
  }
  Image->Base = Base;
  if (!CheckShape(File, Base, Image, Error)) {
    return false;
  }
  Image->PreferredBase = static_cast<uint32_t>(Image->Te.ImageBase);
  Image->Memory.assign(Image->Span, 0);
  std::copy(File.begin(), File.end(), Image->Memory.begin() + Image->Te.Displacement());
  return PlaceSections(Image, Error) && Relocate(Image, Error);
}
