#include "volume_edit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "ffs_rules.h"
#include "ffs_writer.h"
#include "firmware_tree.h"
#include "fv_format.h"
#include "fv_names.h"
#include "messages.h"
#include "struct_io.h"

using namespace fv;

namespace {

constexpr uint64_t PAD_FILE_MINIMUM = sizeof(EFI_FFS_FILE_HEADER);

void Put(std::vector<uint8_t> *Bytes, uint64_t Offset, ByteView Part) {
  std::copy(Part.begin(), Part.end(), Bytes->begin() + static_cast<std::ptrdiff_t>(Offset));
}

void Erase(std::vector<uint8_t> *Bytes, uint64_t From, uint64_t To, uint8_t EraseByte) {
  if (From < To) {
    std::fill(Bytes->begin() + static_cast<std::ptrdiff_t>(From),
              Bytes->begin() + static_cast<std::ptrdiff_t>(To), EraseByte);
  }
}

// A gap between files is either empty or holds a pad file.
bool PadFits(uint64_t Gap) {
  return Gap == 0 || Gap >= PAD_FILE_MINIMUM;
}

} // namespace

uint64_t FreeEnd(const FvVolume &Volume) {
  if (Volume.DirtyAt == 0) {
    return Volume.Bytes.size();
  }
  return std::max(Volume.FreeStart, (Volume.DirtyAt - PAD_FILE_MINIMUM) & ~(FILE_ALIGNMENT - 1));
}

const FvFile *NextKeptFile(const FvVolume &Volume, const FvFile &File) {
  const auto Next =
      std::find_if(Volume.Files.begin(), Volume.Files.end(), [&File](const FvFile &Other) {
        return Other.Offset > File.Offset && Other.Header.Type != EFI_FV_FILETYPE_FFS_PAD;
      });
  return Next != Volume.Files.end() ? &*Next : nullptr;
}

bool ReplaceFileInPlace(const FvVolume &Volume, const FvFile &File, ByteView NewFile,
                        std::vector<uint8_t> *Bytes, std::string *Error) {
  const FvFile *Next = NextKeptFile(Volume, File);
  const bool Last = Next == nullptr;
  const uint64_t Limit = Last ? FreeEnd(Volume) : Next->Offset;
  const uint64_t End = File.Offset + NewFile.size();
  const uint64_t Aligned = AlignUp(End, FILE_ALIGNMENT);
  if (End > Limit || (!Last && (Aligned > Limit || !PadFits(Limit - Aligned)))) {
    return Fail(Error, VolumeLabel(Volume) + ": no room: " + FileLabel(File) + " grows from " +
                           Hex(File.Bytes.size()) + " to " + Hex(NewFile.size()) + " bytes, and " +
                           Hex(Limit - File.Offset) + " bytes lie before " +
                           (Last ? "the end of free space" : "the next file") +
                           (Last ? "" : ", less any gap too small for a pad file"));
  }
  Put(Bytes, File.Offset, NewFile);
  if (Last) {
    Erase(Bytes, End, std::max(End, Volume.FreeStart), Volume.EraseByte);
  } else {
    Erase(Bytes, End, Aligned, Volume.EraseByte);
    if (Aligned < Limit) {
      Put(Bytes, Aligned, MakePadFile(Limit - Aligned, Volume.EraseByte));
    }
  }
  return true;
}

uint64_t RemoveFile(const FvVolume &Volume, const FvFile &File, std::vector<uint8_t> *Bytes) {
  const auto Found = std::find_if(Volume.Files.begin(), Volume.Files.end(),
                                  [&File](const FvFile &Other) { return &Other == &File; });
  if (Found + 1 != Volume.Files.end()) {
    Put(Bytes, File.Offset, MakePadFile(File.Bytes.size(), Volume.EraseByte));
    return Volume.FreeStart;
  }
  auto First = Found;
  while (First != Volume.Files.begin() && (First - 1)->Header.Type == EFI_FV_FILETYPE_FFS_PAD) {
    --First;
  }
  Erase(Bytes, First->Offset, Volume.FreeStart, Volume.EraseByte);
  return First->Offset;
}

bool FindPlace(const FvVolume &Volume, uint64_t FreeStart, uint64_t Size, uint64_t Window,
               const std::function<bool(uint64_t)> &Accept, uint64_t *Offset, std::string *Error) {
  for (uint64_t At = FreeStart; At <= FreeStart + Window; At += FILE_ALIGNMENT) {
    if (!PadFits(At - FreeStart) || !Accept(At)) {
      continue;
    }
    if (At + Size > FreeEnd(Volume)) {
      return Fail(Error, VolumeLabel(Volume) + ": no room: the file needs " + Hex(Size) +
                             " bytes at " + Hex(At) + ", and free space runs from " +
                             Hex(FreeStart) + " to " + Hex(FreeEnd(Volume)));
    }
    *Offset = At;
    return true;
  }
  return Fail(Error, VolumeLabel(Volume) + ": no offset within " + Hex(Window) +
                         " bytes of free space at " + Hex(FreeStart) +
                         " meets the file's alignment");
}

void WriteFileAt(const FvVolume &Volume, uint64_t FreeStart, uint64_t Offset, ByteView File,
                 std::vector<uint8_t> *Bytes) {
  if (Offset > FreeStart) {
    Put(Bytes, FreeStart, MakePadFile(Offset - FreeStart, Volume.EraseByte));
  }
  Put(Bytes, Offset, File);
}
