// Runs a TE image's entry point on an emulated IA-32 CPU the way the module dispatcher calls
// it: cdecl, (ImageHandle, SystemTable), flat 32-bit protected mode. Every port access goes to
// a PlatformModel; every memory access, the callee-saved registers and the stack pointer are
// checked against what a well-behaved boot-service driver entry may do.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform_model.h"
#include "run_result.h"
#include "struct_io.h"

constexpr uint32_t DEFAULT_LOAD_BASE = 0x00810000; // differs from the linker's 0x00400000
constexpr uint32_t DEFAULT_STACK_SIZE = 64 * 1024; // bytes
// Bound on the instructions of one call, whatever the busy count: the banner at the most busy
// polls (MAX_BUSY_POLLS before each of its 19 bytes, 4 instructions a poll) takes 760,487.
constexpr uint64_t INSTRUCTION_BOUND = 1000000;

struct RunOptions {
  uint32_t Base = DEFAULT_LOAD_BASE; // address of RVA 0
  uint32_t StackSize = DEFAULT_STACK_SIZE;
  uint64_t MaxInstructions = INSTRUCTION_BOUND;
  // Names the place of an instruction in fault messages, after its EIP; none when empty.
  std::function<std::string(uint32_t Address)> PlaceOf;
};

// Loads Te at Options.Base and calls its entry once. Port accesses go to Model.
RunResult RunImage(ByteView Te, const RunOptions &Options, PlatformModel &Model);
