// libFuzzer target of FormatText: a fuzz-chosen capacity, format and arguments, checked
// against the truncation contract of format.h. A violation stops the run with a trap.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "format.h"
#include "format_input.h"

#if !defined(__x86_64__)
#error "The slot layout assumes the x86-64 calling convention: every argument in one 8-byte slot"
#endif

namespace {

constexpr uint8_t SENTINEL = 0xA5;
constexpr size_t GUARD = 32; // sentinel bytes on each side of the buffer
// The second call's extra capacity, in bytes: enough for most full texts.
constexpr uint32_t WIDE_EXTRA = 1u << 14;

void Require(bool Condition) {
  if (!Condition) {
    __builtin_trap();
  }
}

// A run of bytes is all SENTINEL when its first byte is and each byte equals the next.
bool AllSentinel(const uint8_t *Bytes, size_t Count) {
  return Count == 0 || (Bytes[0] == SENTINEL && std::memcmp(Bytes, Bytes + 1, Count - 1) == 0);
}

// A buffer of Capacity bytes between two guards, all sentinel-filled.
struct GuardedBuffer {
  explicit GuardedBuffer(uint32_t Capacity)
      : Capacity(Capacity), Area(GUARD * 2 + Capacity, SENTINEL) {}
  char *Text() { return reinterpret_cast<char *>(Area.data() + GUARD); }

  // Checks the contract for Result and returns the text's length.
  uint32_t Check(int32_t Result) const {
    uint32_t Written = 0; // bytes the call may change: the text and its NUL
    if (Capacity == 0) {
      Require(Result == 0);
    } else {
      Require(Result >= 0 && static_cast<uint32_t>(Result) <= Capacity - 1);
      Require(Area[GUARD + static_cast<uint32_t>(Result)] == '\0');
      Written = static_cast<uint32_t>(Result) + 1;
    }
    Require(AllSentinel(Area.data(), GUARD));
    Require(AllSentinel(Area.data() + GUARD + Written, Area.size() - GUARD - Written));
    return Written == 0 ? 0 : Written - 1;
  }

  uint32_t Capacity;
  std::vector<uint8_t> Area;
};

int32_t Call(char *Buffer, uint32_t Capacity, const FormatInput &Input) {
  const std::array<uint64_t, MAX_SLOTS> &S = Input.Slots;
  return FormatText(Buffer, Capacity, Input.Format.get(), S[0], S[1], S[2], S[3], S[4], S[5], S[6],
                    S[7], S[8], S[9], S[10], S[11], S[12], S[13], S[14], S[15]);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *Data, size_t Size) {
  static_assert(MAX_SLOTS == 16, "Call passes exactly 16 slots");
  FormatInput Input;
  if (!DecodeFormatInput(Data, Size, &Input)) {
    return 0;
  }
  char Spare[1] = {};
  Require(Call(nullptr, Input.Capacity, Input) == -1);
  Require(FormatText(Spare, Input.Capacity, nullptr) == -1);

  GuardedBuffer Narrow(Input.Capacity);
  const uint32_t NarrowLength = Narrow.Check(Call(Narrow.Text(), Input.Capacity, Input));

  // More room gives the same text, continued: the narrow text is its prefix, cut exactly at
  // the narrow capacity's last character.
  GuardedBuffer Wide(Input.Capacity + WIDE_EXTRA);
  const uint32_t WideLength = Wide.Check(Call(Wide.Text(), Wide.Capacity, Input));
  Require(WideLength >= NarrowLength);
  if (Input.Capacity > 0) {
    Require(NarrowLength == std::min(WideLength, Input.Capacity - 1));
  }
  Require(std::memcmp(Narrow.Text(), Wide.Text(), NarrowLength) == 0);
  return 0;
}
