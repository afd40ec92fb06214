// te-run: runs a TE image's entry point on an emulated IA-32 CPU against the platform model
// and reports the port trace, the serial line, the result and every rule the image broke.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "image_loader.h"
#include "image_runner.h"
#include "run_report.h"

namespace {

constexpr int EXIT_CLEAN = 0;
constexpr int EXIT_FAULT = 1;
constexpr int EXIT_USAGE = 2;

const char USAGE[] =
    "usage: te-run [options] IMAGE.te\n"
    "Calls the TE image's entry point on an emulated IA-32 CPU, with every port access\n"
    "going to the platform model and every memory access checked.\n"
    "options:\n"
    "  --base ADDR             address of RVA 0 (default 0x00810000)\n"
    "  --probe VALUE           what port 0x259 reads (default 0xff)\n"
    "  --busy N                LSR polls reporting busy before each byte (default 0)\n"
    "  --max-instructions N    bound on the call (default 1000000, plus 65536 per busy poll)\n"
    "  --stack BYTES           stack size, a multiple of 4096 (default 65536)\n"
    "  --help                  print this text\n"
    "exit status: 0 clean run, 1 the image broke a rule, 2 bad usage or unloadable image\n";

struct Arguments {
  RunOptions Run;
  PlatformOptions Platform;
  bool MaxGiven = false;
  bool Help = false;
  std::string Path;
};

// Decimal, 0x hexadecimal or 0 octal, the whole text, at most Max.
bool ParseNumber(const std::string &Text, uint64_t Max, uint64_t *Value) {
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

bool ParseOption(const std::string &Name, const std::string &Text, Arguments *Args,
                 std::string *Error) {
  struct Numeric {
    const char *Name;
    uint64_t Max;
  };
  constexpr Numeric NUMERIC[] = {{"--base", UINT32_MAX},
                                 {"--probe", 0xFF},
                                 {"--busy", UINT32_MAX},
                                 {"--max-instructions", UINT64_MAX},
                                 {"--stack", UINT32_MAX}};
  for (const Numeric &Option : NUMERIC) {
    if (Name != Option.Name) {
      continue;
    }
    uint64_t Value = 0;
    if (!ParseNumber(Text, Option.Max, &Value)) {
      *Error = Name;
      *Error += " needs a number up to " + std::to_string(Option.Max);
      *Error += ", not '" + Text + "'";
      return false;
    }
    if (Name == "--base") {
      Args->Run.Base = static_cast<uint32_t>(Value);
    } else if (Name == "--probe") {
      Args->Platform.Probe = static_cast<uint8_t>(Value);
    } else if (Name == "--busy") {
      Args->Platform.BusyPollsPerByte = static_cast<uint32_t>(Value);
    } else if (Name == "--max-instructions") {
      Args->Run.MaxInstructions = Value;
      Args->MaxGiven = true;
    } else {
      Args->Run.StackSize = static_cast<uint32_t>(Value);
    }
    return true;
  }
  *Error = "unknown option " + Name;
  return false;
}

bool ParseArguments(int Count, char **Values, Arguments *Args, std::string *Error) {
  for (int Index = 1; Index < Count; ++Index) {
    const std::string Word = Values[Index];
    if (Word == "--help" || Word == "-h") {
      Args->Help = true;
      return true;
    }
    if (Word.rfind("--", 0) != 0) {
      if (!Args->Path.empty()) {
        *Error = "more than one image given";
        return false;
      }
      Args->Path = Word;
      continue;
    }
    const size_t Equals = Word.find('=');
    std::string Name = Word.substr(0, Equals);
    std::string Text;
    if (Equals != std::string::npos) {
      Text = Word.substr(Equals + 1);
    } else if (Index + 1 < Count) {
      Text = Values[++Index];
    } else {
      *Error = Name + " needs a value";
      return false;
    }
    if (!ParseOption(Name, Text, Args, Error)) {
      return false;
    }
  }
  if (Args->Path.empty()) {
    *Error = "no image given";
    return false;
  }
  if (!Args->MaxGiven) {
    Args->Run.MaxInstructions = DefaultInstructionBound(Args->Platform.BusyPollsPerByte);
  }
  return true;
}

bool ReadImage(const std::string &Path, std::vector<uint8_t> *Bytes, std::string *Error) {
  std::ifstream File(Path, std::ios::binary);
  if (!File) {
    *Error = "cannot open " + Path + ": " + std::strerror(errno);
    return false;
  }
  File.seekg(0, std::ios::end);
  const std::streamoff Size = File.tellg();
  if (Size < 0 || static_cast<uint64_t>(Size) > MAX_IMAGE_SPAN) {
    *Error =
        Path + " is not a readable file of at most " + std::to_string(MAX_IMAGE_SPAN) + " bytes";
    return false;
  }
  File.seekg(0, std::ios::beg);
  Bytes->resize(static_cast<size_t>(Size));
  if (!File.read(reinterpret_cast<char *>(Bytes->data()), Size)) {
    *Error = "cannot read " + Path;
    return false;
  }
  return true;
}

} // namespace

int main(int Count, char **Values) {
  Arguments Args;
  std::string Error;
  if (!ParseArguments(Count, Values, &Args, &Error)) {
    std::fprintf(stderr, "te-run: %s\n%s", Error.c_str(), USAGE);
    return EXIT_USAGE;
  }
  if (Args.Help) {
    std::fputs(USAGE, stdout);
    return EXIT_CLEAN;
  }
  std::vector<uint8_t> Image;
  if (!ReadImage(Args.Path, &Image, &Error)) {
    std::fprintf(stderr, "te-run: %s\n", Error.c_str());
    return EXIT_USAGE;
  }
  PlatformModel Model(Args.Platform);
  const RunResult Result = RunImage(Image, Args.Run, Model);
  if (Result.Status == RunStatus::NotLoaded) {
    std::fprintf(stderr, "te-run: %s: %s\n", Args.Path.c_str(), Result.Faults.front().c_str());
    return EXIT_USAGE;
  }
  std::fputs(RunReport(Result, Model).c_str(), stdout);
  return Result.Status == RunStatus::Clean ? EXIT_CLEAN : EXIT_FAULT;
}
