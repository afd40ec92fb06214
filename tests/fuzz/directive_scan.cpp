// Argument reads of a format string, following the format engine's grammar.
#include "directive_scan.h"

namespace {

const char *SkipWidth(const char *At) {
  while (*At == ' ' || *At == '\t') {
    ++At;
  }
  if (*At == '-') {
    ++At;
  }
  if (*At == '+') {
    ++At;
  }
  while (*At >= '0' && *At <= '9') {
    ++At;
  }
  return At;
}

bool IsInteger(char Conversion) {
  return Conversion == 'd' || Conversion == 'i' || Conversion == 'x' || Conversion == 'X' ||
         Conversion == 'p';
}

// The read a conversion character makes; false when the engine drops the directive.
bool ReadOf(char Conversion, bool Is64, SlotKind *Kind) {
  if (IsInteger(Conversion)) {
    *Kind = Is64 ? SlotKind::Int64 : SlotKind::Int32;
    return true;
  }
  switch (Conversion) {
  case 's':
  case 'a':
    *Kind = SlotKind::Text8;
    return true;
  case 'S':
    *Kind = SlotKind::Text16;
    return true;
  case 'g':
  case 'G':
    *Kind = SlotKind::Guid;
    return true;
  case 'c':
  case 'r':
    *Kind = SlotKind::Int32;
    return true;
  default:
    return false;
  }
}

} // namespace

DirectiveScan ScanDirectives(const std::string &Format, size_t MaxReads) {
  DirectiveScan Scan{{}, Format.size()};
  const char *const Start = Format.c_str();
  const char *At = Start;
  while (*At != '\0') {
    if (*At != '%' || At[1] == '%') {
      At += *At == '%' ? 2 : 1;
      continue;
    }
    const char *const Directive = At++;
    std::vector<SlotKind> Reads;
    if (*At == '0') {
      ++At;
    }
    if (*At == '*') {
      Reads.push_back(SlotKind::Int32);
      ++At;
    } else {
      At = SkipWidth(At);
    }
    bool Is64 = false;
    char Conversion = *At;
    if (Conversion == 'l') {
      Is64 = true;
      Conversion = *++At;
    }
    SlotKind Kind;
    // A dropped directive leaves At on its last character, to be read again as text.
    if ((!Is64 || IsInteger(Conversion)) && ReadOf(Conversion, Is64, &Kind)) {
      Reads.push_back(Kind);
      ++At;
    }
    if (Scan.Reads.size() + Reads.size() > MaxReads) {
      Scan.KeptLength = static_cast<size_t>(Directive - Start);
      return Scan;
    }
    Scan.Reads.insert(Scan.Reads.end(), Reads.begin(), Reads.end());
  }
  return Scan;
}
