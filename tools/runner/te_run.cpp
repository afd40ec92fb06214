// te-run: runs a TE image's entry point on an emulated IA-32 CPU against the platform model,
// reports the port trace, the serial line, the result and every rule the image broke, and
// holds the run to the module's exact port script. It also holds a trace recorded elsewhere
// to the same script, and prints the script.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "entry_script.h"
#include "exit_status.h"
#include "file_io.h"
#include "image_runner.h"
#include "link_map.h"
#include "messages.h"
#include "platform_model.h"
#include "port_names.h"
#include "run_report.h"
#include "run_result.h"
#include "script_check.h"
#include "te_run_args.h"
#include "trace_file.h"

namespace {

int Trouble(const std::string &Error) {
  std::fprintf(stderr, "te-run: %s\n", Error.c_str());
  return EXIT_TROUBLE;
}

std::string ScriptHeader(const PlatformOptions &Platform, size_t Accesses) {
  return "script: probe " + Hex(Platform.Probe, 2) + ", busy " +
         std::to_string(Platform.BusyPollsPerByte) + ", " + std::to_string(Accesses) + " accesses";
}

int PrintScript(const TeRunArguments &Args) {
  for (const PortAccess &Access :
       EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte)) {
    std::printf("%s\n", TraceLine(Access).c_str());
  }
  return EXIT_OK;
}

int CheckTrace(const TeRunArguments &Args) {
  std::string Error;
  std::vector<PortAccess> Trace;
  if (!ReadTraceFile(Args.TracePath, &Trace, &Error)) {
    return Trouble(Error);
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
  return Judged.Pass ? EXIT_OK : EXIT_FAULT;
}

int RunOne(const TeRunArguments &Args) {
  std::vector<uint8_t> Image;
  LinkMap Symbols;
  std::string Error;
  if (!ReadFileBytes(Args.ImagePath, &Image, &Error)) {
    return Trouble(Args.ImagePath + ": " + Error);
  }
  if (!Args.MapPath.empty() && !ReadLinkMap(Args.MapPath, &Symbols, &Error)) {
    return Trouble(Error);
  }
  PlatformModel Model(Args.Platform);
  const RunResult Result = RunImage(Image, Args.Run, Model);
  if (Result.Status == RunStatus::NotLoaded) {
    return Trouble(Args.ImagePath + ": " + Result.LoadError);
  }
  const size_t Faults = Result.Faults.size();
  Verdict Judged;
  if (Args.NoScript) {
    Judged = JudgeUnscripted(Model, Faults, Result.Eax);
  } else {
    Judged = JudgeRun(Model, EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte),
                      Faults, Result.Eax);
  }
  std::string Output = RunReport(Result, Model) + Judged.Lines;
  if (!Args.MapPath.empty()) {
    Output += FunctionProfile(BaseName(Args.MapPath), Symbols, Result.PreferredBase,
                              Result.InstructionsAt);
  }
  std::fputs(Output.c_str(), stdout);
  return Judged.Pass ? EXIT_OK : EXIT_FAULT;
}

} // namespace

int main(int Count, char **Values) {
  TeRunArguments Args;
  std::string Error;
  if (!ParseTeRunArguments(Count, Values, &Args, &Error)) {
    std::fprintf(stderr, "te-run: %s\n%s", Error.c_str(), TE_RUN_USAGE);
    return EXIT_TROUBLE;
  }
  if (Args.Help) {
    std::fputs(TE_RUN_USAGE, stdout);
    return EXIT_OK;
  }
  if (Args.PrintScript) {
    return PrintScript(Args);
  }
  if (!Args.TracePath.empty()) {
    return CheckTrace(Args);
  }
  return RunOne(Args);
}
