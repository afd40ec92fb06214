// What a fuzz target holds the code to: a broken expectation stops the run with a trap, which
// libFuzzer reports with the input that caused it.
#pragma once

#include <string>

inline void Require(bool Condition) {
  if (!Condition) {
    __builtin_trap();
  }
}

// A refusal carries a reason of one line.
inline void RequireReason(const std::string &Error) {
  Require(!Error.empty() && Error.find('\n') == std::string::npos);
}
