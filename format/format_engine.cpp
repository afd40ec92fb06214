// The bounded format engine: directive grammar, argument walk and capacity rule.
#include <cstdarg>
#include <cstdint>

#include "efi_types.h"
#include "format.h"
#include "format_internal.h"
#include "status_name.h"
#include "value_text.h"

namespace {

// Write position and the characters that still fit there: the terminator's unit is not
// counted, so Room is the capacity minus one minus what has been written.
struct Output {
  char *Position;
  uint32_t Room;
};

// Writes Character Count times, or as often as the room allows.
void PutRepeated(Output *Out, char Character, uint32_t Count) {
  char *Position = Out->Position;
  if (Count > Out->Room) {
    Count = Out->Room;
  }
  Out->Position += Count;
  Out->Room -= Count;
  for (; Count != 0; --Count) {
    *Position++ = Character;
  }
}

// Copies format text to Position up to the next '%', the NUL or Room characters, whichever
// comes first, and returns how many characters it copied. Room is at least 1.
uint32_t CopyLiteral(char *Position, const char *Text, uint32_t Room) {
  uint32_t Count = 0;
  for (;;) {
    const char Character = Text[Count];
    // Every character above '%' is plain text: one test for most of them.
    if (static_cast<uint8_t>(Character) <= '%' && (Character == '%' || Character == '\0')) {
      break;
    }
    Position[Count] = Character;
    if (++Count == Room) {
      break;
    }
  }
  return Count;
}

const char NULL_TEXT[] = "(null)";

// Copies an 8-bit string, or the low byte of each unit of a 16-bit one, up to its zero
// terminator or the capacity. A null string prints as "(null)". The write position lives in
// locals meanwhile: a character store could otherwise overwrite *Out, as far as the compiler
// knows, and make it reload both fields for every character.
void PutText(Output *Out, const void *Text, bool Wide) {
  const char *Units = static_cast<const char *>(Text);
  if (Units == nullptr) {
    Units = NULL_TEXT;
    Wide = false;
  }
  char *Position = Out->Position;
  uint32_t Room = Out->Room;
  for (; Room != 0; --Room, Units += Wide ? 2 : 1) {
    const uint32_t Unit = Wide ? uint32_t{*reinterpret_cast<const char16_t *>(Units)}
                               : uint32_t{static_cast<unsigned char>(*Units)};
    if (Unit == 0) {
      break;
    }
    *Position++ = static_cast<char>(Unit);
  }
  Out->Position = Position;
  Out->Room = Room;
}

// Takes over the count of a nested FormatText call made at the write position.
void Advance(Output *Out, int32_t Count) {
  Out->Position += Count;
  Out->Room -= static_cast<uint32_t>(Count);
}

// Conversion characters by kind. The dispatch below tests kinds by range (the strings up to
// 'S', the GUIDs up to 'G', the integers from 'd' to the end, which 'l' relies on), so each
// kind's characters are held in their place by the asserts after it.
constexpr char CONVERSIONS[] = "saScgGrdixXp";
constexpr uint32_t KIND_WIDE_TEXT = 2;   // 'S'; 0 and 1 are 's' and 'a'
constexpr uint32_t KIND_CHARACTER = 3;   // 'c'
constexpr uint32_t KIND_GUID_UPPER = 5;  // 'G'; 4 is 'g'
constexpr uint32_t KIND_STATUS = 6;      // 'r'
constexpr uint32_t KIND_INTEGER = 7;     // 'd' 'i', decimal; 'x' 'X' 'p' follow
constexpr uint32_t KIND_HEXADECIMAL = 9; // 'x'; upper case from 'X', the next kind, on
constexpr uint32_t KIND_UNKNOWN = sizeof CONVERSIONS - 1;

// True when CONVERSIONS holds the characters of Expected from Kind on.
template <uint32_t Size> constexpr bool KindsAt(uint32_t Kind, const char (&Expected)[Size]) {
  for (uint32_t Index = 0; Index + 1 < Size; ++Index) {
    if (Kind + Index >= KIND_UNKNOWN || CONVERSIONS[Kind + Index] != Expected[Index]) {
      return false;
    }
  }
  return true;
}
static_assert(KIND_WIDE_TEXT == 2 && KindsAt(0, "saS"), "kinds 0 to 2: 's', 'a', 'S'");
static_assert(KindsAt(KIND_CHARACTER, "c"), "KIND_CHARACTER: 'c'");
static_assert(KindsAt(KIND_GUID_UPPER - 1, "gG"), "KIND_GUID_UPPER: 'G', right after 'g'");
static_assert(KindsAt(KIND_STATUS, "r"), "KIND_STATUS: 'r'");
static_assert(KindsAt(KIND_INTEGER, "di") && KindsAt(KIND_HEXADECIMAL, "xXp"),
              "KIND_INTEGER: 'd', 'i', then KIND_HEXADECIMAL: 'x', 'X', 'p'");
static_assert(KIND_HEXADECIMAL == KIND_INTEGER + 2 && KIND_HEXADECIMAL + 3 == KIND_UNKNOWN,
              "the integers last");

// Pads the digit text on the left up to Width characters, sign included. A negative width
// pads nothing.
void PutInteger(Output *Out, uint64_t Value, uint32_t Kind, char Pad, int32_t Width, bool Is64) {
  char Digits[VALUE_TEXT_SIZE];
  ValueToText(Value, Kind < KIND_HEXADECIMAL ? 10 : 16, Is64, Digits);
  if (Kind > KIND_HEXADECIMAL) {
    AsciiUpcase(Digits);
  }
  int32_t Length = 0;
  while (Digits[Length] != '\0') {
    ++Length;
  }
  if (Length < Width) {
    PutRepeated(Out, Pad, static_cast<uint32_t>(Width - Length));
  }
  PutText(Out, Digits, false);
}

void PutStatus(Output *Out, EFI_STATUS Status) {
  const char *Name = StatusToName(Status);
  // One nested call for both forms: "%s" leaves the status argument unread.
  Advance(Out, FormatText(Out->Position, Out->Room + 1, Name != nullptr ? "%s" : "%s(%X)",
                          Name != nullptr ? Name : "Status Code", Status));
}

void PutGuid(Output *Out, const EFI_GUID *Guid, bool Upper) {
  if (Guid == nullptr) {
    PutText(Out, nullptr, false);
    return;
  }
  const uint8_t *Node = Guid->Data4;
  const int32_t Count =
      FormatText(Out->Position, Out->Room + 1, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                 Guid->Data1, uint32_t{Guid->Data2}, uint32_t{Guid->Data3}, uint32_t{Node[0]},
                 uint32_t{Node[1]}, uint32_t{Node[2]}, uint32_t{Node[3]}, uint32_t{Node[4]},
                 uint32_t{Node[5]}, uint32_t{Node[6]}, uint32_t{Node[7]});
  if (Upper) {
    AsciiUpcase(Out->Position);
  }
  Advance(Out, Count);
}

// Position of Conversion in CONVERSIONS, or KIND_UNKNOWN (NUL included).
uint32_t ConversionKind(char Conversion) {
  uint32_t Kind = 0;
  while (CONVERSIONS[Kind] != '\0' && CONVERSIONS[Kind] != Conversion) {
    ++Kind;
  }
  return Kind;
}

// Reads one directive from Scan, just past its '%', with its arguments from Walk, and writes
// its text. Returns where the scan goes on: past the conversion character, or at it when the
// directive is dropped. Kept out of line so that its locals (the digit text among them) stay
// out of the frame that copies plain format text.
[[gnu::noinline]] const char *PutDirective(Output *Out, const char *Scan, va_list *Walk) {
  char Pad = ' ';
  if (*Scan == '0') {
    Pad = '0';
    ++Scan;
  }
  int32_t Width;
  if (*Scan == '*') {
    Width = static_cast<int32_t>(va_arg(*Walk, uint32_t));
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
    return Scan;
  }
  if (Kind <= KIND_WIDE_TEXT) {
    if (Kind == KIND_WIDE_TEXT) {
      PutText(Out, va_arg(*Walk, const char16_t *), true);
    } else {
      PutText(Out, va_arg(*Walk, const char *), false);
    }
  } else if (Kind == KIND_CHARACTER) {
    PutRepeated(Out, static_cast<char>(va_arg(*Walk, uint32_t)), 1);
  } else if (Kind <= KIND_GUID_UPPER) {
    PutGuid(Out, va_arg(*Walk, const EFI_GUID *), Kind == KIND_GUID_UPPER);
  } else if (Kind == KIND_STATUS) {
    PutStatus(Out, va_arg(*Walk, EFI_STATUS));
  } else {
    // Without 'l': one 32-bit slot, sign-extended.
    const uint64_t Value = Is64 ? va_arg(*Walk, uint64_t)
                                : static_cast<uint64_t>(static_cast<int64_t>(
                                      static_cast<int32_t>(va_arg(*Walk, uint32_t))));
    PutInteger(Out, Value, Kind, Pad, Width, Is64);
  }
  return Scan + 1;
}

} // namespace

