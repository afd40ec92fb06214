// Reading the sections of an FFS file, and the sections and volumes inside them.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "guid_text.h"
#include "lzma_codec.h"
#include "messages.h"
#include "parse_trail.h"
#include "pe_format.h"
#include "struct_io.h"

using namespace fv;

namespace {

constexpr size_t MAX_NAME_LENGTH = 64; // characters of a user-interface name kept for listings

// A PE32 image's machine and ImageBase: the MS-DOS header, the PE signature, the file header,
// then the optional header, whose Magic says PE32 (32-bit field) or PE32+ (64-bit field).
bool ReadPeImageBase(ByteView Image, uint16_t *Machine, uint64_t *ImageBase) {
  pe::IMAGE_DOS_HEADER Dos{};
  uint32_t Signature = 0;
  uint16_t Magic = 0;
  pe::IMAGE_FILE_HEADER File{};
  if (!ReadStruct(Image, 0, &Dos) || Dos.e_magic != pe::IMAGE_DOS_SIGNATURE ||
      !ReadStruct(Image, Dos.e_lfanew, &Signature) || Signature != pe::IMAGE_NT_SIGNATURE ||
      !ReadStruct(Image, uint64_t{Dos.e_lfanew} + sizeof(Signature), &File)) {
    return false;
  }
  *Machine = File.Machine;
  const uint64_t Optional =
      uint64_t{Dos.e_lfanew} + sizeof(Signature) + sizeof(pe::IMAGE_FILE_HEADER);
  if (!ReadStruct(Image, Optional, &Magic)) {
    return false;
  }
  constexpr uint16_t PE32_PLUS_MAGIC = 0x20B;
  constexpr uint64_t PE32_PLUS_IMAGE_BASE_AT = 24; // its 64-bit ImageBase, in that header
  if (Magic == pe::IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
    uint32_t Base = 0;
    const bool Read =
        ReadStruct(Image, Optional + offsetof(pe::IMAGE_OPTIONAL_HEADER32, ImageBase), &Base);
    *ImageBase = Base;
    return Read;
  }
  return Magic == PE32_PLUS_MAGIC &&
         ReadStruct(Image, Optional + PE32_PLUS_IMAGE_BASE_AT, ImageBase);
}

// Where the image in a PE32 or TE section has its RVA 0, and the base it is linked for. A TE
// header stands in for the first StrippedSize bytes of the PE image, so RVA 0 lies
// StrippedSize - 40 bytes before it.
void ReadImageBase(FvSection *Section) {
  const ByteView Image = Section->Bytes.subspan(Section->DataOffset);
  const int64_t ImageAt = static_cast<int64_t>(Section->Offset + Section->DataOffset);
  if (Section->Type == EFI_SECTION_PE32) {
    Section->HasImageBase = ReadPeImageBase(Image, &Section->Machine, &Section->ImageBase);
    Section->Rva0Offset = ImageAt;
    return;
  }
  pe::EFI_TE_IMAGE_HEADER Te{};
  if (Section->Type == EFI_SECTION_TE && ReadStruct(Image, 0, &Te) &&
      Te.Signature == pe::EFI_TE_IMAGE_HEADER_SIGNATURE && Te.StrippedSize >= sizeof(Te)) {
    Section->HasImageBase = true;
    Section->Machine = Te.Machine;
    Section->ImageBase = Te.ImageBase;
    Section->Rva0Offset = ImageAt - (Te.StrippedSize - static_cast<int64_t>(sizeof(Te)));
  }
}

// A user-interface section's UTF-16 name up to its NUL, ASCII kept, anything else as '?'.
std::string ReadName(ByteView Text) {
  std::string Name;
  uint16_t Unit = 0;
  for (uint64_t At = 0; ReadStruct(Text, At, &Unit) && Unit != 0 && Name.size() < MAX_NAME_LENGTH;
       At += sizeof(Unit)) {
    Name += Unit >= 0x20 && Unit < 0x7F ? static_cast<char>(Unit) : '?';
  }
  return Name;
}

// Passes the type-specific header of Section, in its small or large form (Small or Large, as
// its common header is), to Take. False when that header runs past the section.
template <typename Small, typename Large, typename Taker>
bool ReadSpecificHeader(const FvSection &Section, const Taker &Take) {
  if (Section.HeaderSize == sizeof(EFI_COMMON_SECTION_HEADER2)) {
    Large Header{};
    const bool Read = ReadStruct(Section.Bytes, 0, &Header);
    if (Read) {
      Take(Header);
    }
    return Read;
  }
  Small Header{};
  const bool Read = ReadStruct(Section.Bytes, 0, &Header);
  if (Read) {
    Take(Header);
  }
  return Read;
}

// Sets Section's content for an encapsulating type: GUID-defined, compression, disposable or
// volume image. Refuses headers whose fields do not fit the section.
bool ReadEncapsulation(FvSection *Section, std::string *Reason) {
  uint64_t Fixed = 0; // the type-specific header's size
  switch (Section->Type) {
  case EFI_SECTION_GUID_DEFINED: {
    uint16_t DataOffset = 0;
    if (!ReadSpecificHeader<EFI_GUID_DEFINED_SECTION, EFI_GUID_DEFINED_SECTION2>(
            *Section, [&](const auto &Header) {
              Section->Guid = Header.SectionDefinitionGuid;
              Section->GuidAttributes = Header.Attributes;
              DataOffset = Header.DataOffset;
              Fixed = sizeof(Header);
            })) {
      *Reason = "GUID-defined section header runs past the section";
      return false;
    }
    if (DataOffset < Fixed || DataOffset > Section->Bytes.size()) {
      *Reason = "DataOffset " + Hex(DataOffset) + " lies outside the section (" + Hex(Fixed) +
                " to " + Hex(Section->Bytes.size()) + ")";
      return false;
    }
    Section->DataOffset = DataOffset;
    if ((Section->GuidAttributes & EFI_GUIDED_SECTION_PROCESSING_REQUIRED) == 0) {
      Section->Content = SectionContent::InPlace;
    } else if (SameGuid(Section->Guid, LZMA_CUSTOM_DECOMPRESS_GUID)) {
      Section->Content = SectionContent::Lzma;
    } else {
      Section->Content = SectionContent::Opaque;
    }
    return true;
  }
  case EFI_SECTION_COMPRESSION: {
    uint32_t Length = 0;
    if (!ReadSpecificHeader<EFI_COMPRESSION_SECTION, EFI_COMPRESSION_SECTION2>(
            *Section, [&](const auto &Header) {
              Length = Header.UncompressedLength;
              Section->CompressionType = Header.CompressionType;
              Fixed = sizeof(Header);
            })) {
      *Reason = "compression section header runs past the section";
      return false;
    }
    Section->DataOffset = static_cast<uint32_t>(Fixed);
    Section->Content = SectionContent::Opaque;
    if (Section->CompressionType == EFI_NOT_COMPRESSED) {
      if (Length != Section->Bytes.size() - Fixed) {
        *Reason = "UncompressedLength " + Hex(Length) + " differs from the " +
                  Hex(Section->Bytes.size() - Fixed) + " bytes it holds";
        return false;
      }
      Section->Content = SectionContent::InPlace;
    }
    return true;
  }
  case EFI_SECTION_DISPOSABLE:
    Section->Content = SectionContent::InPlace;
    return true;
  case EFI_SECTION_FIRMWARE_VOLUME_IMAGE:
    Section->Content = SectionContent::Volume;
    return true;
  default:
    return true;
  }
}

// Reads what Section holds (Space is where it lies), once its header is read.
bool ParseContent(ByteView Space, const Trail &Here, ParseBudget *Budget, FvSection *Section,
                  std::string *Error) {
  const uint64_t Start = Section->Offset + Section->DataOffset;
  const uint64_t End = Section->Offset + Section->Bytes.size();
  switch (Section->Content) {
  case SectionContent::InPlace:
    return ParseSections(Space, Start, End, &Here, Budget, &Section->Sections, Error);
  case SectionContent::Volume:
    Section->Volumes.emplace_back();
    return ParseVolume(Space, Start, End - Start, &Here, Budget, &Section->Volumes.back(), Error);
  case SectionContent::Lzma: {
    auto Decoded = std::make_unique<std::vector<uint8_t>>();
    LzmaHeader Header;
    std::string Reason;
    if (!LzmaDecode(Section->Bytes.subspan(Section->DataOffset), MAX_DECODED - Budget->Decoded,
                    Decoded.get(), &Header, &Reason)) {
      return Fail(Error, Here.Text() + ": " + Reason);
    }
    Budget->Decoded += Decoded->size();
    Section->LzmaProperties = Header.Properties;
    Section->LzmaDictionary = Header.DictionarySize;
    Section->Decoded = std::move(Decoded);
    const Trail Data{&Here, "LZMA data", 0, false};
    return ParseSections(*Section->Decoded, 0, Section->Decoded->size(), &Data, Budget,
                         &Section->Sections, Error);
  }
  case SectionContent::Leaf:
    if (Section->Type == EFI_SECTION_USER_INTERFACE) {
      Section->Name = ReadName(Section->Bytes.subspan(Section->DataOffset));
    }
    ReadImageBase(Section);
    return true;
  case SectionContent::Opaque:
    return true;
  }
  return true;
}

} // namespace

