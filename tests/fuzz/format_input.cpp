// Turns fuzz bytes into a format call whose slots match the reads the format makes.
#include "format_input.h"

#include <cstring>
#include <string>

#include "efi_types.h"

namespace {

// Bits of a 32-bit slot the engine must not look at: the upper half of the 8-byte slot.
constexpr uint64_t UPPER_HALF_NOISE = 0xA5C3E1F000000000ull;

class Pool {
public:
  Pool(const uint8_t *Data, size_t Size) : Data(Data), Size(Size) {}

  uint8_t Byte() {
    uint8_t Value = 0;
    Take(&Value, 1);
    return Value;
  }

  uint64_t Integer(size_t Bytes) {
    uint8_t Raw[8] = {};
    Take(Raw, Bytes);
    uint64_t Value = 0;
    for (size_t Index = Bytes; Index-- > 0;) {
      Value = Value << 8 | Raw[Index];
    }
    return Value;
  }

  // Copies up to Count bytes; what the pool lacks stays as it was.
  void Take(uint8_t *Target, size_t Count) {
    const size_t Available = Count < Size ? Count : Size;
    if (Available > 0) {
      std::memcpy(Target, Data, Available);
    }
    Data += Available;
    Size -= Available;
  }

private:
  const uint8_t *Data;
  size_t Size;
};

uint64_t AddressOf(const void *Pointer) {
  return reinterpret_cast<uintptr_t>(Pointer);
}

// A zero-filled block of Bytes bytes, kept alive by Input.
uint8_t *NewBlock(FormatInput *Input, size_t Bytes) {
  Input->Blocks.emplace_back(new uint8_t[Bytes]());
  return Input->Blocks.back().get();
}

uint64_t TextSlot(Pool *Source, FormatInput *Input, size_t UnitSize) {
  const uint8_t Length = Source->Byte();
  if (Length == NULL_MARK) {
    return 0;
  }
  // The terminating unit stays zero.
  uint8_t *Block = NewBlock(Input, (size_t{Length} + 1) * UnitSize);
  Source->Take(Block, size_t{Length} * UnitSize);
  return AddressOf(Block);
}

uint64_t GuidSlot(Pool *Source, FormatInput *Input) {
  if (Source->Byte() == NULL_MARK) {
    return 0;
  }
  uint8_t *Block = NewBlock(Input, sizeof(EFI_GUID));
  Source->Take(Block, sizeof(EFI_GUID));
  return AddressOf(Block);
}

uint64_t SlotValue(SlotKind Kind, Pool *Source, FormatInput *Input) {
  switch (Kind) {
  case SlotKind::Int32:
    return UPPER_HALF_NOISE | Source->Integer(4);
  case SlotKind::Int64:
    return Source->Integer(8);
  case SlotKind::Text8:
    return TextSlot(Source, Input, sizeof(char));
  case SlotKind::Text16:
    return TextSlot(Source, Input, sizeof(char16_t));
  case SlotKind::Guid:
    return GuidSlot(Source, Input);
  }
  return 0;
}

} // namespace

bool DecodeFormatInput(const uint8_t *Data, size_t Size, FormatInput *Input) {
  if (Size < 2) {
    return false;
  }
  Input->Capacity = (Data[0] | uint32_t{Data[1]} << 8) & CAPACITY_MASK;
  const char *Text = reinterpret_cast<const char *>(Data + 2);
  const size_t TextSize = strnlen(Text, Size - 2);
  const DirectiveScan Scan = ScanDirectives(std::string(Text, TextSize), MAX_SLOTS);
  Input->Format.reset(new char[Scan.KeptLength + 1]);
  std::memcpy(Input->Format.get(), Text, Scan.KeptLength);
  Input->Format[Scan.KeptLength] = '\0';
  Input->Reads = Scan.Reads;
  // The pool starts after the format's NUL, or is empty when the input ends first.
  const size_t PoolStart = 2 + TextSize + (TextSize < Size - 2 ? 1 : 0);
  Pool Source(Data + PoolStart, Size - PoolStart);
  Input->Slots.fill(0);
  Input->Blocks.clear();
  for (size_t Index = 0; Index < Scan.Reads.size(); ++Index) {
    Input->Slots[Index] = SlotValue(Scan.Reads[Index], &Source, Input);
  }
  return true;
}
