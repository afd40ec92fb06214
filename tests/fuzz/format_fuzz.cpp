// libFuzzer target of FormatText: a fuzz-chosen capacity, format and arguments, checked
// against the truncation contract of format.h, and run again on the built image's own
// FormatText (format_image.h), whose text, count and untouched guard bytes must equal the host
// build's. A violation stops the run with a trap, after a line on stderr for an image mismatch.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "efi_types.h"
#include "format.h"
#include "format_image.h"
#include "format_input.h"
#include "fuzz_require.h"
#include "image_call.h"

#if !defined(__x86_64__)
#error "The slot layout assumes the x86-64 calling convention: every argument in one 8-byte slot"
#endif

namespace {

constexpr uint8_t SENTINEL = 0xA5;
constexpr size_t GUARD = 32; // sentinel bytes on each side of the buffer
// The second call's extra capacity, in bytes: enough for most full texts.
constexpr uint32_t WIDE_EXTRA = 1u << 14;

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

// A slot as the image takes it: the same value, or a copy of the string or GUID it points at.
CallArgument ImageSlot(SlotKind Kind, uint64_t Slot) {
  const auto *Pointer = reinterpret_cast<const uint8_t *>(static_cast<uintptr_t>(Slot));
  switch (Kind) {
  case SlotKind::Int32:
    return CallArgument::Word(static_cast<uint32_t>(Slot));
  case SlotKind::Int64:
    return CallArgument::Wide(Slot);
  case SlotKind::Text8:
    return CallArgument::Text(reinterpret_cast<const char *>(Pointer));
  case SlotKind::Text16:
    return CallArgument::Text16(reinterpret_cast<const char16_t *>(Pointer));
  case SlotKind::Guid:
    break;
  }
  return Pointer == nullptr ? CallArgument::Word(0)
                            : CallArgument::Block({Pointer, sizeof(EFI_GUID)}, "GUID");
}

[[noreturn]] void ImageDiffers(const std::string &What) {
  std::fprintf(stderr, "format-fuzz: image %s: %s\n", TheFormatImage().Path.c_str(), What.c_str());
  __builtin_trap();
}

// FormatText of the image on Input into a buffer like Host's: its result must be Result, and the
// buffer with its guards must hold the same bytes as Host's.
void CompareWithImage(const FormatInput &Input, const GuardedBuffer &Host, int32_t Result) {
  FormatImage &Image = TheFormatImage();
  if (!Image.Error.empty()) {
    ImageDiffers("cannot load: " + Image.Error);
  }
  std::vector<CallArgument> Arguments = {CallArgument::Output(), CallArgument::Word(Host.Capacity),
                                         CallArgument::Text(Input.Format.get())};
  for (size_t Index = 0; Index < Input.Reads.size(); ++Index) {
    Arguments.push_back(ImageSlot(Input.Reads[Index], Input.Slots[Index]));
  }
  CallResult Called;
  std::string Error;
  if (!Image.Caller.Call("FormatText", Arguments, {Host.Capacity, GUARD, SENTINEL}, &Called,
                         &Error)) {
    ImageDiffers(Error);
  }
  if (!Called.Faults.empty()) {
    ImageDiffers(Called.Faults[0]);
  }
  if (static_cast<int32_t>(Called.Eax) != Result) {
    ImageDiffers("returns " + std::to_string(static_cast<int32_t>(Called.Eax)) + ", the host " +
                 std::to_string(Result) + ", at capacity " + std::to_string(Host.Capacity));
  }
  if (Called.Output != Host.Area) {
    const auto Differ =
        std::mismatch(Called.Output.begin(), Called.Output.end(), Host.Area.begin());
    ImageDiffers("buffer byte " +
                 std::to_string(Differ.first - Called.Output.begin() - std::ptrdiff_t{GUARD}) +
                 " (counted from the buffer's start) differs from the host's, at capacity " +
                 std::to_string(Host.Capacity));
  }
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
  const int32_t NarrowResult = Call(Narrow.Text(), Input.Capacity, Input);
  const uint32_t NarrowLength = Narrow.Check(NarrowResult);
  CompareWithImage(Input, Narrow, NarrowResult);

  // More room gives the same text, continued: the narrow text is its prefix, cut exactly at
  // the narrow capacity's last character.
  GuardedBuffer Wide(Input.Capacity + WIDE_EXTRA);
  const int32_t WideResult = Call(Wide.Text(), Wide.Capacity, Input);
  const uint32_t WideLength = Wide.Check(WideResult);
  CompareWithImage(Input, Wide, WideResult);
  Require(WideLength >= NarrowLength);
  if (Input.Capacity > 0) {
    Require(NarrowLength == std::min(WideLength, Input.Capacity - 1));
  }
  Require(std::memcmp(Narrow.Text(), Wide.Text(), NarrowLength) == 0);
  return 0;
}
