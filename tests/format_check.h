// Table-driven checks of FormatText: every case is run at every capacity from 0 to its full
// length + 1 into a sentinel-filled buffer, on the host build and on the built image's own
// FormatText (format_image.h), with the same checks.
#pragma once

#include <algorithm>
#include <concepts>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "efi_types.h"
#include "format.h"
#include "format_image.h"
#include "image_call.h"

struct FormatCase {
  std::string Expected; // the full text; may hold a NUL from '%c'
  std::function<int32_t(char *Buffer, uint32_t Capacity)> Call; // the host build's FormatText
  std::string Source; // the row's format and arguments as written
  // The same format and arguments as the image's FormatText takes them after its buffer and
  // capacity: each in its 32-bit slots, strings and GUIDs copied into the image's memory.
  std::vector<CallArgument> Arguments;
};

// A row's argument in the slots a variadic IA-32 call gives it, by its C++ type: up to 32 bits
// (promoted to int when narrower) one slot, 64 bits two, low word first.
template <std::integral Integer> CallArgument ImageArgument(Integer Value) {
  if constexpr (sizeof(Integer) > sizeof(uint32_t)) {
    return CallArgument::Wide(static_cast<uint64_t>(Value));
  } else {
    return CallArgument::Word(static_cast<uint32_t>(Value));
  }
}
inline CallArgument ImageArgument(const char *Text) {
  return CallArgument::Text(Text);
}
inline CallArgument ImageArgument(const char16_t *Text) {
  return CallArgument::Text16(Text);
}
inline CallArgument ImageArgument(const EFI_GUID *Guid) {
  return Guid == nullptr ? CallArgument::Word(0)
                         : CallArgument::Block(
                               {reinterpret_cast<const uint8_t *>(Guid), sizeof(EFI_GUID)}, "GUID");
}

template <typename... Values>
FormatCase MakeFormatCase(std::string Expected, const char *Source, const char *Format,
                          Values... Arguments) {
  return {std::move(Expected),
          [=](char *Buffer, uint32_t Capacity) {
            return FormatText(Buffer, Capacity, Format, Arguments...);
          },
          Source,
          {ImageArgument(Format), ImageArgument(Arguments)...}};
}

// One case per line: FORMAT_CASE("expected", "format", arguments...).
#define FORMAT_CASE(Expected, ...) MakeFormatCase(Expected, #__VA_ARGS__, __VA_ARGS__)

constexpr char SENTINEL = '\x5A';
constexpr uint32_t SLACK = 32;

// Capacity c must give the first c - 1 characters, a NUL, result c - 1 (0 for c = 0, with
// nothing written), and leave every byte from Buffer[c] on untouched. Buffer holds Size bytes
// from the start of the buffer the call wrote into.
inline void CheckOutput(const FormatCase &Case, uint32_t Capacity, int32_t Result,
                        const char *Buffer, size_t Size) {
  const uint32_t Kept = Capacity == 0 ? 0 : std::min<uint32_t>(Capacity - 1, Case.Expected.size());
  ASSERT_EQ(Result, static_cast<int32_t>(Kept));
  EXPECT_EQ(std::string(Buffer, Kept), Case.Expected.substr(0, Kept));
  if (Capacity > 0) {
    EXPECT_EQ(Buffer[Kept], '\0');
  }
  for (size_t Index = Capacity == 0 ? 0 : Kept + 1; Index < Size; ++Index) {
    ASSERT_EQ(Buffer[Index], SENTINEL) << "byte " << Index << " changed";
  }
}

inline std::string RowName(const FormatCase &Case, uint32_t Capacity) {
  return testing::PrintToString(Case.Expected) + " from " + Case.Source + " at capacity " +
         std::to_string(Capacity);
}

inline void CheckHostAtCapacity(const FormatCase &Case, uint32_t Capacity) {
  SCOPED_TRACE("host build: " + RowName(Case, Capacity));
  std::vector<char> Buffer(Capacity + SLACK, SENTINEL);
  const int32_t Result = Case.Call(Buffer.data(), Capacity);
  CheckOutput(Case, Capacity, Result, Buffer.data(), Buffer.size());
}

// The same call on the image: the buffer between SLACK sentinel bytes on each side, which the
// image may not touch.
inline void CheckImageAtCapacity(const FormatCase &Case, uint32_t Capacity) {
  FormatImage &Image = TheFormatImage();
  SCOPED_TRACE("image " + Image.Path + ": " + RowName(Case, Capacity));
  ASSERT_EQ(Image.Error, "");
  std::vector<CallArgument> Arguments = {CallArgument::Output(), CallArgument::Word(Capacity)};
  Arguments.insert(Arguments.end(), Case.Arguments.begin(), Case.Arguments.end());
  const OutputBuffer Output{Capacity, SLACK, static_cast<uint8_t>(SENTINEL)};
  CallResult Result;
  std::string Error;
  ASSERT_TRUE(Image.Caller.Call("FormatText", Arguments, Output, &Result, &Error)) << Error;
  ASSERT_EQ(Result.Faults, std::vector<std::string>());
  const char *Buffer = reinterpret_cast<const char *>(Result.Output.data()) + SLACK;
  CheckOutput(Case, Capacity, static_cast<int32_t>(Result.Eax), Buffer, Capacity + SLACK);
}

inline void CheckAtCapacity(const FormatCase &Case, uint32_t Capacity) {
  CheckHostAtCapacity(Case, Capacity);
  CheckImageAtCapacity(Case, Capacity);
}

inline void CheckAllCapacities(const std::vector<FormatCase> &Cases) {
  for (const FormatCase &Case : Cases) {
    for (uint32_t Capacity = 0; Capacity <= Case.Expected.size() + 1; ++Capacity) {
      CheckAtCapacity(Case, Capacity);
    }
    CheckAtCapacity(Case, 2048);
  }
}
