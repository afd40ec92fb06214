#include "xip_base.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "ffs_rules.h"
#include "firmware_tree.h"

namespace {

void CollectImages(const FvFile &File, const std::vector<FvSection> &Sections,
                   std::vector<XipImage> *Images) {
  for (const FvSection &Section : Sections) {
    if (Section.HasImageBase) {
      Images->push_back({&File, Section.ImageBase - static_cast<uint64_t>(Section.Rva0Offset)});
    }
    if (Section.Content == SectionContent::InPlace) {
      CollectImages(File, Section.Sections, Images);
    }
  }
}

} // namespace

std::vector<XipImage> VolumeImages(const FvVolume &Volume, const FvFile *Skip) {
  std::vector<XipImage> Images;
  for (const FvFile &File : Volume.Files) {
    if (&File != Skip && FileIsLive(File.StateBit)) {
      CollectImages(File, File.Sections, &Images);
    }
  }
  return Images;
}

bool CommonBase(const std::vector<XipImage> &Images, uint64_t *Base) {
  if (Images.empty() || std::any_of(Images.begin(), Images.end(), [&](const XipImage &Image) {
        return Image.Base != Images.front().Base;
      })) {
    return false;
  }
  *Base = Images.front().Base;
  return true;
}
