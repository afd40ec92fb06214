#include "te_run_args.h"

#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "image_runner.h"
#include "messages.h"
#include "name_table.h"
#include "platform_options.h"

const char TE_RUN_USAGE[] =
    "Usage: te-run [options] IMAGE.te\n"
    "  or:  te-run [--probe VALUE] [--busy N] --check-trace FILE\n"
    "  or:  te-run [--probe VALUE] [--busy N] --print-script\n"
    "Calls the TE image's entry point on an emulated IA-32 CPU, with every port access\n"
    "going to the platform model and every memory access checked, and holds the run to\n"
    "the module's exact port script for the probe value and busy count. The platform model,\n"
    "the script and the expected line are those of the board te-run's build is for.\n"
    "\n"
    "Options:\n"
    "  --base ADDR             address of RVA 0 (default 0x00810000)\n"
    "  --probe VALUE           what the board's probe port reads (default 0xff)\n"
    "  --busy N                LSR polls reporting busy before each byte, at most 10000\n"
    "                          (default 0); a run of them is one trace line with its count\n"
    "  --max-instructions N    bound on the call (default 1000000, whatever --busy is)\n"
    "  --stack BYTES           stack size, a multiple of 4096 (default 65536)\n"
    "  --no-script             run any image: only the memory, register and port rules apply\n"
    "  --map FILE              after the run, the instructions executed in each function of\n"
    "                          the image, read from its lld-link map FILE\n"
    "  --executed FILE         add each instruction the run executed inside the image to\n"
    "                          FILE, one 'RVA LENGTH' line each, for image-coverage\n"
    "  --debug-image FILE      the image's debug twin (default: IMAGE.debug.efi beside\n"
    "                          IMAGE.te, when there is one): a fault and the access where\n"
    "                          the run leaves the script also name the function, source\n"
    "                          file and line, read by llvm-symbolizer\n"
    "  --check-trace FILE      hold the port accesses in FILE to the script instead of running\n"
    "                          an image; LSR read values are not compared\n"
    "  --print-script          print the script, one access a line, in the FILE format:\n"
    "                          R|W 0xPORT 0xVALUE [xCOUNT], e.g. 'W 0x0243 0x87' or\n"
    "                          'R 0x0245 0xdf x3' for 3 reads in a row (a line starting\n"
    "                          with '#' is a comment)\n"
    "  --help                  print this text\n"
    "  --version               print the version (alone on the command line)\n"
    "\n"
    "Exit status: 0 the run or trace matches the script (with --no-script: no rule broken),\n"
    "1 it differs, faults or returns other than EFI_SUCCESS, 2 bad usage or unreadable input\n";

namespace {

struct Parsing {
  TeRunArguments *Args;
  std::string RunOnly; // the first option given that only a run of an image uses
};

// te-run's own options that take a value: the largest number each takes (0: a file instead),
// and whether only a run of an image uses it. --probe and --busy are the platform's.
struct ValueOption {
  const char *Name; // cppcheck-suppress unusedStructMember ; FindByName reads it
  uint64_t Max;
  bool RunOnly;
};
constexpr ValueOption VALUE_OPTIONS[] = {
    {"--base", UINT32_MAX, true},  {"--max-instructions", UINT64_MAX, true},
    {"--stack", UINT32_MAX, true}, {"--map", 0, true},
    {"--executed", 0, true},       {"--check-trace", 0, false},
    {"--debug-image", 0, true},
};

bool HasValue(const std::string &Name) {
  return IsPlatformOption(Name) || FindByName(VALUE_OPTIONS, Name) != nullptr;
}

[[nodiscard]] bool ParseOption(const CommandWord &Option, Parsing *State, std::string *Error) {
  TeRunArguments &Args = *State->Args;
  const std::string &Name = Option.Name;
  if (Name == "--no-script" || Name == "--print-script") {
    (Name == "--no-script" ? Args.NoScript : Args.PrintScript) = true;
    return true;
  }
  if (IsPlatformOption(Name)) {
    return SetPlatformOption(Option, &Args.Platform, Error);
  }
  const ValueOption *Known = FindByName(VALUE_OPTIONS, Name);
  uint64_t Value = 0;
  if (Known == nullptr) {
    return Fail(Error, "unknown option " + Name);
  }
  if (Known->Max == 0 && Option.Value.empty()) {
    return Fail(Error, Name + " needs a file");
  }
  if (Known->Max != 0 && !ParseOptionNumber(Option, Known->Max, &Value, Error)) {
    return false;
  }
  if (Known->RunOnly && State->RunOnly.empty()) {
    State->RunOnly = Name;
  }
  if (Name == "--base") {
    Args.Run.Base = static_cast<uint32_t>(Value);
  } else if (Name == "--max-instructions") {
    Args.Run.MaxInstructions = Value;
  } else if (Name == "--stack") {
    Args.Run.StackSize = static_cast<uint32_t>(Value);
  } else if (Name == "--executed") {
    Args.ExecutedPath = Option.Value;
  } else if (Name == "--debug-image") {
    Args.DebugPath = Option.Value;
  } else {
    (Name == "--map" ? Args.MapPath : Args.TracePath) = Option.Value;
  }
  return true;
}

// The options that replace the run: no image, and none of the run's own options.
[[nodiscard]] bool CheckMode(const Parsing &State, std::string *Error) {
  const TeRunArguments &Args = *State.Args;
  const bool CheckTrace = !Args.TracePath.empty();
  if (CheckTrace && Args.PrintScript) {
    return Fail(Error, "--check-trace and --print-script exclude each other");
  }
  if (!CheckTrace && !Args.PrintScript) {
    if (Args.ImagePath.empty()) {
      return Fail(Error, "no image given");
    }
    return true;
  }
  const std::string Mode = CheckTrace ? "--check-trace" : "--print-script";
  if (!Args.ImagePath.empty()) {
    return Fail(Error, Mode + " takes no image");
  }
  if (Args.NoScript) {
    return Fail(Error, Mode + " and --no-script exclude each other");
  }
  if (!State.RunOnly.empty()) {
    return Fail(Error, State.RunOnly + " applies only to a run of an image, not to " + Mode);
  }
  return true;
}

} // namespace

bool ParseTeRunArguments(const std::vector<std::string> &Arguments, TeRunArguments *Args,
                         std::string *Error) {
  std::vector<CommandWord> Words;
  if (!SplitCommandLine(Arguments, HasValue, &Words, Error)) {
    return false;
  }
  Parsing State{Args, {}};
  for (const CommandWord &Word : Words) {
    if (Word.Name == "--help") {
      Args->Help = true;
      return true;
    }
    if (Word.Name.empty() && !Args->ImagePath.empty()) {
      return Fail(Error, "more than one image given");
    }
    if (Word.Name.empty()) {
      Args->ImagePath = Word.Value;
    } else if (!ParseOption(Word, &State, Error)) {
      return false;
    }
  }
  return CheckMode(State, Error);
}
