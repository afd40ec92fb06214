// Placing a TE image in memory to run it in place: the whole file at the address its header
// belongs at, uninitialised section tails zeroed, base relocations applied for the chosen base.
// The bytes are laid out once, in the whole pages the emulator then runs on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "struct_io.h"
#include "te_image.h"

constexpr uint32_t MAX_IMAGE_SPAN = 64u << 20; // bytes; larger images are refused

struct LoadedImage {
  TeImage Te;
  uint32_t Base = 0;               // address of RVA 0
  uint32_t Span = 0;               // bytes from Base: headers, sections and the file's tail
  uint32_t PreferredBase = 0;      // the header's ImageBase
  uint32_t RelocationsApplied = 0; // HIGHLOW entries
  uint32_t PagesLow = 0;           // address of Pages[0]: Base rounded down to a page
  std::vector<uint8_t> Pages;      // every page the image touches, as they stand after relocation

  uint32_t Entry() const { return Base + Te.AddressOfEntryPoint; }
};

// Lays out Te, which CheckTeImage accepted, at Base. The TE header goes to Base +
// Displacement(), so every section lands at Base + its RVA, as the check's rule that each
// section's file offset equals its RVA allows. On failure (an image too large for the runner,
// or one that does not fit below 4 GiB at Base) returns false and sets Error to a one-line
// reason.
[[nodiscard]] bool LoadTeImage(const TeImage &Te, uint32_t Base, LoadedImage *Image,
                               std::string *Error);
