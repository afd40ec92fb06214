// Tests whose cases are written in the reference board's own numbers (hand-assembled port
// accesses, te-run's exact report text) hold only in a build configured for
// boards/reference.board; in a build for another board they are skipped, and say so.
#pragma once

#include <string_view>

#include "board.h"

inline bool ForReferenceBoard() {
  return std::string_view(BOARD_NAME) == "reference";
}

constexpr const char REFERENCE_BOARD_ONLY[] = "cases written for boards/reference.board";
