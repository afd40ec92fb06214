#include "te_rebase.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image_rules.h"
#include "messages.h"
#include "pe_format.h"
#include "struct_io.h"
#include "te_image.h"

bool RebaseTeImage(std::vector<uint8_t> *Te, uint64_t NewBase, uint32_t *Applied,
                   std::string *Error) {
  TeImage Image;
  if (!ParseTeImage(*Te, &Image, Error)) {
    return false;
  }
  if (NewBase + Image.SizeOfImage > (uint64_t{1} << 32)) {
    return Fail(Error, "image base " + Hex(NewBase) + " puts the image's " +
                           Hex(Image.SizeOfImage) + " bytes past 4 GiB");
  }
  const uint32_t Delta = static_cast<uint32_t>(NewBase - Image.ImageBase);
  std::vector<uint8_t> Moved = *Te;
  uint32_t Count = 0;
  for (const TeRelocation &Relocation : Image.Relocations) {
    if (Relocation.Type == pe::IMAGE_REL_BASED_ABSOLUTE) {
      continue;
    }
    if (!CheckIa32Relocation(Relocation, Error)) {
      return false;
    }
    uint32_t Value = 0;
    if (!ReadImageU32(Image, Relocation.Rva, &Value)) {
      return Fail(Error, "relocation at RVA " + Hex(Relocation.Rva) +
                             ": its 4 bytes lie outside the raw data of its section");
    }
    const TeSection &Section = *FindSectionByRva(Image, Relocation.Rva);
    const uint64_t Offset = uint64_t{Section.PointerToRawData} - Image.Displacement() +
                            (Relocation.Rva - Section.VirtualAddress);
    PutStruct(&Moved, Offset, static_cast<uint32_t>(Value + Delta));
    ++Count;
  }
  pe::EFI_TE_IMAGE_HEADER Header = Image;
  Header.ImageBase = NewBase;
  PutStruct(&Moved, 0, Header);
  *Te = std::move(Moved);
  *Applied = Count;
  return true;
}
