// te-run: runs a TE image's entry point on an emulated IA-32 CPU against the platform model,
// reports the port trace, the serial line, the result and every rule the image broke, and
// holds the run to the module's exact port script. It also holds a trace recorded elsewhere
// to the same script, and prints the script.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "entry_script.h"
#include "image_loader.h"
#include "image_runner.h"
#include "run_report.h"
#include "script_check.h"
#include "te_run_args.h"
#include "trace_file.h"

namespace {

constexpr int EXIT_PASS = 0;
constexpr int EXIT_FAIL = 1;
constexpr int EXIT_USAGE = 2;

bool ReadFile(const std::string &Path, uint64_t MaxBytes, std::string *Bytes, std::string *Error) {
  std::ifstream File(Path, std::ios::binary);
  if (!File) {
    *Error = "cannot open " + Path + ": " + std::strerror(errno);
    return false;
  }
  File.seekg(0, std::ios::end);
  const std::streamoff Size = File.tellg();
  if (Size < 0 || static_cast<uint64_t>(Size) > MaxBytes) {
    *Error = Path + " is not a readable file of at most " + std::to_string(MaxBytes) + " bytes";
    return false;
  }
  File.seekg(0, std::ios::beg);
  Bytes->resize(static_cast<size_t>(Size));
  if (!File.read(Bytes->data(), Size)) {
    *Error = "cannot read " + Path;
    return false;
  }
  return true;
}

int Usage(const std::string &Error) {
  std::fprintf(stderr, "te-run: %s\n", Error.c_str());
  return EXIT_USAGE;
}

std::string ScriptHeader(const PlatformOptions &Platform, size_t Accesses) {
  return "script: probe " + HexText(Platform.Probe, 2) + ", busy " +
         std::to_string(Platform.BusyPollsPerByte) + ", " + std::to_string(Accesses) + " accesses";
}

int PrintScript(const TeRunArguments &Args) {
  for (const PortAccess &Access :
       EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte)) {
    std::printf("%s\n", TraceLine(Access).c_str());
  }
  return EXIT_PASS;
}

int CheckTrace(const TeRunArguments &Args) {
  std::string Text;
  std::string Error;
  std::vector<PortAccess> Trace;
  constexpr uint64_t MAX_TRACE_BYTES = 64u << 20;
  if (!ReadFile(Args.TracePath, MAX_TRACE_BYTES, &Text, &Error)) {
    return Usage(Error);
  }
  if (!ParseTraceText(Text, &Trace, &Error)) {
    return Usage(Args.TracePath + ": " + Error);
  }
  NameAccesses(Trace);
  const std::vector<PortAccess> Script =
      EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte);
  std::string Report =
      "trace " + Args.TracePath + " (" + std::to_string(Trace.size()) + " accesses):\n";
  for (const PortAccess &Access : Trace) {
    Report += "  " + DescribeAccess(Access) + "\n";
  }
  Report += ScriptHeader(Args.Platform, Script.size()) + "; LSR read values not compared\n";
  const Verdict Judged = JudgeTrace(Trace, Script);
  std::fputs((Report + Judged.Lines).c_str(), stdout);
  return Judged.Pass ? EXIT_PASS : EXIT_FAIL;
}

int RunOne(const TeRunArguments &Args) {
  std::string Bytes;
  std::string Error;
  if (!ReadFile(Args.ImagePath, MAX_IMAGE_SPAN, &Bytes, &Error)) {
    return Usage(Error);
  }
  PlatformModel Model(Args.Platform);
  const RunResult Result =
      RunImage(std::vector<uint8_t>(Bytes.begin(), Bytes.end()), Args.Run, Model);
  if (Result.Status == RunStatus::NotLoaded) {
    return Usage(Args.ImagePath + ": " + Result.Faults.front());
  }
  const size_t Faults = Result.Faults.size();
  Verdict Judged;
  if (Args.NoScript) {
    Judged = JudgeUnscripted(Model, Faults, Result.Eax);
  } else {
    Judged = JudgeRun(Model, EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte),
                      Faults, Result.Eax);
  }
  std::fputs((RunReport(Result, Model) + Judged.Lines).c_str(), stdout);
  return Judged.Pass ? EXIT_PASS : EXIT_FAIL;
}

} // namespace

int main(int Count, char **Values) {
  TeRunArguments Args;
  std::string Error;
  if (!ParseTeRunArguments(Count, Values, &Args, &Error)) {
    std::fprintf(stderr, "te-run: %s\n%s", Error.c_str(), TE_RUN_USAGE);
    return EXIT_USAGE;
  }
  if (Args.Help) {
    std::fputs(TE_RUN_USAGE, stdout);
    return EXIT_PASS;
  }
  if (Args.PrintScript) {
    return PrintScript(Args);
  }
  if (!Args.TracePath.empty()) {
    return CheckTrace(Args);
  }
  return RunOne(Args);
}
