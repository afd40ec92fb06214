#include "image_loader.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image_rules.h"
#include "messages.h"
#include "pe_format.h"
#include "struct_io.h"
#include "te_image.h"

namespace {

// Checks the header fields the layout depends on and sets Image->Span.
bool CheckShape(const std::vector<uint8_t> &File, uint32_t Base, LoadedImage *Image,
                std::string *Error) {
  const TeImage &Te = Image->Te;
  if (Te.Machine != pe::IMAGE_FILE_MACHINE_I386) {
    return Fail(Error, "machine " + Hex(Te.Machine, 4) + " is not IA-32 (0x014c)");
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
                           Hex(Base, 8));
  }
  if (Te.AddressOfEntryPoint >= Span) {
    return Fail(Error,
                "entry point RVA " + Hex(Te.AddressOfEntryPoint, 8) + " lies outside the image");
  }
  Image->Span = static_cast<uint32_t>(Span);
  return true;
}

// Zeroes each section's memory past its file data, after checking it sits at its RVA.
bool PlaceSections(LoadedImage *Image, std::string *Error) {
  for (const TeSection &Section : Image->Te.Sections) {
    if (Section.SizeOfRawData != 0 && !pe::SitsAtItsRva(Section)) {
      return Fail(Error, "section " + Section.Name + " is at file offset " +
                             Hex(Section.PointerToRawData, 8) + " but RVA " +
                             Hex(Section.VirtualAddress, 8) +
                             "; the image is not laid out to run in place");
    }
    if (!Fits(Image->Span, Section.VirtualAddress, Section.VirtualSize)) {
      return Fail(Error, "section " + Section.Name + " ends past the image");
    }
    const auto Start = Image->Memory.begin() + Section.VirtualAddress;
    std::fill(Start + std::min(Section.SizeOfRawData, Section.VirtualSize),
              Start + Section.VirtualSize, 0);
  }
  return true;
}

bool Relocate(LoadedImage *Image, std::string *Error) {
  const uint32_t Delta = Image->Base - Image->PreferredBase; // modulo 2^32
  for (const TeRelocation &Entry : Image->Te.Relocations) {
    const std::string Where = " at RVA " + Hex(Entry.Rva, 8);
    if (!pe::IsIa32Relocation(Entry.Type)) {
      return Fail(Error, "relocation type " + std::to_string(Entry.Type) + Where +
                             " is not supported on IA-32");
    }
    if (Entry.Type == pe::IMAGE_REL_BASED_ABSOLUTE) {
      continue;
    }
    uint32_t Field = 0;
    if (!ReadStruct(Image->Memory, Entry.Rva, &Field)) {
      return Fail(Error, "relocation" + Where + " lies outside the image");
    }
    PutStruct(&Image->Memory, Entry.Rva, Field + Delta);
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
