// Runs a TE image's entry point on an emulated IA-32 CPU the way the module dispatcher calls
// it: cdecl, (ImageHandle, SystemTable), flat 32-bit protected mode. Every port access goes to
// a PlatformModel; every memory access, the callee-saved registers and the stack pointer are
// checked against what a well-behaved boot-service driver entry may do.
#pragma once

#include <cstdint>
#include <vector>

#include "platform_model.h"
#include "run_result.h"
#include "struct_io.h"

constexpr uint32_t DEFAULT_LOAD_BASE = 0x00810000; // differs from the linker's 0x00400000
constexpr uint32_t DEFAULT_STACK_SIZE = 64 * 1024; // bytes
constexpr uint64_t BASE_INSTRUCTION_BOUND = 1000000;

// BASE_INSTRUCTION_BOUND plus room for BusyPollsPerByte LSR polls of 16 instructions before
// each of 4096 bytes.
uint64_t DefaultInstructionBound(uint32_t BusyPollsPerByte);

struct RunOptions {
  uint32_t Base = DEFAULT_LOAD_BASE; // address of RVA 0
  uint32_t StackSize = DEFAULT_STACK_SIZE;
  uint64_t MaxInstructions = BASE_INSTRUCTION_BOUND;
};

// Loads Te at Options.Base and calls its entry once. Port accesses go to Model.
RunResult RunImage(ByteView Te, const RunOptions &Options, PlatformModel &Model);
