// Decimal width parser of the format engine.
#include <cstdint>

#include "format_internal.h"

namespace {

// Above both saturation bounds (2147483647 and 2147483648), so a capped value saturates.
constexpr uint32_t MAGNITUDE_CAP = 2147483649u;

} // namespace

int32_t ParseWidth(const char *Text, const char **End) {
  while (*Text == ' ' || *Text == '\t') {
    ++Text;
  }
  bool Negative = false;
  if (*Text == '-') {
    Negative = true;
    ++Text;
  }
  if (*Text == '+') {
    ++Text;
  }
  // 32-bit arithmetic only: up to CAP / 10, value * 10 + 9 stays within the cap, and once
  // there the magnitude stays put however many digits follow.
  uint32_t Magnitude = 0;
  for (; *Text >= '0' && *Text <= '9'; ++Text) {
    const uint32_t Digit = static_cast<uint32_t>(*Text - '0');
    Magnitude = Magnitude <= MAGNITUDE_CAP / 10 ? Magnitude * 10 + Digit : MAGNITUDE_CAP;
  }
  if (End != nullptr) {
    *End = Text;
  }
  if (Negative) {
    return Magnitude >= 2147483648u ? INT32_MIN : -static_cast<int32_t>(Magnitude);
  }
  return Magnitude > 2147483647u ? INT32_MAX : static_cast<int32_t>(Magnitude);
}