int32_t FormatTextV(char *Buffer, uint32_t Capacity, const char *Format, va_list Arguments) {
  if (Buffer == nullptr || Format == nullptr) {
    return -1;
  }
  if (Capacity == 0) {
    return 0;
  }
  // A copy the directives can advance through a pointer, whatever va_list is on the target.
  va_list Walk;
  va_copy(Walk, Arguments);
  char *Position = Buffer;
  uint32_t Room = Capacity - 1; // characters that fit before the terminator
  while (Room != 0) {
    const uint32_t Count = CopyLiteral(Position, Format, Room);
    Position += Count;
    Room -= Count;
    Format += Count;
    if (Room == 0 || *Format == '\0') {
      break;
    }
    // At a '%': "%%" writes one '%'; anything else starts a directive.
    if (Format[1] == '%') {
      *Position++ = '%';
      --Room;
      Format += 2;
    } else {
      Output Out = {Position, Room};
      Format = PutDirective(&Out, Format + 1, &Walk);
      Position = Out.Position;
      Room = Out.Room;
    }
  }
  va_end(Walk);
  *Position = '\0';
  return static_cast<int32_t>(Position - Buffer);
}

int32_t FormatText(char *Buffer, uint32_t Capacity, const char *Format, ...) {
  va_list Arguments;
  va_start(Arguments, Format);
  const int32_t Count = FormatTextV(Buffer, Capacity, Format, Arguments);
  va_end(Arguments);
  return Count;
}
