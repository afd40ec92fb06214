// What the firmware readers share while they descend: where they are, for refusals, and how
// deep and how much they have decoded, so that no input can make them recurse or allocate
// without bound.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "firmware_tree.h"
#include "struct_io.h"

// One step of the way from the image to what is being read. Text() gives the whole way,
// "volume at 0x0 > file at 0x78 > section at 0x90 > LZMA data > section at 0x7c"; it is built
// only when a refusal needs it.
struct Trail {
  const Trail *Parent;
  const char *Kind;
  uint64_t Offset;
  bool HasOffset = true;

  std::string Text() const;
};

// The bounds of one read of an image.
struct ParseBudget {
  unsigned Depth = 0;   // steps into volumes and encapsulations below the image
  uint64_t Decoded = 0; // bytes of LZMA data decoded so far
};

constexpr unsigned MAX_NESTING = 16;         // volumes and section lists inside one another
constexpr uint64_t MAX_DECODED = 256u << 20; // bytes of decoded data in one image

// One level down for as long as it lives.
class Descent {
public:
  explicit Descent(ParseBudget *Budget) : Budget(Budget) { ++Budget->Depth; }
  ~Descent() { --Budget->Depth; }
  Descent(const Descent &) = delete;
  Descent &operator=(const Descent &) = delete;

  bool TooDeep() const { return Budget->Depth > MAX_NESTING; }

private:
  ParseBudget *Budget;
};

// Reads the volume at Offset of Space, which has Room bytes for it from there. Where is the
// step holding it: null at the image's top.
[[nodiscard]] bool ParseVolume(ByteView Space, uint64_t Offset, uint64_t Room, const Trail *Where,
                               ParseBudget *Budget, FvVolume *Volume, std::string *Error);

// Reads the sections in [Start, End) of Space.
[[nodiscard]] bool ParseSections(ByteView Space, uint64_t Start, uint64_t End, const Trail *Where,
                                 ParseBudget *Budget, std::vector<FvSection> *Sections,
                                 std::string *Error);
