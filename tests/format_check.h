// Table-driven checks of FormatText: every case is run at every capacity from 0 to its full
// length + 1 into a sentinel-filled buffer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "format.h"

struct FormatCase {
  std::string Expected; // the full text; may hold a NUL from '%c'
  int32_t (*Call)(char *Buffer, uint32_t Capacity);
  const char *Source;
};

// One case per line: FORMAT_CASE("expected", "format", arguments...).
#define FORMAT_CASE(Expected, ...)                                                                 \
  FormatCase {                                                                                     \
    Expected,                                                                                      \
        [](char *Buffer, uint32_t Capacity) { return FormatText(Buffer, Capacity, __VA_ARGS__); }, \
        #__VA_ARGS__                                                                               \
  }

constexpr char SENTINEL = '\x5A';
constexpr uint32_t SLACK = 32;

// Capacity c must give the first c - 1 characters, a NUL, result c - 1 (0 for c = 0, with
// nothing written), and leave every byte from Buffer[c] on untouched.
inline void CheckAtCapacity(const FormatCase &Case, uint32_t Capacity) {
  std::vector<char> Buffer(Capacity + SLACK, SENTINEL);
  const int32_t Result = Case.Call(Buffer.data(), Capacity);
  const uint32_t Kept = Capacity == 0 ? 0 : std::min<uint32_t>(Capacity - 1, Case.Expected.size());
  SCOPED_TRACE(testing::Message() << Case.Source << " at capacity " << Capacity);
  ASSERT_EQ(Result, static_cast<int32_t>(Kept));
  EXPECT_EQ(std::string(Buffer.data(), Kept), Case.Expected.substr(0, Kept));
  if (Capacity > 0) {
    EXPECT_EQ(Buffer[Kept], '\0');
  }
  for (uint32_t Index = Capacity == 0 ? 0 : Kept + 1; Index < Buffer.size(); ++Index) {
    ASSERT_EQ(Buffer[Index], SENTINEL) << "byte " << Index << " changed";
  }
}

inline void CheckAllCapacities(const std::vector<FormatCase> &Cases) {
  for (const FormatCase &Case : Cases) {
    for (uint32_t Capacity = 0; Capacity <= Case.Expected.size() + 1; ++Capacity) {
      CheckAtCapacity(Case, Capacity);
    }
    CheckAtCapacity(Case, 2048);
  }
}
