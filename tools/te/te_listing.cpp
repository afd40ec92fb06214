#include "te_listing.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>

#include "pe_format.h"
#include "te_image.h"
#include "te_names.h"

using namespace pe;

namespace {

__attribute__((format(printf, 2, 3))) void Line(std::string *Text, const char *Format, ...) {
  char Buffer[512]; // longest line: all section flags in words, about 300 characters
  va_list Arguments;
  va_start(Arguments, Format);
  std::vsnprintf(Buffer, sizeof(Buffer), Format, Arguments);
  va_end(Arguments);
  *Text += Buffer;
  *Text += '\n';
}

const char *SectionOf(const TeImage &Image, uint64_t Rva) {
  const TeSection *Section = FindSectionByRva(Image, Rva);
  return Section != nullptr ? Section->Name.c_str() : "no section";
}

void DescribeHeader(const TeImage &Image, std::string *Text) {
  Line(Text, "TE header");
  Line(Text, "  Signature            0x5a56 (\"VZ\")");
  Line(Text, "  Machine              0x%04x (%s)", Image.Machine,
       MachineName(Image.Machine).c_str());
  Line(Text, "  NumberOfSections     %u", Image.NumberOfSections);
  Line(Text, "  Subsystem            %u (%s)", Image.Subsystem,
       SubsystemName(Image.Subsystem).c_str());
  Line(Text,
       "  StrippedSize         0x%04x (%u bytes of PE headers replaced by the 40-byte header)",
       Image.StrippedSize, Image.StrippedSize);
  Line(Text, "  AddressOfEntryPoint  0x%08x (%s)", Image.AddressOfEntryPoint,
       SectionOf(Image, Image.AddressOfEntryPoint));
  Line(Text, "  BaseOfCode           0x%08x", Image.BaseOfCode);
  Line(Text, "  ImageBase            0x%016llx", static_cast<unsigned long long>(Image.ImageBase));
  const IMAGE_DATA_DIRECTORY &Relocations =
      Image.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC];
  const IMAGE_DATA_DIRECTORY &Debug = Image.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG];
  Line(Text, "  BaseRelocation       RVA 0x%08x, %u bytes", Relocations.VirtualAddress,
       Relocations.Size);
  Line(Text, "  Debug                RVA 0x%08x, %u bytes", Debug.VirtualAddress, Debug.Size);
}

void DescribeSections(const TeImage &Image, std::string *Text) {
  Line(Text, "Sections (%zu)", Image.Sections.size());
  for (const TeSection &Section : Image.Sections) {
    Line(
        Text, "  %-8s RVA 0x%08x  VirtualSize 0x%08x  RawData 0x%08x+0x%08x (TE offset 0x%08llx)",
        Section.Name.c_str(), Section.VirtualAddress, Section.VirtualSize, Section.PointerToRawData,
        Section.SizeOfRawData,
        static_cast<unsigned long long>(uint64_t{Section.PointerToRawData} - Image.Displacement()));
    Line(Text, "           flags 0x%08x: %s", Section.Characteristics,
         SectionFlagWords(Section.Characteristics).c_str());
  }
}

void DescribeRelocations(const TeImage &Image, uint32_t *HighLowCount, std::string *Text) {
  Line(Text, "Relocations (%zu)", Image.Relocations.size());
  for (const TeRelocation &Relocation : Image.Relocations) {
    const std::string Type = RelocationTypeName(Relocation.Type);
    uint32_t Value = 0;
    if (Relocation.Type == IMAGE_REL_BASED_ABSOLUTE) {
      Line(Text, "  RVA 0x%08x  ABSOLUTE  padding", Relocation.Rva);
    } else if (Relocation.Type != IMAGE_REL_BASED_HIGHLOW) {
      Line(Text, "  RVA 0x%08x  %-8s  type %u", Relocation.Rva, Type.c_str(), Relocation.Type);
    } else if (!ReadImageU32(Image, Relocation.Rva, &Value)) {
      Line(Text, "  RVA 0x%08x  HIGHLOW   value not in any section's raw data", Relocation.Rva);
    } else {
      const uint64_t Target = uint64_t{Value} - Image.ImageBase;
      Line(Text, "  RVA 0x%08x  HIGHLOW   value 0x%08x -> RVA 0x%08llx (%s)", Relocation.Rva, Value,
           static_cast<unsigned long long>(Target),
           Value < Image.ImageBase ? "below ImageBase" : SectionOf(Image, Target));
    }
    *HighLowCount += Relocation.Type == IMAGE_REL_BASED_HIGHLOW ? 1 : 0;
  }
}

} // namespace

std::string DescribeTeImage(const TeImage &Image) {
  std::string Text;
  DescribeHeader(Image, &Text);
  DescribeSections(Image, &Text);
  uint32_t HighLowCount = 0;
  DescribeRelocations(Image, &HighLowCount, &Text);
  const auto Code = std::find_if(Image.Sections.begin(), Image.Sections.end(),
                                 [](const TeSection &Section) { return Section.Name == ".text"; });
  Line(&Text, "Size");
  Line(&Text, "  TE image bytes       %zu", Image.Bytes.size());
  Line(&Text, "  .text bytes          %u", Code != Image.Sections.end() ? Code->VirtualSize : 0);
  Line(&Text, "  relocations          %zu (%u HIGHLOW, %zu other)", Image.Relocations.size(),
       HighLowCount, Image.Relocations.size() - HighLowCount);
  return Text;
}
