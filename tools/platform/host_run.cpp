// Runs OemInitComEntry on the host against the platform model, prints what it did and holds
// it to the expected script.
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "efi_types.h"
#include "entry.h"
#include "entry_script.h"
#include "exit_status.h"
#include "platform_model.h"
#include "platform_options.h"
#include "port_io_fake.h"
#include "script_check.h"

namespace {

const char USAGE[] = "usage: oemcom-host-run [--probe VALUE] [--busy N]\n"
                     "  --probe VALUE  what the board's probe port reads (default 0xff)\n"
                     "  --busy N       LSR polls that report busy before each byte (default 0)\n";

// Reads the platform options; false, with the message printed, on bad usage.
[[nodiscard]] bool ParseArguments(const std::vector<std::string> &Arguments,
                                  PlatformOptions *Options, bool *Help) {
  std::vector<CommandWord> Words;
  std::string Error;
  bool Parsed = SplitCommandLine(Arguments, IsPlatformOption, &Words, &Error);
  for (size_t Index = 0; Parsed && Index < Words.size() && !*Help; ++Index) {
    const CommandWord &Word = Words[Index];
    if (Word.Name == "--help") {
      *Help = true;
    } else if (!IsPlatformOption(Word.Name)) {
      Parsed = false;
      Error = "unknown argument '" + (Word.Name.empty() ? Word.Value : Word.Name) + "'";
    } else {
      Parsed = SetPlatformOption(Word, Options, &Error);
    }
  }
  if (!Parsed) {
    std::fprintf(stderr, "oemcom-host-run: %s\n%s", Error.c_str(), USAGE);
  }
  return Parsed;
}

} // namespace

int main(int Argc, char **Argv) {
  PlatformOptions Options;
  bool Help = false;
  if (!ParseArguments(std::vector<std::string>(Argv + (Argc > 0 ? 1 : 0), Argv + Argc), &Options,
                      &Help)) {
    return EXIT_TROUBLE;
  }
  if (Help) {
    std::fputs(USAGE, stdout);
    return EXIT_OK;
  }

  PlatformModel Model(Options);
  EFI_STATUS Status;
  {
    const ScopedPlatform Attach(Model);
    Status = OemInitComEntry(nullptr, nullptr);
  }
  std::printf("probe 0x%02x, %u busy polls per byte\n%s", Options.Probe, Options.BusyPollsPerByte,
              PlatformReport(Model).c_str());
  for (const std::string &Fault : Model.Faults()) {
    std::printf("FAULT: the module %s\n", Fault.c_str());
  }
  std::printf("result: %s\n", StatusText(Status).c_str());
  const Verdict Judged = JudgeRun(Model, EntryScript(Options.Probe, Options.BusyPollsPerByte),
                                  Model.Faults().size(), Status);
  std::fputs(Judged.Lines.c_str(), stdout);
  return Judged.Pass ? EXIT_OK : EXIT_FAULT;
}
