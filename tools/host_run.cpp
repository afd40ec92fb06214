// Runs OemInitComEntry on the host against the platform model, prints what it did and holds
// it to the expected script.
#include <cstdint>
#include <cstdio>
#include <string>

#include "efi_types.h"
#include "entry.h"
#include "entry_script.h"
#include "exit_status.h"
#include "parse_number.h"
#include "platform_model.h"
#include "port_io_fake.h"
#include "script_check.h"

namespace {

const char USAGE[] = "usage: oemcom-host-run [--probe 0xNN] [--busy N]\n"
                     "  --probe 0xNN  value read from the board's probe port (default 0xff)\n"
                     "  --busy N      LSR polls that report busy before each byte (default 0)\n";

} // namespace

int main(int argc, char **argv) {
  PlatformOptions Options;
  for (int Index = 1; Index < argc; ++Index) {
    const std::string Option = argv[Index];
    uint64_t Value = 0;
    if (Option == "--help" || Option == "-h") {
      std::fputs(USAGE, stdout);
      return EXIT_OK;
    }
    if (Index + 1 >= argc) {
      std::fprintf(stderr, "oemcom-host-run: %s needs a value\n%s", Option.c_str(), USAGE);
      return EXIT_TROUBLE;
    }
    const char *Argument = argv[++Index];
    if (Option == "--probe" && ParseNumber(Argument, 0xFF, &Value)) {
      Options.Probe = static_cast<uint8_t>(Value);
    } else if (Option == "--busy" && ParseNumber(Argument, 1000000, &Value)) {
      Options.BusyPollsPerByte = static_cast<uint32_t>(Value);
    } else {
      std::fprintf(stderr, "oemcom-host-run: bad option or value: %s %s\n%s", Option.c_str(),
                   Argument, USAGE);
      return EXIT_TROUBLE;
    }
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
