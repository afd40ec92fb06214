#include "fv_listing.h"

#include <cstdint>
#include <string>
#include <vector>

#include "apriori.h"
#include "ffs_rules.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "guid_text.h"
#include "messages.h"
#include "xip_base.h"

using namespace fv;

namespace {

void DescribeVolume(const FvVolume &Volume, const std::string &Indent, std::string *Text);

std::string TypeText(const std::string &Name, uint8_t Type) {
  return Name + " (" + Hex(Type, 2) + ")";
}

void DescribeSections(const std::vector<FvSection> &Sections, const std::string &Indent,
                      std::string *Text) {
  for (const FvSection &Section : Sections) {
    std::string Line = Indent + "section at " + Hex(Section.Offset) + ": " +
                       TypeText(SectionTypeName(Section.Type), Section.Type) + ", " +
                       Hex(Section.Bytes.size()) + " bytes";
    if (Section.Type == EFI_SECTION_GUID_DEFINED) {
      const std::string Name = GuidedSectionName(Section.Guid);
      Line += ", " + GuidText(Section.Guid) + (Name.empty() ? "" : " " + Name);
    }
    if (Section.Type == EFI_SECTION_COMPRESSION) {
      Line += Section.CompressionType == EFI_NOT_COMPRESSED ? ", not compressed" : ", compressed";
    }
    if (Section.Content == SectionContent::Opaque) {
      Line += ", not decoded";
    }
    if (Section.Content == SectionContent::Lzma) {
      Line += ", decodes to " + Hex(Section.Decoded->size()) +
              " bytes (offsets inside count from their start)";
    }
    if (Section.HasImageBase) {
      Line += ", image base " + Hex(Section.ImageBase, 8) + ", machine " + Hex(Section.Machine);
    }
    if (Section.Type == EFI_SECTION_USER_INTERFACE) {
      Line += ", \"" + Section.Name + "\"";
    }
    *Text += Line + "\n";
    DescribeSections(Section.Sections, Indent + "  ", Text);
    for (const FvVolume &Volume : Section.Volumes) {
      DescribeVolume(Volume, Indent + "  ", Text);
    }
  }
}

void DescribeFile(const FvFile &File, const std::string &Indent, std::string *Text) {
  std::string Line = Indent + FileLabel(File) + ": " +
                     TypeText(FileTypeName(File.Header.Type), File.Header.Type) + ", " +
                     Hex(File.Bytes.size()) + " bytes";
  const uint64_t Alignment = FileDataAlignment(File.Header.Attributes);
  if (Alignment > FILE_ALIGNMENT) {
    Line += ", data aligned to " + Hex(Alignment);
  }
  if ((File.Header.Attributes & FFS_ATTRIB_CHECKSUM) != 0) {
    Line += ", data checksum";
  }
  if (File.StateBit == EFI_FILE_DELETED) {
    Line += ", deleted";
  } else if (File.StateBit == EFI_FILE_HEADER_VALID) {
    Line += ", data not written";
  }
  for (const FvSection &Section : File.Sections) {
    if (Section.Type == EFI_SECTION_USER_INTERFACE) {
      Line += ", \"" + Section.Name + "\"";
    }
  }
  *Text += Line + "\n";
  DescribeSections(File.Sections, Indent + "  ", Text);
}

void DescribeVolume(const FvVolume &Volume, const std::string &Indent, std::string *Text) {
  std::string Line = Indent + "volume" + (Volume.HasName ? " " + GuidText(Volume.Name) : "") +
                     " at " + Hex(Volume.Offset) + ": " + Hex(Volume.Bytes.size()) + " bytes, " +
                     FileSystemName(Volume.Header.FileSystemGuid);
  if (!Volume.HoldsFiles) {
    *Text += Line + ", not a file system fv-tool reads\n";
    return;
  }
  Line += ", erased bytes " + Hex(Volume.EraseByte, 2) + ", " +
          Counted(Volume.Files.size(), "file") + ", free " +
          Hex(Volume.Bytes.size() - Volume.FreeStart) + " bytes from " + Hex(Volume.FreeStart);
  if (Volume.DirtyAt != 0) {
    Line += " (not erased from " + Hex(Volume.DirtyAt) + ")";
  }
  const std::vector<XipImage> Images = VolumeImages(Volume);
  uint64_t Base = 0;
  if (CommonBase(Images, &Base)) {
    Line +=
        ", runs in place at " + Hex(Base, 8) + " (from " + Counted(Images.size(), "image") + ")";
  }
  *Text += Line + "\n";
  AprioriList Apriori;
  std::string Unreadable;
  const bool Read = ReadApriori(Volume, &Apriori, &Unreadable);
  for (const FvFile &File : Volume.Files) {
    DescribeFile(File, Indent + "  ", Text);
    if (&File == Apriori.File || (!Read && File.Header.Type == EFI_FV_FILETYPE_FREEFORM &&
                                  SameGuid(File.Header.Name, PEI_APRIORI_FILE_GUID))) {
      *Text += Indent + "    PEI apriori order: " +
               (Read ? AprioriText(Apriori.Names) : "unreadable: " + Unreadable) + "\n";
    }
  }
}

} // namespace

std::string DescribeFirmware(const FirmwareImage &Image) {
  std::string Text = "image: " + Hex(Image.Bytes.size()) + " bytes, " +
                     Counted(Image.Volumes.size(), "volume") + "\n";
  for (const FvVolume &Volume : Image.Volumes) {
    DescribeVolume(Volume, "", &Text);
  }
  return Text;
}
