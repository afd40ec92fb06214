#include "run_report.h"

#include <string>

#include "messages.h"
#include "platform_model.h"
#include "run_layout.h"
#include "run_result.h"
#include "script_check.h"

std::string RunReport(const RunResult &Result, const PlatformModel &Model) {
  if (Result.Status == RunStatus::NotLoaded || Result.Status == RunStatus::Refused) {
    return "cannot load the image: " + Result.LoadError + "\n";
  }
  const RunLayout &Layout = Result.Layout;
  std::string Report = "image: base " + Hex(Layout.ImageLow, 8) + " (linked for " +
                       Hex(Result.PreferredBase, 8) + "), " +
                       std::to_string(Result.RelocationsApplied) + " relocations applied, entry " +
                       Hex(Result.Entry, 8) + "\n";
  Report += "call: ImageHandle " + Hex(Layout.ImageHandle, 8) + ", SystemTable " +
            Hex(Layout.SystemTable, 8) + " (both unmapped), return to " + Hex(Layout.Sentinel, 8) +
            ", ESP " + Hex(Layout.CallEsp(), 8) + " before the call\n";
  Report += PlatformReport(Model);
  Report += "result: EAX " + StatusText(Result.Eax) + "\n";
  Report += "instructions: " + std::to_string(Result.Instructions) + "\n";
  Report += "peak stack: " + std::to_string(Result.PeakStack) + " bytes\n";
  for (const std::string &Fault : Result.Faults) {
    Report += "FAULT: the image " + Fault + "\n";
  }
  Report +=
      "run: " + (Result.Faults.empty() ? "clean" : Counted(Result.Faults.size(), "fault")) + "\n";
  return Report;
}
