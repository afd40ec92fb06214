// Writes the format fuzz target's seed inputs, one file per case, into the folder given.
// Usage: format-fuzz-seeds DIR
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "format_input.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Int32(uint32_t Value) {
  return {uint8_t(Value), uint8_t(Value >> 8), uint8_t(Value >> 16), uint8_t(Value >> 24)};
}

Bytes Int64(uint64_t Value) {
  Bytes Raw = Int32(uint32_t(Value));
  const Bytes High = Int32(uint32_t(Value >> 32));
  Raw.insert(Raw.end(), High.begin(), High.end());
  return Raw;
}

Bytes Text8(const std::string &Text) {
  Bytes Raw = {uint8_t(Text.size())};
  Raw.insert(Raw.end(), Text.begin(), Text.end());
  return Raw;
}

Bytes Text16(const std::string &Text) {
  Bytes Raw = {uint8_t(Text.size())};
  for (char Unit : Text) {
    Raw.push_back(uint8_t(Unit));
    Raw.push_back(0x01); // a high byte the engine drops
  }
  return Raw;
}

Bytes Guid() {
  return {0x00, 0x01, 0x5E, 0xD7, 0x34, 0x12, 0xCD, 0xAB, 0x8A,
          0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xFF, 0x00};
}

Bytes NullPointer() {
  return {NULL_MARK};
}

struct Seed {
  uint16_t Capacity;
  std::string Format;
  std::vector<Bytes> Arguments;
};

// One case per line; the capacities cut some texts short.
std::vector<Seed> MakeSeeds() {
  return {
      {64, "%s=%08x (%d) %c", {Text8("COM1"), Int32(0x240), Int32(-5), Int32('!')}},
      {10, "%s=%08x (%d) %c", {Text8("COM1"), Int32(0x240), Int32(-5), Int32('!')}},
      {48, "%r %r %r", {Int32(0), Int32(0x80000003), Int32(0xA0000001)}},
      {80, "%g %G", {Guid(), NullPointer()}},
      {20, "%G", {Guid()}},
      {32, "[%-5d|%+3x|%*d|%05i]", {Int32(7), Int32(0xFFFF), Int32(6), Int32(-9), Int32(42)}},
      {90,
       "%lx %ld %li %lX %lp",
       {Int64(1ull << 63), Int64(~0ull), Int64(12), Int64(0xAB), Int64(3)}},
      {24, "%S|%S", {Text16("Wide"), NullPointer()}},
      {40, "%a %s %s", {NullPointer(), Text8(""), Text8("tail")}},
      {0, "nothing fits", {}},
      {1, "%s", {Text8("x")}},
      {40, "%q %l %lq %0 %% 100% %", {}},
      {16, "%p %X %i %c", {Int32(0xDEADBEEF), Int32(0xBEEF), Int32(0x80000000), Int32(0)}},
      {12, "%2147483647d|%-2147483648d", {Int32(1), Int32(2)}},
      {64, "% \t 8x|%0*x|%*s", {Int32(0x1F), Int32(-4), Int32(0x2A), Int32(3), Text8("s")}},
  };
}

} // namespace

int main(int Count, char **Arguments) {
  if (Count != 2) {
    std::fprintf(stderr, "usage: format-fuzz-seeds DIR\n");
    return 2;
  }
  const std::vector<Seed> Seeds = MakeSeeds();
  for (size_t Index = 0; Index < Seeds.size(); ++Index) {
    const Seed &Case = Seeds[Index];
    Bytes Raw = {uint8_t(Case.Capacity), uint8_t(Case.Capacity >> 8)};
    Raw.insert(Raw.end(), Case.Format.begin(), Case.Format.end());
    Raw.push_back(0);
    for (const Bytes &Argument : Case.Arguments) {
      Raw.insert(Raw.end(), Argument.begin(), Argument.end());
    }
    const std::string Path = std::string(Arguments[1]) + "/seed_" + std::to_string(Index);
    std::ofstream File(Path, std::ios::binary);
    File.write(reinterpret_cast<const char *>(Raw.data()), std::streamsize(Raw.size()));
    if (!File.flush()) {
      std::fprintf(stderr, "format-fuzz-seeds: cannot write %s\n", Path.c_str());
      return 1;
    }
  }
  return 0;
}
