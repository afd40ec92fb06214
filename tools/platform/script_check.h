// Holding a port trace to the expected script, and the one-line verdicts of the run commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform_model.h"

enum class LsrValues : uint8_t { Compared, Ignored };

struct ScriptMismatch {
  size_t Step = 0;     // 1-based step of the first difference; 0 when the trace matches
  std::string Detail;  // "step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03 ..."
  std::string Summary; // for the verdict: "step 29 differs from the script"
};

// The first place where Trace leaves Script: a different access, an early end or extra
// accesses. With LsrValues::Ignored, reads of the UART's LSR match whatever value they carry.
ScriptMismatch CompareWithScript(const std::vector<PortAccess> &Trace,
                                 const std::vector<PortAccess> &Script, LsrValues Lsr);

struct Verdict {
  bool Pass = true;
  // The first difference, if any, then "verdict: PASS: board NAME: ..." or "FAIL: board ...".
  std::string Lines;
};

// A run held to Script: the trace must match it exactly, the UART must end at the board's line
// setting, the run must have no fault and the result must be EFI_SUCCESS.
Verdict JudgeRun(const PlatformModel &Model, const std::vector<PortAccess> &Script, size_t Faults,
                 uint32_t Status);

// A run held to no script: only faults fail it; the line setting and result are reported.
Verdict JudgeUnscripted(const PlatformModel &Model, size_t Faults, uint32_t Status);

// "0x00000000 (EFI_SUCCESS)", or the bare value when the status has no name.
std::string StatusText(uint32_t Status);

// A recorded trace held to Script, LSR read values left out.
Verdict JudgeTrace(const std::vector<PortAccess> &Trace, const std::vector<PortAccess> &Script);
