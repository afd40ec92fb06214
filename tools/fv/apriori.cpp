#include "apriori.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "guid_text.h"
#include "messages.h"
#include "struct_io.h"
#include "volume_edit.h"

using namespace fv;

bool ReadApriori(const FvVolume &Volume, AprioriList *Found, std::string *Error) {
  const auto File = std::find_if(Volume.Files.begin(), Volume.Files.end(), [](const FvFile &One) {
    return FileIsLive(One.StateBit) && One.Header.Type == EFI_FV_FILETYPE_FREEFORM &&
           SameGuid(One.Header.Name, PEI_APRIORI_FILE_GUID);
  });
  AprioriList Read;
  if (File == Volume.Files.end()) {
    *Found = Read;
    return true;
  }
  Read.File = &*File;
  const auto List =
      std::find_if(File->Sections.begin(), File->Sections.end(),
                   [](const FvSection &Section) { return Section.Type == EFI_SECTION_RAW; });
  if (List == File->Sections.end()) {
    return Fail(Error, VolumeLabel(Volume) + ": the PEI apriori " + FileLabel(*File) +
                           " holds no raw section to list GUIDs in");
  }
  const ByteView Names = List->Bytes.subspan(List->DataOffset);
  if (Names.size() % sizeof(EFI_GUID) != 0) {
    return Fail(Error, VolumeLabel(Volume) + ": the PEI apriori " + FileLabel(*File) + " lists " +
                           Hex(Names.size()) + " bytes, not a whole number of GUIDs");
  }
  Read.List = &*List;
  for (uint64_t At = 0; At < Names.size(); At += sizeof(EFI_GUID)) {
    EFI_GUID Name{};
    (void)ReadStruct(Names, At, &Name);
    Read.Names.push_back(Name);
  }
  *Found = Read;
  return true;
}

std::vector<uint8_t> MakeApriori(const AprioriList &Found, const std::vector<EFI_GUID> &Names,
                                 uint8_t EraseByte) {
  const FvFile &File = *Found.File;
  std::vector<uint8_t> List;
  for (const EFI_GUID &Name : Names) {
    PutStruct(&List, List.size(), Name);
  }
  const uint64_t DataStart = File.Offset + File.HeaderSize;
  const std::vector<uint8_t> Data =
      SpliceSection(File.Bytes.subspan(File.HeaderSize), Found.List->Offset - DataStart,
                    Found.List->Bytes.size(), MakeSection(EFI_SECTION_RAW, List));
  return MakeFile(File.Header.Name, File.Header.Type, File.Header.Attributes, Data, EraseByte);
}

std::string AprioriText(const std::vector<EFI_GUID> &Names) {
  std::string Text;
  for (const EFI_GUID &Name : Names) {
    Text += (Text.empty() ? "" : ", ") + GuidText(Name);
  }
  return Text;
}

namespace {

bool Listed(const AprioriList &Found, const EFI_GUID &Name) {
  return std::any_of(Found.Names.begin(), Found.Names.end(),
                     [&Name](const EFI_GUID &One) { return SameGuid(One, Name); });
}

} // namespace

bool ListFirst(const FvVolume &Volume, const EFI_GUID &Name, bool Replacing,
               std::vector<uint8_t> *Bytes, const FvFile **Edited, std::vector<uint8_t> *NewFile,
               std::string *Error) {
  AprioriList Found;
  if (!ReadApriori(Volume, &Found, Error)) {
    return false;
  }
  if (Found.File == nullptr) {
    return Fail(Error, VolumeLabel(Volume) + " holds no PEI apriori file (freeform, " +
                           GuidText(PEI_APRIORI_FILE_GUID) + ") to put the module first in");
  }
  if (Listed(Found, Name) && Replacing) {
    return true;
  }
  if (Listed(Found, Name)) {
    return Fail(Error, "the PEI apriori " + FileLabel(*Found.File) + " of " + VolumeLabel(Volume) +
                           " already lists " + GuidText(Name));
  }
  if (NextKeptFile(Volume, *Found.File) == nullptr) {
    return Fail(Error, VolumeLabel(Volume) + ": no room: the PEI apriori " +
                           FileLabel(*Found.File) +
                           " is the last file, and grows only into a pad file before the next");
  }
  std::vector<EFI_GUID> Names = Found.Names;
  Names.insert(Names.begin(), Name);
  *NewFile = MakeApriori(Found, Names, Volume.EraseByte);
  *Edited = Found.File;
  return ReplaceFileInPlace(Volume, *Found.File, *NewFile, Bytes, Error);
}

bool Unlist(const FvVolume &Volume, const EFI_GUID &Name, std::vector<uint8_t> *Bytes,
            const FvFile **Edited, std::vector<uint8_t> *NewFile, std::string *Error) {
  AprioriList Found;
  if (!ReadApriori(Volume, &Found, Error)) {
    return false;
  }
  if (Found.File == nullptr || !Listed(Found, Name)) {
    return true;
  }
  std::vector<EFI_GUID> Names;
  std::copy_if(Found.Names.begin(), Found.Names.end(), std::back_inserter(Names),
               [&Name](const EFI_GUID &One) { return !SameGuid(One, Name); });
  *NewFile = MakeApriori(Found, Names, Volume.EraseByte);
  *Edited = Found.File;
  return ReplaceFileInPlace(Volume, *Found.File, *NewFile, Bytes, Error);
}
