#include "te_check.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "image_rules.h"
#include "messages.h"
#include "pe_format.h"
#include "struct_io.h"
#include "te_image.h"
#include "te_names.h"

using namespace pe;

namespace {

constexpr uint32_t TEXT_REQUIRED = IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE | IMAGE_SCN_MEM_READ;

std::string Flags(const TeSection &Section) {
  return Hex(Section.Characteristics, 8) + ": " + SectionFlagWords(Section.Characteristics);
}

[[nodiscard]] bool CheckHeader(const TeImage &Image, std::string *Error) {
  if (!CheckIa32Machine(Image.Machine, Error)) {
    return false;
  }
  if (Image.ImageBase > UINT32_MAX) {
    return Fail(Error, "ImageBase " + Hex(Image.ImageBase) + " does not fit in 32 bits");
  }
  if (Image.Subsystem != IMAGE_SUBSYSTEM_EFI_BOOT_SERVICE_DRIVER) {
    return Fail(Error, "subsystem " + std::to_string(Image.Subsystem) + " (" +
                           SubsystemName(Image.Subsystem) +
                           ") is not an EFI boot service driver (11)");
  }
  if (Image.StrippedSize < MIN_STRIPPED_SIZE) {
    return Fail(Error, "StrippedSize " + std::to_string(Image.StrippedSize) +
                           " is smaller than the PE32 headers it replaced (at least " +
                           std::to_string(MIN_STRIPPED_SIZE) + " bytes)");
  }
  return CheckNoDebugDirectory(Image.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_DEBUG], Error);
}

[[nodiscard]] bool CheckSections(const TeImage &Image, std::string *Error) {
  if (Image.Sections.size() != 2 || Image.Sections[0].Name != ".text" ||
      Image.Sections[1].Name != ".reloc") {
    std::string Names;
    for (const TeSection &Section : Image.Sections) {
      Names += (Names.empty() ? "" : ", ") + Section.Name;
    }
    return Fail(Error,
                "sections are [" + Names + "]: the image must have exactly .text and .reloc");
  }
  if (!std::all_of(Image.Sections.begin(), Image.Sections.end(), [Error](const TeSection &Section) {
        return CheckSitsAtItsRva(Section, Error);
      })) {
    return false;
  }
  const TeSection &Text = Image.Sections[0];
  if ((Text.Characteristics & TEXT_REQUIRED) != TEXT_REQUIRED) {
    return Fail(Error, ".text must be code, execute and read (flags " + Flags(Text) + ")");
  }
  if ((Text.Characteristics & IMAGE_SCN_MEM_WRITE) != 0) {
    return Fail(Error, ".text is writable (flags " + Flags(Text) + ")");
  }
  if ((Text.Characteristics & IMAGE_SCN_MEM_NOT_PAGED) == 0) {
    return Fail(Error, ".text is paged: the not paged flag is clear (flags " + Flags(Text) + ")");
  }
  const TeSection &Reloc = Image.Sections[1];
  if ((Reloc.Characteristics & IMAGE_SCN_MEM_DISCARDABLE) == 0) {
    return Fail(Error, ".reloc is not discardable (flags " + Flags(Reloc) + ")");
  }
  return true;
}

[[nodiscard]] bool CheckEntryAndDirectory(const TeImage &Image, std::string *Error) {
  const TeSection &Text = Image.Sections[0];
  const uint64_t TextEnd = uint64_t{Text.VirtualAddress} + Text.VirtualSize;
  if (Image.AddressOfEntryPoint < Text.VirtualAddress || Image.AddressOfEntryPoint >= TextEnd) {
    return Fail(Error, "entry point " + Hex(Image.AddressOfEntryPoint) + " is outside .text (" +
                           Hex(Text.VirtualAddress) + " to " + Hex(TextEnd) + ")");
  }
  const TeSection &Reloc = Image.Sections[1];
  const IMAGE_DATA_DIRECTORY &Directory =
      Image.DataDirectory[EFI_TE_IMAGE_DIRECTORY_ENTRY_BASERELOC];
  if (Directory.VirtualAddress != Reloc.VirtualAddress || Directory.Size != Reloc.VirtualSize) {
    return Fail(Error, "relocation directory " + Hex(Directory.VirtualAddress) + "+" +
                           Hex(Directory.Size) + " is not the .reloc section " +
                           Hex(Reloc.VirtualAddress) + "+" + Hex(Reloc.VirtualSize));
  }
  return true;
}

// Each HIGHLOW must rewrite 4 bytes of .text (its memory backed by raw data) that hold an
// absolute address inside .text.
[[nodiscard]] bool CheckRelocations(const TeImage &Image, std::string *Error) {
  const TeSection &Text = Image.Sections[0];
  const uint64_t TextEnd =
      uint64_t{Text.VirtualAddress} + std::min(Text.VirtualSize, Text.SizeOfRawData);
  for (const TeRelocation &Relocation : Image.Relocations) {
    if (!CheckIa32Relocation(Relocation, Error)) {
      return false;
    }
    if (Relocation.Type == IMAGE_REL_BASED_ABSOLUTE) {
      continue;
    }
    const auto HighLow = [&Relocation] {
      return "HIGHLOW relocation at RVA " + Hex(Relocation.Rva);
    };
    if (Relocation.Rva < Text.VirtualAddress || Relocation.Rva >= TextEnd) {
      return Fail(Error, HighLow() + " is outside .text");
    }
    uint32_t Value = 0;
    if (uint64_t{Relocation.Rva} + 4 > TextEnd || !ReadImageU32(Image, Relocation.Rva, &Value)) {
      return Fail(Error, HighLow() + ": its 4 bytes run past the end of .text");
    }
    const uint64_t Target = uint64_t{Value} - Image.ImageBase;
    if (Value < Image.ImageBase || Target < Text.VirtualAddress || Target > TextEnd) {
      return Fail(Error, HighLow() + " holds " + Hex(Value, 8) + ", which points outside .text");
    }
  }
  return true;
}

} // namespace

bool CheckTeImage(const TeImage &Image, std::string *Error) {
  return CheckHeader(Image, Error) && CheckSections(Image, Error) &&
         CheckEntryAndDirectory(Image, Error) && CheckRelocations(Image, Error);
}

bool ParseAndCheckTeImage(ByteView File, TeImage *Image, std::string *Error) {
  return ParseTeImage(File, Image, Error) && CheckTeImage(*Image, Error);
}
