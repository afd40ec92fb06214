// Changing the files of one volume in a copy of its bytes. The volume keeps its length, and
// every byte outside the range a change names stays as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "struct_io.h"

// Where the last file may end: the volume's end or, when free space holds a byte that is not
// erased, the last 8-byte boundary from which a file header's 24 bytes would not reach it (a
// reader takes any header there that is not all erased for a file).
uint64_t FreeEnd(const FvVolume &Volume);

// The first file after File in Volume that is not a pad file, or null: a file that changes
// size may take the pad files between.
const FvFile *NextKeptFile(const FvVolume &Volume, const FvFile &File);

// Replaces File, one of Volume's files, with NewFile at the same offset in Bytes (a copy of the
// volume's bytes). NewFile must end before the next file that is not a pad file, leaving
// either nothing or room for a pad file up to it, which is written; or, when no such file
// follows, inside the free space, whatever it no longer covers being erased again.
[[nodiscard]] bool ReplaceFileInPlace(const FvVolume &Volume, const FvFile &File, ByteView NewFile,
                                      std::vector<uint8_t> *Bytes, std::string *Error);

// Removes File, one of Volume's files, from Bytes: the last file, and the pad files right before
// it, go back to free space; any other becomes a pad file of its size. Returns where free space
// starts afterwards.
uint64_t RemoveFile(const FvVolume &Volume, const FvFile &File, std::vector<uint8_t> *Bytes);

// The first offset from FreeStart, on an 8-byte boundary, that Accept takes and that leaves no
// gap or one a pad file fills, for a file of Size bytes. Candidates stop Window bytes past
// FreeStart. Refuses when the accepted offset leaves the file no room before FreeEnd, or when no
// candidate is accepted.
[[nodiscard]] bool FindPlace(const FvVolume &Volume, uint64_t FreeStart, uint64_t Size,
                             uint64_t Window, const std::function<bool(uint64_t)> &Accept,
                             uint64_t *Offset, std::string *Error);

// Writes File at Offset of Bytes, and a pad file over [FreeStart, Offset) when that is not
// empty.
void WriteFileAt(const FvVolume &Volume, uint64_t FreeStart, uint64_t Offset, ByteView File,
                 std::vector<uint8_t> *Bytes);
