// Numbers as the tools' command lines and text files give them.
#pragma once

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <string>

// Text as one whole number, decimal, 0x hexadecimal or 0 octal, at most Max. No sign, blank or
// anything else may stand before or after the digits.
[[nodiscard]] inline bool ParseNumber(const std::string &Text, uint64_t Max, uint64_t *Value) {
  if (Text.empty() || Text[0] < '0' || Text[0] > '9') {
    return false;
  }
  errno = 0;
  char *End = nullptr;
  const unsigned long long Parsed = std::strtoull(Text.c_str(), &End, 0);
  if (errno != 0 || *End != '\0' || Parsed > Max) {
    return false;
  }
  *Value = Parsed;
  return true;
}
