#include "firmware_walk.h"

#include <vector>

#include "firmware_tree.h"

namespace {

void WalkSections(const std::vector<FvSection> &Sections, const FvFile &File,
                  const FirmwareVisitor &Visit) {
  for (const FvSection &Section : Sections) {
    if (Visit.Section) {
      Visit.Section(File, Section);
    }
    WalkSections(Section.Sections, File, Visit);
    for (const FvVolume &Inner : Section.Volumes) {
      WalkVolume(Inner, Visit);
    }
  }
}

} // namespace

void WalkFile(const FvVolume &Volume, const FvFile &File, const FirmwareVisitor &Visit) {
  if (Visit.File) {
    Visit.File(Volume, File);
  }
  WalkSections(File.Sections, File, Visit);
}

void WalkVolume(const FvVolume &Volume, const FirmwareVisitor &Visit) {
  if (Visit.Volume) {
    Visit.Volume(Volume);
  }
  for (const FvFile &File : Volume.Files) {
    WalkFile(Volume, File, Visit);
  }
}

void WalkFirmware(const FirmwareImage &Image, const FirmwareVisitor &Visit) {
  for (const FvVolume &Volume : Image.Volumes) {
    WalkVolume(Volume, Visit);
  }
}
