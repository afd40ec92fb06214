#include "image_runner.h"

#include <string>
#include <vector>

#include "cpu_session.h"
#include "image_loader.h"
#include "platform_model.h"
#include "run_layout.h"
#include "run_result.h"
#include "struct_io.h"
#include "te_check.h"
#include "te_image.h"

RunResult RunImage(ByteView Te, const RunOptions &Options, PlatformModel &Model) {
  RunResult Result;
  TeImage Checked;
  LoadedImage Image;
  std::string Error;
  if (!ParseAndCheckTeImage(Te, &Checked, &Error)) {
    Result.Status = RunStatus::Refused;
    Result.LoadError = Error;
    return Result;
  }
  if (!LoadTeImage(Checked, Options.Base, &Image, &Error) ||
      !PlanLayout(Image.Base, Image.Span, Options.StackSize, &Result.Layout, &Error)) {
    Result.LoadError = Error;
    return Result;
  }
  Result.Entry = Image.Entry();
  Result.PreferredBase = Image.PreferredBase;
  Result.RelocationsApplied = Image.RelocationsApplied;

  CpuSession Session(Result.Layout, Options.MaxInstructions, Model, Result);
  if (Options.PlaceOf) {
    Session.NamePlaces(Options.PlaceOf);
  }
  if (!Session.Load(Image, &Error)) {
    Result.LoadError = "emulator: " + Error;
    return Result;
  }
  Session.CallEntry(Image.Entry());
  Result.Status = Result.Faults.empty() ? RunStatus::Clean : RunStatus::Faulted;
  return Result;
}
