// The runner against hand-assembled images: each misbehaving one must fail with its own
// message, and each well-behaved one must run clean with the right result.
#include <gtest/gtest.h>

#include "image_runner.h"
#include "reference_board.h"
#include "te_builder.h"
#include "trace_check.h"

namespace {

struct FaultCase {
  const char *Name;
  std::vector<uint8_t> Code;
  const char *Fragment; // expected in one of the faults
  uint32_t Busy;
};

RunResult RunCode(const std::vector<uint8_t> &Code, PlatformModel &Model, uint32_t Base,
                  uint64_t MaxInstructions = 10000) {
  RunOptions Options;
  Options.Base = Base;
  Options.MaxInstructions = MaxInstructions;
  return RunImage(BuildTe({Code, {}}), Options, Model);
}

bool AnyContains(const std::vector<std::string> &Faults, const std::string &Fragment) {
  for (const std::string &Fault : Faults) {
    if (Fault.find(Fragment) != std::string::npos) {
      return true;
    }
  }
  return false;
}

TEST(ImageRunnerFaults, EachMisbehaviourIsCaught) {
  if (!ForReferenceBoard()) {
    GTEST_SKIP() << REFERENCE_BOARD_ONLY;
  }
  // mov dx,0x245; poll: in al,dx; test al,0x40; jz poll;
  // mov dx,0x240; mov al,'A'; out dx,al; xor eax,eax; ret
  const std::vector<uint8_t> WaitsForTemt = {0x66, 0xBA, 0x45, 0x02, 0xEC, 0xA8, 0x40,
                                             0x74, 0xFB, 0x66, 0xBA, 0x40, 0x02, 0xB0,
                                             0x41, 0xEE, 0x31, 0xC0, 0xC3};
  // The same with cmp al,0x60; jne poll
  std::vector<uint8_t> WaitsFor60 = WaitsForTemt;
  WaitsFor60[5] = 0x3C;
  WaitsFor60[6] = 0x60;
  WaitsFor60[7] = 0x75;
  const FaultCase Cases[] = {
      // call $+5; pop eax; mov [eax],ecx; xor eax,eax; ret
      {"own pages",
       {0xE8, 0, 0, 0, 0, 0x58, 0x89, 0x08, 0x31, 0xC0, 0xC3},
       "writes to its own pages: 4-byte write at 0x00810205 (RVA 0x00000205)",
       0},
      // mov eax,[esp+4]; ret
      {"ImageHandle", {0x8B, 0x44, 0x24, 0x04, 0xC3}, "reads its entry argument ImageHandle", 0},
      // mov eax,[esp+8]; ret
      {"SystemTable", {0x8B, 0x44, 0x24, 0x08, 0xC3}, "reads its entry argument SystemTable", 0},
      // mov eax,[0x12345678]; ret
      {"outside",
       {0xA1, 0x78, 0x56, 0x34, 0x12, 0xC3},
       "touches memory outside the image and the stack: 4-byte read at 0x12345678",
       0},
      // mov [esp+12],eax; ret
      {"caller frame",
       {0x89, 0x44, 0x24, 0x0C, 0xC3},
       "(the caller's frame above the arguments)",
       0},
      // sub esp,0x10000; push eax: 16 bytes past the 64 KiB stack
      {"overflow",
       {0x81, 0xEC, 0x00, 0x00, 0x01, 0x00, 0x50},
       "4-byte write at 0xe0000ff0 (below the stack (stack overflow))",
       0},
      // sub esp,0x100000; push eax: far past it
      {"far overflow", {0x81, 0xEC, 0x00, 0x00, 0x10, 0x00, 0x50}, "(stack overflow)", 0},
      // xor ebx,ebx; xor eax,eax; ret
      {"EBX", {0x31, 0xDB, 0x31, 0xC0, 0xC3}, "changes callee-saved EBX from 0xb0b0b0b0 to 0x0", 0},
      // mov ebp,esp; xor eax,eax; ret
      {"EBP", {0x89, 0xE5, 0x31, 0xC0, 0xC3}, "changes callee-saved EBP", 0},
      // xor eax,eax; ret 8
      {"ret 8",
       {0x31, 0xC0, 0xC2, 0x08, 0x00},
       "returns with ESP 0xe0011000 instead of 0xe0010ff8 (+8",
       0},
      // std; xor eax,eax; ret
      {"direction flag", {0xFD, 0x31, 0xC0, 0xC3}, "returns with the direction flag set", 0},
      // mov al,'A'; mov dx,0x240; out dx,al; xor eax,eax; ret
      {"THR unpolled",
       {0xB0, 0x41, 0x66, 0xBA, 0x40, 0x02, 0xEE, 0x31, 0xC0, 0xC3},
       "writes THR while LSR reports busy (byte 0x41) (EIP 0x00810206)",
       1},
      {"TEMT poll", WaitsForTemt, "polls LSR again after it reported THRE set", 0},
      {"TEMT poll, busy", WaitsForTemt, "writes THR while LSR reports busy (byte 0x41)", 2},
      {"LSR compared with 0x60", WaitsFor60, "polls LSR again after it reported THRE set", 2},
      // in al,0x80; ret
      {"unmodelled port", {0xE4, 0x80, 0xC3}, "reads unmodelled port 0x0080", 0},
      // mov dx,0x259; in ax,dx
      {"word IN", {0x66, 0xBA, 0x59, 0x02, 0x66, 0xED}, "16-bit IN from port 0x0259", 0},
      // jmp $
      {"endless loop", {0xEB, 0xFE}, "does not return within 10000 instructions", 0},
      // ud2
      {"ud2", {0x0F, 0x0B}, "invalid instruction (EIP 0x00810200)", 0},
      // int3
      {"int3", {0xCC}, "interrupt 3 (#BP breakpoint)", 0},
      // xor ecx,ecx; div ecx
      {"divide", {0x31, 0xC9, 0xF7, 0xF1}, "interrupt 0 (#DE divide error)", 0},
      // mov eax,0x12345678; jmp eax
      {"jump away",
       {0xB8, 0x78, 0x56, 0x34, 0x12, 0xFF, 0xE0},
       "executes outside the image at 0x12345678",
       0},
      // push 0xffffffc3; call esp: code on the stack
      {"stack code", {0x6A, 0xC3, 0xFF, 0xD4}, "executes outside the image at 0xe0010ff0", 0},
      // cli; xor eax,eax; ret
      {"cli", {0xFA, 0x31, 0xC0, 0xC3}, "returns with interrupts disabled", 0},
      // syscall
      {"syscall", {0x0F, 0x05}, "executes a system call instruction", 0},
      // mov ds,ax with AX = 0xaaaa: no such descriptor
      {"segment load", {0x8E, 0xD8}, "interrupt 13 (#GP general protection)", 0},
      // hlt
      {"hlt", {0xF4}, "stops without returning", 0},
  };
  for (const FaultCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    PlatformModel Model({0xFF, Case.Busy});
    const RunResult Result = RunCode(Case.Code, Model, DEFAULT_LOAD_BASE);
    EXPECT_EQ(Result.Status, RunStatus::Faulted);
    EXPECT_TRUE(AnyContains(Result.Faults, Case.Fragment))
        << "faults: " << testing::PrintToString(Result.Faults);
  }
}

struct CleanCase {
  const char *Name;
  std::vector<uint8_t> Code;
  uint32_t Eax;
  uint32_t PeakStack; // bytes
};

TEST(ImageRunnerFaults, WellBehavedImagesRunClean) {
  const CleanCase Cases[] = {
      // xor eax,eax; ret
      {"success", {0x31, 0xC0, 0xC3}, 0, 4},
      // mov eax,0x8000000e; ret
      {"not found", {0xB8, 0x0E, 0x00, 0x00, 0x80, 0xC3}, 0x8000000E, 4},
      // mov [esp+4],eax; mov eax,[esp+4]; xor eax,eax; ret: an argument slot used as scratch
      {"scratch argument",
       {0x89, 0x44, 0x24, 0x04, 0x8B, 0x44, 0x24, 0x04, 0x31, 0xC0, 0xC3},
       0,
       4},
      // push ebx; mov ebx,5; pop ebx; xor eax,eax; ret
      {"saves EBX", {0x53, 0xBB, 0x05, 0x00, 0x00, 0x00, 0x5B, 0x31, 0xC0, 0xC3}, 0, 8},
      // sub esp,0x800; add esp,0x800; xor eax,eax; ret
      {"2 KiB frame",
       {0x81, 0xEC, 0x00, 0x08, 0x00, 0x00, 0x81, 0xC4, 0x00, 0x08, 0x00, 0x00, 0x31, 0xC0, 0xC3},
       0,
       0x804},
  };
  for (const CleanCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    PlatformModel Model;
    const RunResult Result = RunCode(Case.Code, Model, DEFAULT_LOAD_BASE);
    EXPECT_EQ(Result.Status, RunStatus::Clean) << testing::PrintToString(Result.Faults);
    EXPECT_EQ(Result.Eax, Case.Eax);
    EXPECT_EQ(Result.PeakStack, Case.PeakStack);
    EXPECT_TRUE(Model.Trace().empty());
  }
}

TEST(ImageRunnerFaults, PollingTransmitFollowsTheBusyLsr) {
  if (!ForReferenceBoard()) {
    GTEST_SKIP() << REFERENCE_BOARD_ONLY;
  }
  // mov dx,0x245; poll: in al,dx; test al,0x20; jz poll;
  // mov dx,0x240; mov al,'A'; out dx,al; xor eax,eax; ret
  const std::vector<uint8_t> Code = {0x66, 0xBA, 0x45, 0x02, 0xEC, 0xA8, 0x20, 0x74, 0xFB, 0x66,
                                     0xBA, 0x40, 0x02, 0xB0, 0x41, 0xEE, 0x31, 0xC0, 0xC3};
  for (const uint32_t Busy : {0u, 1u, 5u}) {
    SCOPED_TRACE(Busy);
    PlatformModel Model({0xFF, Busy});
    const RunResult Result = RunCode(Code, Model, DEFAULT_LOAD_BASE);
    EXPECT_EQ(Result.Status, RunStatus::Clean) << testing::PrintToString(Result.Faults);
    ExpectTrace(Model, TransmitScript("A", Busy));
    EXPECT_EQ(Model.Line(), "A");
    EXPECT_EQ(Result.Instructions, 9 + 3 * uint64_t{Busy});
  }
}

TEST(ImageRunnerFaults, RelocatedPointerReadsTheConstantAtEveryBase) {
  // mov eax,[constant]; ret; nop; nop; constant: dd 0x600df00d
  std::vector<uint8_t> Code = {0xA1, 0, 0, 0, 0, 0xC3, 0x90, 0x90, 0x0D, 0xF0, 0x0D, 0x60};
  PutU32(Code, 1, LinkedAddress(8));
  const std::vector<uint8_t> Te = BuildTe({Code, {1}});
  for (const uint32_t Base : {DEFAULT_LOAD_BASE, 0x7FF00000u, TEST_IMAGE_BASE, 0x00123458u}) {
    SCOPED_TRACE(testing::Message() << "base " << std::hex << Base);
    PlatformModel Model;
    RunOptions Options;
    Options.Base = Base;
    const RunResult Result = RunImage(Te, Options, Model);
    EXPECT_EQ(Result.Status, RunStatus::Clean) << testing::PrintToString(Result.Faults);
    EXPECT_EQ(Result.Eax, 0x600DF00Du);
    EXPECT_EQ(Result.RelocationsApplied, 1u);
  }
}

TEST(ImageRunnerFaults, UnrelocatedPointerIsCaughtAwayFromImageBase) {
  // The same code without its relocation reads the linked address, outside the moved image.
  std::vector<uint8_t> Code = {0xA1, 0, 0, 0, 0, 0xC3, 0x90, 0x90, 0x0D, 0xF0, 0x0D, 0x60};
  PutU32(Code, 1, LinkedAddress(8));
  PlatformModel Model;
  const RunResult Result = RunCode(Code, Model, DEFAULT_LOAD_BASE);
  EXPECT_EQ(Result.Status, RunStatus::Faulted);
  EXPECT_TRUE(AnyContains(Result.Faults, "4-byte read at 0x00400208"))
      << testing::PrintToString(Result.Faults);
}

} // namespace
