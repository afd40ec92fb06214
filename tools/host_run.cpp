// Runs OemInitComEntry on the host against the platform model, prints what it did and holds
// it to the expected script.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "entry.h"
#include "entry_script.h"
#include "port_io_fake.h"
#include "script_check.h"

namespace {

const char USAGE[] = "usage: oemcom-host-run [--probe 0xNN] [--busy N]\n"
                     "  --probe 0xNN  value read from the probe port 0x259 (default 0xff)\n"
                     "  --busy N      LSR polls that report busy before each byte (default 0)\n";

bool ParseNumber(const char *Text, unsigned long Limit, unsigned long *Value) {
  char *End = nullptr;
  *Value = std::strtoul(Text, &End, 0);
  return *Text != '\0' && *End == '\0' && *Value <= Limit;
}

} // namespace

int main(int argc, char **argv) {
  PlatformOptions Options;
  for (int Index = 1; Index < argc; ++Index) {
    const std::string Option = argv[Index];
    unsigned long Value = 0;
    if (Option == "--help" || Option == "-h") {
      std::fputs(USAGE, stdout);
      return 0;
    }
    if (Index + 1 >= argc) {
      std::fprintf(stderr, "oemcom-host-run: %s needs a value\n%s", Option.c_str(), USAGE);
      return 2;
    }
    const char *Argument = argv[++Index];
    if (Option == "--probe" && ParseNumber(Argument, 0xFF, &Value)) {
      Options.Probe = static_cast<uint8_t>(Value);
    } else if (Option == "--busy" && ParseNumber(Argument, 1000000, &Value)) {
      Options.BusyPollsPerByte = static_cast<uint32_t>(Value);
    } else {
      std::fprintf(stderr, "oemcom-host-run: bad option or value: %s %s\n%s", Option.c_str(),
                   Argument, USAGE);
      return 2;
    }
  }

  PlatformModel Model(Options);
  EFI_STATUS Status;
  {
    ScopedPlatform Attach(Model);
    Status = OemInitComEntry(nullptr, nullptr);
  }
  std::printf("probe 0x%02x, %u busy polls per byte\n%s", Options.Probe, Options.BusyPollsPerByte,
              PlatformReport(Model).c_str());
  std::printf("result: 0x%08x%s\n", Status, Status == EFI_SUCCESS ? " (EFI_SUCCESS)" : "");
  const Verdict Judged = JudgeRun(Model, EntryScript(Options.Probe, Options.BusyPollsPerByte),
                                  Model.Faults().size(), Status);
  std::fputs(Judged.Lines.c_str(), stdout);
  return Judged.Pass ? 0 : 1;
}
