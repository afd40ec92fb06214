// The tools' command lines: options "--name VALUE" or "--name=VALUE", flags "--name", and
// operands (any word not starting with "--"). "-h" stands for "--help".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// True for a command line of "--help", "-h" or "help" alone.
bool AsksForHelp(const std::vector<std::string> &Arguments);

struct CommandWord {
  std::string Name;  // "--busy", "--help"; empty for an operand
  std::string Value; // the option's value, or the operand itself
};

// Whether the option of this name ("--busy") takes a value.
using TakesValue = std::function<bool(const std::string &Name)>;

// Splits Arguments (argv without the program name) into words. An option that Takes says takes
// a value gets the text after its '=' or else the next word; any other "--" word is a flag and
// takes no value. Whether a name is known is the caller's to decide. On failure returns false
// and sets Error: "--base needs a value", "--no-script takes no value".
[[nodiscard]] bool SplitCommandLine(const std::vector<std::string> &Arguments,
                                    const TakesValue &Takes, std::vector<CommandWord> *Words,
                                    std::string *Error);

// Text as the number an option takes, at most Max (ParseNumber's forms). On failure sets Error:
// "--probe needs a number up to 255, not '0x100'".
[[nodiscard]] bool ParseOptionNumber(const CommandWord &Option, uint64_t Max, uint64_t *Value,
                                     std::string *Error);
