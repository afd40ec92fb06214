#include "te_run_cli.h"

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "code_coverage.h"
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
#include "source_places.h"
#include "te_run_args.h"
#include "trace_file.h"

namespace {

int Trouble(std::ostream &Err, const std::string &Error) {
  Err << "te-run: " << Error << "\n";
  return EXIT_TROUBLE;
}

std::string ScriptHeader(const PlatformOptions &Platform, uint64_t Accesses) {
  return "script: probe " + Hex(Platform.Probe, 2) + ", busy " +
         std::to_string(Platform.BusyPollsPerByte) + ", " + Counted(Accesses, "access", "es");
}

int PrintScript(const TeRunArguments &Args, std::ostream &Out) {
  for (const PortAccess &Access :
       EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte)) {
    Out << TraceLine(Access) << "\n";
  }
  return EXIT_OK;
}

int CheckTrace(const TeRunArguments &Args, std::ostream &Out, std::ostream &Err) {
  std::string Error;
  std::vector<PortAccess> Trace;
  if (!ReadTraceFile(Args.TracePath, &Trace, &Error)) {
    return Trouble(Err, Args.TracePath + ": " + Error);
  }
  NameAccesses(Trace);
  const std::vector<PortAccess> Script =
      EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte);
  std::string Report =
      "trace " + Args.TracePath + " (" + Counted(AccessCount(Trace), "access", "es") + "):\n";
  for (const PortAccess &Access : Trace) {
    Report += "  " + DescribeAccess(Access) + "\n";
  }
  Report += ScriptHeader(Args.Platform, AccessCount(Script)) + "; LSR read values not compared\n";
  const Verdict Judged = JudgeTrace(Trace, Script);
  Out << Report << Judged.Lines;
  return Judged.Pass ? EXIT_OK : EXIT_FAULT;
}

// The debug twin --debug-image names, or else IMAGE.debug.efi beside IMAGE.te when there is
// one; empty for none.
std::string DebugTwinPath(const TeRunArguments &Args) {
  if (!Args.DebugPath.empty()) {
    return Args.DebugPath;
  }
  const std::string &Image = Args.ImagePath;
  constexpr std::string_view TE = ".te";
  if (Image.size() <= TE.size() || Image.compare(Image.size() - TE.size(), TE.size(), TE) != 0) {
    return "";
  }
  const std::string Beside = Image.substr(0, Image.size() - TE.size()) + ".debug.efi";
  struct stat Status = {};
  return stat(Beside.c_str(), &Status) == 0 ? Beside : "";
}

// "step 29's access: EIP 0x0081021a, OemInitComEntry at .../oem_init_com.cpp:52" for the
// access where the run first leaves Script, when the run made it; empty otherwise.
std::string MismatchPlace(const PlatformModel &Model, const std::vector<PortAccess> &Script,
                          const RunResult &Result, const DebugTwin &Twin) {
  const ScriptMismatch Mismatch = CompareWithScript(Model.Trace(), Script, LsrValues::Compared);
  if (Mismatch.Step == 0 || Mismatch.Step > Result.PortAccessEips.size()) {
    return "";
  }
  const uint32_t Eip = Result.PortAccessEips[Mismatch.Step - 1];
  const std::string Place = SourcePlace(Twin, Eip - Result.Layout.ImageLow);
  return "step " + std::to_string(Mismatch.Step) + "'s access: EIP " + Hex(Eip, 8) +
         (Place.empty() ? "" : ", " + Place) + "\n";
}

int RunOne(TeRunArguments Args, std::ostream &Out, std::ostream &Err) {
  std::vector<uint8_t> Image;
  LinkMap Symbols;
  std::string Error;
  if (!ReadFileBytes(Args.ImagePath, &Image, &Error)) {
    return Trouble(Err, Args.ImagePath + ": " + Error);
  }
  if (!Args.MapPath.empty() && !ReadLinkMap(Args.MapPath, &Symbols, &Error)) {
    return Trouble(Err, Args.MapPath + ": " + Error);
  }
  DebugTwin Twin;
  const std::string TwinPath = DebugTwinPath(Args);
  if (!TwinPath.empty()) {
    if (!OpenDebugTwin(Image, TwinPath, &Twin, &Error)) {
      return Trouble(Err, "--debug-image: " + Error);
    }
    const uint32_t Base = Args.Run.Base;
    Args.Run.PlaceOf = [&Twin, Base](uint32_t Address) {
      return SourcePlace(Twin, Address - Base);
    };
  }
  PlatformModel Model(Args.Platform);
  const RunResult Result = RunImage(Image, Args.Run, Model);
  if (Result.Status == RunStatus::Refused) {
    Err << "te-run: " << Args.ImagePath << ": " << Result.LoadError << "\n";
    return EXIT_FAULT;
  }
  if (Result.Status == RunStatus::NotLoaded) {
    return Trouble(Err, Args.ImagePath + ": " + Result.LoadError);
  }
  const size_t Faults = Result.Faults.size();
  const std::vector<PortAccess> Script =
      EntryScript(Args.Platform.Probe, Args.Platform.BusyPollsPerByte);
  const Verdict Judged = Args.NoScript ? JudgeUnscripted(Model, Faults, Result.Eax)
                                       : JudgeRun(Model, Script, Faults, Result.Eax);
  std::string Lines = Judged.Lines;
  if (!TwinPath.empty() && !Args.NoScript) {
    // Beside the first difference, before the verdict, which stays the report's last line.
    const size_t VerdictAt = Lines.rfind("verdict: ");
    Lines.insert(VerdictAt == std::string::npos ? Lines.size() : VerdictAt,
                 MismatchPlace(Model, Script, Result, Twin));
  }
  std::string Output = RunReport(Result, Model) + Lines;
  if (!Args.MapPath.empty()) {
    Output += FunctionProfile(BaseName(Args.MapPath), Symbols, Result.PreferredBase,
                              Result.InstructionsAt);
  }
  Out << Output;
  if (!Args.ExecutedPath.empty() &&
      !AppendExecutedCode(Args.ExecutedPath, Result.InstructionLengths, &Error)) {
    return Trouble(Err, Args.ExecutedPath + ": " + Error);
  }
  return Judged.Pass ? EXIT_OK : EXIT_FAULT;
}

} // namespace

int RunTeRun(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err) {
  TeRunArguments Args;
  std::string Error;
  if (!ParseTeRunArguments(Arguments, &Args, &Error)) {
    Err << "te-run: " << Error << "\n" << TE_RUN_USAGE;
    return EXIT_TROUBLE;
  }
  if (Args.Help) {
    Out << TE_RUN_USAGE;
    return EXIT_OK;
  }
  if (Args.PrintScript) {
    return PrintScript(Args, Out);
  }
  if (!Args.TracePath.empty()) {
    return CheckTrace(Args, Out, Err);
  }
  return RunOne(Args, Out, Err);
}
