#include "rebuild.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "guid_text.h"
#include "lzma_codec.h"
#include "messages.h"
#include "struct_io.h"
#include "volume_edit.h"

using namespace fv;

namespace {

// The search for Target from one node down. Found stays false when Target is not inside the
// node; then nothing else is set.
struct Search {
  const FvVolume &Target;
  const std::vector<uint8_t> &NewTarget;
  std::vector<RebuiltPart> *Parts;
  std::string *Error;
};

bool RebuildInSection(const FvSection &Section, const FvFile &File, const Search &Find,
                      std::vector<uint8_t> *Out, bool *Found);

// Volume's bytes with Target inside it changed.
bool RebuildInVolume(const FvVolume &Volume, const Search &Find, std::vector<uint8_t> *Out,
                     bool *Found) {
  if (&Volume == &Find.Target) {
    *Out = Find.NewTarget;
    *Found = true;
    return true;
  }
  for (const FvFile &File : Volume.Files) {
    for (const FvSection &Section : File.Sections) {
      std::vector<uint8_t> NewSection;
      if (!RebuildInSection(Section, File, Find, &NewSection, Found)) {
        return false;
      }
      if (!*Found) {
        continue;
      }
      const uint64_t DataStart = File.Offset + File.HeaderSize;
      const std::vector<uint8_t> Data =
          SpliceSection(File.Bytes.subspan(File.HeaderSize), Section.Offset - DataStart,
                        Section.Bytes.size(), NewSection);
      const std::vector<uint8_t> NewFile = MakeFile(File.Header.Name, File.Header.Type,
                                                    File.Header.Attributes, Data, Volume.EraseByte);
      if (NewFile.size() > MAX_SIZE24 && !Volume.LargeFiles) {
        return Fail(Find.Error, VolumeLabel(Volume) + ": " + FileLabel(File) + " grows to " +
                                    Hex(NewFile.size()) +
                                    " bytes, past what an FFS2 volume's file can hold");
      }
      if (NewFile.size() != File.Bytes.size()) {
        Find.Parts->push_back({FileLabel(File), File.Bytes.size(), NewFile.size()});
      }
      Out->assign(Volume.Bytes.begin(), Volume.Bytes.end());
      return ReplaceFileInPlace(Volume, File, NewFile, Out, Find.Error);
    }
  }
  return true;
}

// "GUID-defined section ee4e5898-... (LZMA) at 0x90 in file ..." and the like.
std::string SectionLabel(const FvSection &Section, const FvFile &File) {
  std::string Label = SectionTypeName(Section.Type) + " section";
  if (Section.Type == EFI_SECTION_GUID_DEFINED) {
    const std::string Name = GuidedSectionName(Section.Guid);
    Label += " " + GuidText(Section.Guid) + (Name.empty() ? "" : " (" + Name + ")");
  } else if (Section.Type == EFI_SECTION_COMPRESSION) {
    Label = "EFI compression section (type 0x01, " +
            std::string(Section.CompressionType == EFI_NOT_COMPRESSED ? "not compressed"
                                                                      : "compressed") +
            ")";
  }
  return Label + " at " + Hex(Section.Offset) + " in " + FileLabel(File);
}

bool RebuildInSection(const FvSection &Section, const FvFile &File, const Search &Find,
                      std::vector<uint8_t> *Out, bool *Found) {
  std::vector<uint8_t> Inner;
  switch (Section.Content) {
  case SectionContent::Volume: {
    if (!RebuildInVolume(Section.Volumes.front(), Find, &Inner, Found)) {
      return false;
    }
    if (!*Found) {
      return true;
    }
    Out->assign(Section.Bytes.begin(), Section.Bytes.end());
    std::copy(Inner.begin(), Inner.end(), Out->begin() + Section.DataOffset);
    return true;
  }
  case SectionContent::Lzma:
  case SectionContent::InPlace:
    for (const FvSection &Child : Section.Sections) {
      if (!RebuildInSection(Child, File, Find, &Inner, Found)) {
        return false;
      }
      if (!*Found) {
        continue;
      }
      if (Section.Content == SectionContent::InPlace) {
        return Fail(Find.Error, "cannot re-encode the " + SectionLabel(Section, File) +
                                    ", which holds the volume being changed");
      }
      const std::vector<uint8_t> Decoded =
          SpliceSection(*Section.Decoded, Child.Offset, Child.Bytes.size(), Inner);
      const LzmaHeader Like{Section.LzmaProperties, Section.LzmaDictionary, 0};
      std::vector<uint8_t> Stream;
      if (!LzmaEncode(Decoded, Like, &Stream, Find.Error)) {
        return false;
      }
      *Out = MakeGuidDefinedSection(Section, Stream);
      Find.Parts->push_back({SectionLabel(Section, File), Section.Bytes.size(), Out->size()});
      return true;
    }
    return true;
  default:
    return true;
  }
}

} // namespace

std::string RebuiltText(const std::vector<RebuiltPart> &Parts) {
  std::string Text;
  for (const RebuiltPart &Part : Parts) {
    Text +=
        "rebuilt " + Part.What + ": " + Hex(Part.OldSize) + " -> " + Hex(Part.NewSize) + " bytes\n";
  }
  return Text;
}

bool RebuildImage(const FirmwareImage &Image, const FvVolume &Target,
                  const std::vector<uint8_t> &NewTarget, std::vector<uint8_t> *Out,
                  std::vector<RebuiltPart> *Parts, std::string *Error) {
  const Search Find{Target, NewTarget, Parts, Error};
  for (const FvVolume &Volume : Image.Volumes) {
    std::vector<uint8_t> NewVolume;
    bool Found = false;
    if (!RebuildInVolume(Volume, Find, &NewVolume, &Found)) {
      return false;
    }
    if (Found) {
      Out->assign(Image.Bytes.begin(), Image.Bytes.end());
      std::copy(NewVolume.begin(), NewVolume.end(),
                Out->begin() + static_cast<std::ptrdiff_t>(Volume.Offset));
      return true;
    }
  }
  return Fail(Error, VolumeLabel(Target) + " is not in the image");
}
