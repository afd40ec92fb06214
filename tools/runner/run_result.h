// What one emulated call of an image's entry point came to: how it ended, the rules it broke,
// its result and counts, and where the runner placed the image and its stack.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "run_layout.h"

enum class RunStatus : uint8_t {
  Clean,     // returned with no fault
  Faulted,   // ran, and broke a rule
  Refused,   // the image breaks one of the module's image rules; LoadError says which
  NotLoaded, // the image could not be placed at the base, or the emulator set up; LoadError says
             // why
};

struct RunResult {
  RunStatus Status = RunStatus::NotLoaded;
  std::string LoadError; // one line, when Refused or NotLoaded
  // One line each, to follow "the image ": "writes unmodelled port 0x0242 (EIP 0x0081021a)".
  std::vector<std::string> Faults;
  uint32_t Eax = 0;                            // the entry's result, when it returned
  uint64_t Instructions = 0;                   // executed
  std::map<uint32_t, uint64_t> InstructionsAt; // executed inside the image, by RVA
  // The length in bytes of each instruction executed inside the image, by RVA.
  std::map<uint32_t, uint32_t> InstructionLengths;
  uint32_t PeakStack = 0; // bytes below the ESP of the call, return address included
  // The EIP of each port access the model answered, in order, a run of polls counted out.
  std::vector<uint32_t> PortAccessEips;
  // Where things were, for the report.
  uint32_t Entry = 0;
  uint32_t PreferredBase = 0;
  uint32_t RelocationsApplied = 0;
  RunLayout Layout;
};