bool ParseSections(ByteView Space, uint64_t Start, uint64_t End, const Trail *Where,
                   ParseBudget *Budget, std::vector<FvSection> *Sections, std::string *Error) {
  const Descent Step(Budget);
  if (Step.TooDeep()) {
    return Fail(Error,
                Where->Text() + ": nested deeper than " + std::to_string(MAX_NESTING) + " levels");
  }
  for (uint64_t Offset = Start; Offset < End;) {
    const Trail Here{Where, "section", Offset};
    const auto Refuse = [&](const std::string &Reason) {
      return Fail(Error, Here.Text() + ": " + Reason);
    };
    const ByteView Room = Space.subspan(Offset, End - Offset);
    EFI_COMMON_SECTION_HEADER2 Header{};
    if (!ReadStruct(Room, 0, static_cast<EFI_COMMON_SECTION_HEADER *>(&Header))) {
      return Refuse(Hex(Room.size()) + " bytes left, too few for a section header");
    }
    FvSection Section;
    Section.Offset = Offset;
    Section.Type = Header.Type;
    uint64_t Size = Size24(Header.Size);
    Section.HeaderSize = sizeof(EFI_COMMON_SECTION_HEADER);
    if (Size == MAX_SIZE24) {
      if (!ReadStruct(Room, 0, &Header)) {
        return Refuse("its 8-byte large-section header runs past its container");
      }
      Size = Header.ExtendedSize;
      Section.HeaderSize = sizeof(EFI_COMMON_SECTION_HEADER2);
    }
    if (Size < Section.HeaderSize) {
      return Refuse("size " + Hex(Size) + " is smaller than its " +
                    std::to_string(Section.HeaderSize) + "-byte header");
    }
    if (Size > Room.size()) {
      return Refuse("size " + Hex(Size) + " runs past its container (" + Hex(Room.size()) +
                    " bytes left)");
    }
    Section.Bytes = Room.first(Size);
    Section.DataOffset = Section.HeaderSize;
    std::string Reason;
    if (!ReadEncapsulation(&Section, &Reason)) {
      return Refuse(Reason);
    }
    if (!ParseContent(Space, Here, Budget, &Section, Error)) {
      return false;
    }
    Sections->push_back(std::move(Section));
    Offset = AlignUp(Offset - Start + Size, SECTION_ALIGNMENT) + Start;
  }
  return true;
}
