// Carrying a changed volume out to the image: each container around it is rebuilt, from the
// inside out, with its sizes and checksums. A volume image section keeps its size, as the
// volume does; an LZMA section is encoded again and may change size, and so may the file
// holding it, which must still fit where it was in its volume. The outermost volume keeps its
// length, so nothing after it moves.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"

// A container rebuilt around the change, for the report: "LZMA section at 0x90 in file ...".
struct RebuiltPart {
  std::string What;
  uint64_t OldSize, NewSize;
};

// "rebuilt WHAT: OLD -> NEW bytes", a line each, for a report.
std::string RebuiltText(const std::vector<RebuiltPart> &Parts);

// Image's bytes with Target, a volume inside it, holding NewTarget (as long as it was). Refuses
// when a container on the way is one that cannot be rebuilt (an encoding other than LZMA, a
// compression section), or when a grown file no longer fits. Parts lists what was rebuilt,
// innermost first.
[[nodiscard]] bool RebuildImage(const FirmwareImage &Image, const FvVolume &Target,
                                const std::vector<uint8_t> &NewTarget, std::vector<uint8_t> *Out,
                                std::vector<RebuiltPart> *Parts, std::string *Error);
