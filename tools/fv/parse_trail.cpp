#include "parse_trail.h"

#include <string>

#include "messages.h"

std::string Trail::Text() const {
  std::string Step = Kind;
  if (HasOffset) {
    Step += " at " + Hex(Offset);
  }
  return Parent != nullptr ? Parent->Text() + " > " + Step : Step;
}
