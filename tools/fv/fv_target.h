// Finding what an edit of a firmware image works on: the volume holding the PEI core, and the
// live files a GUID names. Each refusal is one line.
#pragma once

#include <string>
#include <vector>

#include "firmware_tree.h"
#include "fv_format.h"

// The one volume holding a live PEI core; with Named, the one of those whose name it is.
// Unread gets the sections the search could not look into, one phrase each ("a GUID-defined
// section ... in file ..."). Refuses none, or several without Named, saying how to choose.
[[nodiscard]] bool FindPeiVolume(const FirmwareImage &Image, const fv::EFI_GUID *Named,
                                 const FvVolume **Target, std::vector<std::string> *Unread,
                                 std::string *Error);

struct FileInVolume {
  const FvVolume *Volume;
  const FvFile *File;
};

// The live files named Name anywhere in Image, pad files left out.
std::vector<FileInVolume> LiveFilesNamed(const FirmwareImage &Image, const fv::EFI_GUID &Name);

// The one live file named Name, for remove and extract. Refuses none, several, and the PEI core,
// which the firmware cannot run without.
[[nodiscard]] bool FindOneFile(const FirmwareImage &Image, const fv::EFI_GUID &Name,
                               FileInVolume *Found, std::string *Error);

// The PE32 and TE sections of File, directly or in sections kept in place.
std::vector<const FvSection *> ImageSections(const FvFile &File);

// The machine of Volume's live PEI core image; 0 when it has none that gives one.
uint16_t PeiCoreMachine(const FvVolume &Volume);

// The volume's one live PEI core files: how many there are.
size_t PeiCoreCount(const FvVolume &Volume);
