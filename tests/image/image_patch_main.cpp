// image-patch PATCH IN OUT: writes a copy of the module's image IN (the PE32 or the TE file)
// with one byte changed, as a miscompile or a corrupted table would change it, for the tests that
// must then fail on it. Each patch finds its byte by content, the same in both files and in the
// images of every compiler, and refuses a file where that content is not there exactly once.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "file_io.h"
#include "messages.h"

namespace {

struct Patch {
  const char *Name;
  const char *About;
  // The content that must occur exactly once: Pattern, and when Near is set (not -1), that byte
  // within the NEAR_SPAN bytes after it. The byte changed is Pattern[Offset], or with
  // ChangeNear the Near byte found.
  std::string Pattern;
  size_t Offset;
  int Near;
  bool ChangeNear;
  uint8_t Value;
};
constexpr size_t NEAR_SPAN = 8;

// The digit conversion adds '0' (0x30) to a digit below ten and 'a' - 10 (0x57) to one above:
// the two immediates of the code, a few bytes apart in both compilers' images.
const Patch PATCHES[] = {
    {"status-name", "the 'C' of EFI_COMPROMISED_DATA, the last error name, made 'c'",
     std::string("EFI_COMPROMISED_DATA", 21), 4, -1, false, 'c'},
    {"warning-name", "the 'Q' of EFI_WARN_INTERRUPT_SOURCE_QUIESCED made 'q'",
     std::string("EFI_WARN_INTERRUPT_SOURCE_QUIESCED", 35), 26, -1, false, 'q'},
    {"guid-format", "the GUID format's last conversion, '%02x', made '%02X'",
     std::string("-%02x%02x%02x%02x%02x%02x", 26), 24, -1, false, 'X'},
    {"digit-zero", "the digit conversion's '0' (0x30) made '1'", "\x57", 0, 0x30, true, 0x31},
    {"digit-letter", "the digit conversion's 'a' - 10 (0x57) made 'b' - 10", "\x57", 0, 0x30, false,
     0x58},
};

// Where Change's byte lies in Bytes, when its content is there exactly once.
[[nodiscard]] bool FindByte(const Patch &Change, const std::vector<uint8_t> &Bytes, size_t *At,
                            std::string *Error) {
  const std::string Text(Bytes.begin(), Bytes.end());
  size_t Found = 0;
  for (size_t Start = Text.find(Change.Pattern); Start != std::string::npos;
       Start = Text.find(Change.Pattern, Start + 1)) {
    size_t Near = 0;
    if (Change.Near >= 0) {
      Near = Text.substr(Start + 1, NEAR_SPAN).find(static_cast<char>(Change.Near));
      if (Near == std::string::npos) {
        continue;
      }
    }
    *At = Change.ChangeNear ? Start + 1 + Near : Start + Change.Offset;
    ++Found;
  }
  if (Found != 1) {
    return Fail(Error, "the content patch " + std::string(Change.Name) + " changes occurs " +
                           std::to_string(Found) + " times, not once");
  }
  return true;
}

int Usage() {
  std::fputs("usage: image-patch PATCH IN OUT\npatches:\n", stderr);
  for (const Patch &Change : PATCHES) {
    std::fprintf(stderr, "  %-13s %s\n", Change.Name, Change.About);
  }
  return 2;
}

} // namespace

int main(int Count, char **Values) {
  if (Count != 4) {
    return Usage();
  }
  const std::string Name = Values[1];
  const Patch *Change = nullptr;
  for (const Patch &Candidate : PATCHES) {
    if (Name == Candidate.Name) {
      Change = &Candidate;
    }
  }
  if (Change == nullptr) {
    return Usage();
  }
  std::vector<uint8_t> Bytes;
  std::string Error;
  size_t At = 0;
  if (!ReadFileBytes(Values[2], &Bytes, &Error) || !FindByte(*Change, Bytes, &At, &Error)) {
    std::fprintf(stderr, "image-patch: %s: %s\n", Values[2], Error.c_str());
    return 1;
  }
  const uint8_t Was = Bytes[At];
  Bytes[At] = Change->Value;
  if (!ReplaceFileBytes(Values[3], Bytes, &Error)) {
    std::fprintf(stderr, "image-patch: %s: %s\n", Values[3], Error.c_str());
    return 1;
  }
  std::printf("%s: %s, file offset %s: %s -> %s\n", Values[3], Change->About, Hex(At, 4).c_str(),
              Hex(Was, 2).c_str(), Hex(Change->Value, 2).c_str());
  return 0;
}
