// Where a volume runs in place. A volume whose images run where they lie holds each one linked
// for its address there: ImageBase = (volume base) + (offset of the image's RVA 0 in the
// volume). For a PE32 section RVA 0 is the image's first byte; for a TE section it lies
// StrippedSize - 40 bytes before the TE header, which stands in for that many bytes of PE
// headers. OVMF's PEI volumes hold every PEIM so, at base 0x820000.
#pragma once

#include <cstdint>
#include <vector>

#include "firmware_tree.h"

struct XipImage {
  const FvFile *File;
  uint64_t Base; // ImageBase - offset of RVA 0: the volume base the image is linked for
};

// The PE32 and TE images of Volume's live files that lie in the volume itself (directly in a
// file, or in sections kept in place), with the base each is linked for. Skip is left out: the
// file about to be replaced.
std::vector<XipImage> VolumeImages(const FvVolume &Volume, const FvFile *Skip = nullptr);

// The base all of Images agree on; false when there is none or they differ.
bool CommonBase(const std::vector<XipImage> &Images, uint64_t *Base);
