// The PEI apriori file: a freeform file (type 0x02) named 1b45cc0a-156a-428a-af62-49864da0e6e6
// whose raw section lists, 16 bytes each, the GUIDs of the PEIMs the PEI core dispatches
// first, in that order, before any other. A volume holds at most one that counts: its first
// live one.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fv_format.h"

constexpr fv::EFI_GUID PEI_APRIORI_FILE_GUID = {
    0x1B45CC0A, 0x156A, 0x428A, {0xAF, 0x62, 0x49, 0x86, 0x4D, 0xA0, 0xE6, 0xE6}};

struct AprioriList {
  const FvFile *File = nullptr;    // the apriori file; null when the volume holds none
  const FvSection *List = nullptr; // its raw section
  std::vector<fv::EFI_GUID> Names; // the list, in dispatch order
};

// Reads Volume's apriori file. Found->File stays null when there is none. Refuses one whose
// raw section is missing or not a whole number of GUIDs.
[[nodiscard]] bool ReadApriori(const FvVolume &Volume, AprioriList *Found, std::string *Error);

// The apriori file of Found with Names as its list, every other byte of its data kept, sealed
// for the volume's EraseByte.
std::vector<uint8_t> MakeApriori(const AprioriList &Found, const std::vector<fv::EFI_GUID> &Names,
                                 uint8_t EraseByte);

// "1b45cc0a-...,  56f26cba-..." for a listing.
std::string AprioriText(const std::vector<fv::EFI_GUID> &Names);

// Puts Name first in the list of Volume's apriori file, in Bytes (a copy of the volume's
// bytes): the file grows into the pad file after it, every other file keeping its offset.
// Edited and NewFile get the apriori file and its new bytes. Refuses a volume with no apriori
// file or one that is its last file, a Name already listed (unless Replacing, which leaves the
// list as it is, Edited null), and no room before the next file.
[[nodiscard]] bool ListFirst(const FvVolume &Volume, const fv::EFI_GUID &Name, bool Replacing,
                             std::vector<uint8_t> *Bytes, const FvFile **Edited,
                             std::vector<uint8_t> *NewFile, std::string *Error);

// Takes Name out of the list of Volume's apriori file, in Bytes: the pad file after it grows
// back. Edited stays null when no apriori file lists Name.
[[nodiscard]] bool Unlist(const FvVolume &Volume, const fv::EFI_GUID &Name,
                          std::vector<uint8_t> *Bytes, const FvFile **Edited,
                          std::vector<uint8_t> *NewFile, std::string *Error);
