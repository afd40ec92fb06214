#include "command_line.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "messages.h"
#include "parse_number.h"

bool AsksForHelp(const std::vector<std::string> &Arguments) {
  return Arguments.size() == 1 &&
         (Arguments[0] == "--help" || Arguments[0] == "-h" || Arguments[0] == "help");
}

bool SplitCommandLine(const std::vector<std::string> &Arguments, const TakesValue &Takes,
                      std::vector<CommandWord> *Words, std::string *Error) {
  for (size_t Index = 0; Index < Arguments.size(); ++Index) {
    const std::string &Word = Arguments[Index];
    if (Word == "-h") {
      Words->push_back({"--help", {}});
      continue;
    }
    if (Word.rfind("--", 0) != 0) {
      Words->push_back({{}, Word});
      continue;
    }
    const size_t Equals = Word.find('=');
    CommandWord Option{Word.substr(0, Equals), {}};
    const bool HasValue = Takes(Option.Name);
    if (!HasValue && Equals != std::string::npos) {
      return Fail(Error, Option.Name + " takes no value");
    }
    if (HasValue && Equals != std::string::npos) {
      Option.Value = Word.substr(Equals + 1);
    } else if (HasValue && Index + 1 < Arguments.size()) {
      Option.Value = Arguments[++Index];
    } else if (HasValue) {
      return Fail(Error, Option.Name + " needs a value");
    }
    Words->push_back(Option);
  }
  return true;
}

bool ParseOptionNumber(const CommandWord &Option, uint64_t Max, uint64_t *Value,
                       std::string *Error) {
  if (!ParseNumber(Option.Value, Max, Value)) {
    return Fail(Error, Option.Name + " needs a number up to " + std::to_string(Max) + ", not '" +
                           Option.Value + "'");
  }
  return true;
}
