// One walk over a firmware tree for the commands that search it: every volume, file and
// section in order, depth first, descending into sections kept in place, decoded LZMA data and
// volume images. Each visitor that is set is called; the walk itself decides nothing.
#pragma once

#include <functional>

#include "firmware_tree.h"

struct FirmwareVisitor {
  std::function<void(const FvVolume &)> Volume;
  std::function<void(const FvVolume &, const FvFile &)> File;
  std::function<void(const FvFile &, const FvSection &)> Section; // with the file holding it
};

void WalkFirmware(const FirmwareImage &Image, const FirmwareVisitor &Visit);

// The same walk from one volume, or one file of Volume, down.
void WalkVolume(const FvVolume &Volume, const FirmwareVisitor &Visit);
void WalkFile(const FvVolume &Volume, const FvFile &File, const FirmwareVisitor &Visit);
