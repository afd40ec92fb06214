// The bounded format engine: directive grammar, argument walk and capacity rule.
#include "format.h"
#include "status_name.h"
#include "value_text.h"

namespace {

// Write position and remaining capacity; the last unit is the terminator's.
struct Output {
  char *Position;
  uint32_t Remaining;
};

// Appends one character; false, without writing, once only the terminator's unit is left.
bool Put(Output *Out, char Character) {
  if (Out->Remaining <= 1) {
    return false;
  }
  *Out->Position++ = Character;
  --Out->Remaining;
  return true;
}

const char NULL_TEXT[] = "(null)";

// Copies an 8-bit string, or the low byte of each unit of a 16-bit one, up to its zero
// terminator or the capacity. A null string prints as "(null)".
void PutText(Output *Out, const void *Text, bool Wide) {
  const char *Units = static_cast<const char *>(Text);
  if (Units == nullptr) {
    Units = NULL_TEXT;
    Wide = false;
  }
  for (;; Units += Wide ? 2 : 1) {
    const uint32_t Unit = Wide ? uint32_t{*reinterpret_cast<const char16_t *>(Units)}
                               : uint32_t{static_cast<unsigned char>(*Units)};
    if (Unit == 0 || !Put(Out, static_cast<char>(Unit))) {
      return;
    }
  }
}

// Takes over the count of a nested FormatText call made at the write position.
void Advance(Output *Out, int32_t Count) {
  Out->Position += Count;
  Out->Remaining -= static_cast<uint32_t>(Count);
}

// Pads the digit text on the left up to Width characters, sign included. A negative width
// pads nothing.
void PutInteger(Output *Out, uint64_t Value, char Conversion, char Pad, int32_t Width, bool Is64) {
  char Digits[VALUE_TEXT_SIZE];
  ValueToText(Value, Conversion == 'd' || Conversion == 'i' ? 10 : 16, Is64, Digits);
  if (Conversion == 'X' || Conversion == 'p') {
    AsciiUpcase(Digits);
  }
  int32_t Length = 0;
  while (Digits[Length] != '\0') {
    ++Length;
  }
  for (; Length < Width; ++Length) {
    if (!Put(Out, Pad)) {
      return;
    }
  }
  PutText(Out, Digits, false);
}

void PutStatus(Output *Out, EFI_STATUS Status) {
  const char *Name = StatusToName(Status);
  // One nested call for both forms: "%s" leaves the status argument unread.
  Advance(Out, FormatText(Out->Position, Out->Remaining, Name != nullptr ? "%s" : "%s(%X)",
                          Name != nullptr ? Name : "Status Code", Status));
}

void PutGuid(Output *Out, const EFI_GUID *Guid, bool Upper) {
  if (Guid == nullptr) {
    PutText(Out, nullptr, false);
    return;
  }
  const uint8_t *Node = Guid->Data4;
  const int32_t Count =
      FormatText(Out->Position, Out->Remaining, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                 Guid->Data1, uint32_t{Guid->Data2}, uint32_t{Guid->Data3}, uint32_t{Node[0]},
                 uint32_t{Node[1]}, uint32_t{Node[2]}, uint32_t{Node[3]}, uint32_t{Node[4]},
                 uint32_t{Node[5]}, uint32_t{Node[6]}, uint32_t{Node[7]});
  if (Upper) {
    AsciiUpcase(Out->Position);
  }
  Advance(Out, Count);
}

// Conversion characters by kind, integers last so that 'l' can test for them by position.
const char CONVERSIONS[] = "saScgGrdixXp";
constexpr uint32_t KIND_WIDE_TEXT = 2;  // 'S'; 0 and 1 are 's' and 'a'
constexpr uint32_t KIND_CHARACTER = 3;  // 'c'
constexpr uint32_t KIND_GUID_UPPER = 5; // 'G'; 4 is 'g'
constexpr uint32_t KIND_STATUS = 6;     // 'r'
constexpr uint32_t KIND_INTEGER = 7;    // 'd' 'i' 'x' 'X' 'p'
constexpr uint32_t KIND_UNKNOWN = sizeof CONVERSIONS - 1;

// Position of Conversion in CONVERSIONS, or KIND_UNKNOWN (NUL included).
uint32_t ConversionKind(char Conversion) {
  uint32_t Kind = 0;
  while (CONVERSIONS[Kind] != '\0' && CONVERSIONS[Kind] != Conversion) {
    ++Kind;
  }
  return Kind;
}

} // namespace

int32_t FormatTextV(char *Buffer, uint32_t Capacity, const char *Format, va_list Arguments) {
  if (Buffer == nullptr || Format == nullptr) {
    return -1;
  }
  if (Capacity == 0) {
    return 0;
  }
  Output Out = {Buffer, Capacity};
  while (*Format != '\0' && Out.Remaining > 1) {
    if (*Format != '%' || Format[1] == '%') {
      Put(&Out, *Format);
      Format += *Format == '%' ? 2 : 1;
      continue;
    }
    const char *Scan = Format + 1;
    char Pad = ' ';
    if (*Scan == '0') {
      Pad = '0';
      ++Scan;
    }
    int32_t Width;
    if (*Scan == '*') {
      Width = static_cast<int32_t>(va_arg(Arguments, uint32_t));
      ++Scan;
    } else {
      Width = ParseWidth(Scan, &Scan);
    }
    // 'l' marks a 64-bit integer; after it only the integer conversions are recognised.
    const bool Is64 = *Scan == 'l';
    Scan += Is64 ? 1 : 0;
    const char Conversion = *Scan;
    const uint32_t Kind = ConversionKind(Conversion);
    if (Kind == KIND_UNKNOWN || (Is64 && Kind < KIND_INTEGER)) {
      // Dropped: what the directive consumed stays consumed; this character is read again.
      Format = Scan;
      continue;
    }
    if (Kind <= KIND_WIDE_TEXT) {
      if (Kind == KIND_WIDE_TEXT) {
        PutText(&Out, va_arg(Arguments, const char16_t *), true);
      } else {
        PutText(&Out, va_arg(Arguments, const char *), false);
      }
    } else if (Kind == KIND_CHARACTER) {
      Put(&Out, static_cast<char>(va_arg(Arguments, uint32_t)));
    } else if (Kind <= KIND_GUID_UPPER) {
      PutGuid(&Out, va_arg(Arguments, const EFI_GUID *), Kind == KIND_GUID_UPPER);
    } else if (Kind == KIND_STATUS) {
      PutStatus(&Out, va_arg(Arguments, EFI_STATUS));
    } else {
      // Without 'l': one 32-bit slot, sign-extended.
      const uint64_t Value = Is64 ? va_arg(Arguments, uint64_t)
                                  : static_cast<uint64_t>(static_cast<int64_t>(
                                        static_cast<int32_t>(va_arg(Arguments, uint32_t))));
      PutInteger(&Out, Value, Conversion, Pad, Width, Is64);
    }
    Format = Scan + 1;
  }
  *Out.Position = '\0';
  return static_cast<int32_t>(Out.Position - Buffer);
}

int32_t FormatText(char *Buffer, uint32_t Capacity, const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const int32_t Count = FormatTextV(Buffer, Capacity, Format, Arguments);
  va_end(Arguments);
  return Count;
}
