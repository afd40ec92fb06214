#include "byte_io.h"

#include <cstdio>

std::string Hex(uint64_t Value, int Digits) {
  char Text[24];
  std::snprintf(Text, sizeof(Text), "0x%0*llx", Digits, static_cast<unsigned long long>(Value));
  return Text;
}

bool Fail(std::string *Error, const std::string &Message) {
  if (Error != nullptr) {
    *Error = Message;
  }
  return false;
}
