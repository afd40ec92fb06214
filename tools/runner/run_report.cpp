#include "run_report.h"

#include "image_loader.h"
#include "status_name.h"

std::string StatusText(uint32_t Status) {
  const char *Name = StatusToName(Status);
  return Hex32(Status) + (Name == nullptr ? "" : std::string(" (") + Name + ")");
}

std::string RunReport(const RunResult &Result, const PlatformModel &Model) {
  if (Result.Status == RunStatus::NotLoaded) {
    return "cannot load the image: " + Result.Faults.front() + "\n";
  }
  const RunLayout &Layout = Result.Layout;
  std::string Report = "image: base " + Hex32(Layout.ImageLow) + " (linked for " +
                       Hex32(Result.PreferredBase) + "), " +
                       std::to_string(Result.RelocationsApplied) + " relocations applied, entry " +
                       Hex32(Result.Entry) + "\n";
  Report += "call: ImageHandle " + Hex32(Layout.ImageHandle) + ", SystemTable " +
            Hex32(Layout.SystemTable) + " (both unmapped), return to " + Hex32(Layout.Sentinel) +
            ", ESP " + Hex32(Layout.CallEsp()) + " before the call\n";
  Report += PlatformReport(Model);
  Report += "result: EAX " + StatusText(Result.Eax) + "\n";
  Report += "instructions: " + std::to_string(Result.Instructions) + "\n";
  Report += "peak stack: " + std::to_string(Result.PeakStack) + " bytes\n";
  for (const std::string &Fault : Result.Faults) {
    Report += "FAULT: the image " + Fault + "\n";
  }
  Report += Result.Faults.empty() ? "run: clean\n"
                                  : "run: " + std::to_string(Result.Faults.size()) + " fault" +
                                        (Result.Faults.size() == 1 ? "" : "s") + "\n";
  return Report;
}
