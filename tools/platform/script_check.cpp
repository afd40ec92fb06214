#include "script_check.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "entry_script.h"
#include "messages.h"
#include "platform_model.h"
#include "platform_ports.h"
#include "port_names.h"
#include "status_name.h"

namespace {

bool SameAccess(const PortAccess &Got, const PortAccess &Want, LsrValues Lsr) {
  if (Got.IsWrite != Want.IsWrite || Got.Port != Want.Port) {
    return false;
  }
  const bool LsrRead = !Got.IsWrite && Got.Port == SERIAL_BASE + UART_LSR;
  return Got.Value == Want.Value || (LsrRead && Lsr == LsrValues::Ignored);
}

// "verdict: PASS: board NAME: a; b; c" when nothing failed, else "verdict: FAIL: board NAME: x;
// y", NAME the board the tools are built for.
Verdict Conclude(const std::string &Difference, const std::vector<std::string> &Failures,
                 const std::vector<std::string> &Checked) {
  Verdict Result;
  Result.Pass = Failures.empty();
  if (!Difference.empty()) {
    Result.Lines = Difference + "\n";
  }
  std::string Items;
  for (const std::string &Item : Result.Pass ? Checked : Failures) {
    Items += (Items.empty() ? "" : "; ") + Item;
  }
  Result.Lines += std::string("verdict: ") + (Result.Pass ? "PASS: " : "FAIL: ") + "board " +
                  BOARD_NAME + ": " + Items + "\n";
  return Result;
}

} // namespace

std::string StatusText(uint32_t Status) {
  const char *Name = StatusToName(Status);
  return Hex(Status, 8) + (Name == nullptr ? "" : std::string(" (") + Name + ")");
}

ScriptMismatch CompareWithScript(const std::vector<PortAccess> &Trace,
                                 const std::vector<PortAccess> &Script, LsrValues Lsr) {
  // Both lists are walked access by access, a run at a time: Taken counts what each cursor has
  // used of its current entry's run.
  struct Cursor {
    const std::vector<PortAccess> &List;
    size_t Entry = 0;
    uint32_t Taken = 0;
    bool AtEnd() const { return Entry == List.size(); }
    PortAccess One() const {
      return {List[Entry].IsWrite, List[Entry].Port, List[Entry].Value, List[Entry].Name};
    }
    uint32_t Left() const { return List[Entry].Count - Taken; }
    void Skip(uint32_t Count) {
      Taken += Count;
      if (Taken == List[Entry].Count) {
        ++Entry;
        Taken = 0;
      }
    }
  };
  Cursor Got{Trace};
  Cursor Want{Script};
  uint64_t Done = 0; // accesses that matched
  ScriptMismatch Mismatch;
  while (!Got.AtEnd() && !Want.AtEnd()) {
    if (!SameAccess(Got.One(), Want.One(), Lsr)) {
      Mismatch.Step = Done + 1;
      const std::string Step = "step " + std::to_string(Mismatch.Step);
      Mismatch.Detail =
          Step + ": expected " + DescribeAccess(Want.One()) + ", got " + DescribeAccess(Got.One());
      Mismatch.Summary = Step + " differs from the script";
      return Mismatch;
    }
    const uint32_t Both = std::min(Got.Left(), Want.Left());
    Got.Skip(Both);
    Want.Skip(Both);
    Done += Both;
  }
  if (Got.AtEnd() && !Want.AtEnd()) {
    Mismatch.Step = Done + 1;
    Mismatch.Summary = "trace ends after " + Counted(Done, "access", "es") + ", expected " +
                       std::to_string(AccessCount(Script));
    Mismatch.Detail = Mismatch.Summary + ": step " + std::to_string(Mismatch.Step) + " expected " +
                      DescribeAccess(Want.One());
  } else if (!Got.AtEnd() && Want.AtEnd()) {
    Mismatch.Step = Done + 1;
    Mismatch.Summary = Counted(AccessCount(Trace) - Done, "access", "es") +
                       " beyond the script's " + std::to_string(Done);
    Mismatch.Detail = Mismatch.Summary + ": step " + std::to_string(Mismatch.Step) + " got " +
                      DescribeAccess(Got.One());
  }
  return Mismatch;
}

Verdict JudgeRun(const PlatformModel &Model, const std::vector<PortAccess> &Script, size_t Faults,
                 uint32_t Status) {
  const ScriptMismatch Mismatch = CompareWithScript(Model.Trace(), Script, LsrValues::Compared);
  const std::string Uart = "UART " + UartSettingText(Model.Divisor(), Model.Lcr());
  std::vector<std::string> Failures;
  if (Mismatch.Step != 0) {
    Failures.push_back(Mismatch.Summary);
  }
  const std::string Expected = ExpectedUartSetting();
  if (Uart != "UART " + Expected) {
    Failures.push_back(Uart + ", expected " + Expected);
  }
  if (Faults != 0) {
    Failures.push_back(Counted(Faults, "fault"));
  }
  if (Faults == 0 && Status != 0) { // after a fault EAX need not be a result
    Failures.push_back("result " + StatusText(Status) + ", expected EFI_SUCCESS");
  }
  return Conclude(Mismatch.Detail, Failures,
                  {std::to_string(AccessCount(Script)) + " port accesses match the script", Uart,
                   "EFI_SUCCESS"});
}

Verdict JudgeUnscripted(const PlatformModel &Model, size_t Faults, uint32_t Status) {
  std::vector<std::string> Failures;
  if (Faults != 0) {
    Failures.push_back(Counted(Faults, "fault"));
  }
  return Conclude({}, Failures,
                  {"no rule broken in " + Counted(AccessCount(Model.Trace()), "port access", "es") +
                       " (not held to the script)",
                   "UART " + UartSettingText(Model.Divisor(), Model.Lcr()),
                   "result " + StatusText(Status)});
}

Verdict JudgeTrace(const std::vector<PortAccess> &Trace, const std::vector<PortAccess> &Script) {
  const ScriptMismatch Mismatch = CompareWithScript(Trace, Script, LsrValues::Ignored);
  std::vector<std::string> Failures;
  if (Mismatch.Step != 0) {
    Failures.push_back(Mismatch.Summary);
  }
  return Conclude(Mismatch.Detail, Failures,
                  {std::to_string(AccessCount(Script)) + " port accesses match the script"});
}
