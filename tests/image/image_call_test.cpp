// Calls of named functions of a hand-assembled image, one after another on one load: the
// argument slots, the copied blocks, the output buffer between its guards, and a fault of its
// own for each rule a function breaks, naming the function and the place of the instruction.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "image_call.h"
#include "te_builder.h"

namespace {

// The functions, each at its offset in .text; the gaps hold int3.
struct Function {
  const char *Name;
  uint32_t Offset;
  std::vector<uint8_t> Code;
};

const Function FUNCTIONS[] = {
    // Copy(Out, In): copies In to Out up to and with its NUL; returns the characters copied.
    // push esi; push edi; mov edi,[esp+12]; mov esi,[esp+16]; xor eax,eax;
    // next: mov cl,[esi+eax]; mov [edi+eax],cl; inc eax; test cl,cl; jnz next;
    // dec eax; pop edi; pop esi; ret
    {"Copy", 0x00, {0x56, 0x57, 0x8B, 0x7C, 0x24, 0x0C, 0x8B, 0x74, 0x24,
                    0x10, 0x31, 0xC0, 0x8A, 0x0C, 0x06, 0x88, 0x0C, 0x07,
                    0x40, 0x84, 0xC9, 0x75, 0xF5, 0x48, 0x5F, 0x5E, 0xC3}},
    // Low(...), High(...): the first, the second slot. mov eax,[esp+4|8]; ret
    {"Low", 0x20, {0x8B, 0x44, 0x24, 0x04, 0xC3}},
    {"High", 0x28, {0x8B, 0x44, 0x24, 0x08, 0xC3}},
    // Scribble(P): *P = 0. mov eax,[esp+4]; mov byte [eax],0; ret
    {"Scribble", 0x30, {0x8B, 0x44, 0x24, 0x04, 0xC6, 0x00, 0x00, 0xC3}},
    // Before(P): P[-1] = 0. mov eax,[esp+4]; mov byte [eax-1],0; ret
    {"Before", 0x38, {0x8B, 0x44, 0x24, 0x04, 0xC6, 0x40, 0xFF, 0x00, 0xC3}},
    // in al,0x80; ret
    {"Port", 0x48, {0xE4, 0x80, 0xC3}},
    // xor ebx,ebx; ret
    {"Ebx", 0x50, {0x31, 0xDB, 0xC3}},
    // jmp $
    {"Loop", 0x58, {0xEB, 0xFE}},
    // Writes over its own second instruction. call $+5; pop eax; mov [eax],ecx; ret
    {"Own", 0x60, {0xE8, 0x00, 0x00, 0x00, 0x00, 0x58, 0x89, 0x08, 0xC3}},
    // The 4 bytes of Own from its second instruction. call $+5; pop eax; mov eax,[eax-16]; ret
    {"ReadOwn", 0x70, {0xE8, 0x00, 0x00, 0x00, 0x00, 0x58, 0x8B, 0x40, 0xF0, 0xC3}},
};

std::vector<uint8_t> FunctionsImage() {
  std::vector<uint8_t> Code(0x80, 0xCC);
  for (const Function &Each : FUNCTIONS) {
    std::copy(Each.Code.begin(), Each.Code.end(), Code.begin() + Each.Offset);
  }
  return BuildTe({Code, {}});
}

LinkMap FunctionsMap() {
  LinkMap Symbols;
  for (const Function &Each : FUNCTIONS) {
    Symbols.emplace(LinkedAddress(Each.Offset), Each.Name);
  }
  return Symbols;
}

struct CallCase {
  const char *Function;
  std::vector<CallArgument> Arguments;
  uint32_t Capacity;
  const char *Fault; // expected in the only fault; "" for a clean call
  uint32_t Eax;      // expected of a clean call
  std::string Text;  // expected at the start of the buffer of a clean call
};

const CallArgument OUTPUT = CallArgument::Output();

TEST(ImageCall, SlotsBlocksBufferAndFaults) {
  ImageCaller Caller;
  CallOptions Options;
  Options.MaxInstructions = 1000;
  std::string Error;
  ASSERT_TRUE(Caller.Load(FunctionsImage(), FunctionsMap(), Options, &Error)) << Error;
  const uint8_t Unterminated[] = {'a', 'b'};
  const std::vector<CallCase> Cases = {
      {"Copy", {OUTPUT, CallArgument::Text("hello")}, 6, "", 5, std::string("hello\0", 6)},
      {"Low",
       {CallArgument::Wide(0x1122334455667788), CallArgument::Word(9)},
       0,
       "",
       0x55667788,
       ""},
      {"High",
       {CallArgument::Wide(0x1122334455667788), CallArgument::Word(9)},
       0,
       "",
       0x11223344,
       ""},
      {"High", {CallArgument::Text(nullptr), CallArgument::Text16(nullptr)}, 0, "", 0, ""},
      {"Copy", {OUTPUT, CallArgument::Text16(u"hi")}, 8, "", 1, std::string("h\0", 2)},
      {"Copy",
       {OUTPUT, CallArgument::Text("hello")},
       5,
       "Copy touches call data outside its arguments and output buffer: 1-byte write at "
       "0xe0014025 (just past the end of the output buffer of 5 bytes) (EIP 0x0081020f, "
       "Copy+0xf)",
       0,
       ""},
      {"Before",
       {OUTPUT},
       4,
       "Before touches call data outside its arguments and output buffer: 1-byte write at "
       "0xe001401f (1 byte before the output buffer of 4 bytes) (EIP 0x0081023c, Before+0x4)",
       0,
       ""},
      {"Copy",
       {OUTPUT, CallArgument::Block(Unterminated, "bytes")},
       8,
       "1-byte read at 0xe0014062 (just past the end of argument 2 (bytes of 2 bytes))",
       0,
       ""},
      {"Scribble",
       {CallArgument::Text("ro")},
       0,
       "Scribble writes to argument 1 (8-bit string of 3 bytes): 1-byte write at 0xe0014050 "
       "(EIP 0x00810234, Scribble+0x4)",
       0,
       ""},
      {"Scribble", {CallArgument::Word(0x00400000)}, 0, "touches memory outside the image", 0, ""},
      {"Port",
       {},
       0,
       "Port reads port 0x0080: a function call has no platform behind the ports (EIP "
       "0x00810248, Port)",
       0,
       ""},
      {"Ebx", {}, 0, "Ebx changes callee-saved EBX from 0xb0b0b0b0 to 0x0", 0, ""},
      {"Loop", {}, 0, "Loop does not return within 1000 instructions", 0, ""},
      // The image's pages are as loaded again for the next call: the same fault, and Own's code
      // bytes, not the ECX value (0xcccccccc) the first call wrote over them.
      {"Own", {}, 0, "Own writes to its own pages: 4-byte write at 0x00810265", 0, ""},
      {"Own", {}, 0, "Own writes to its own pages: 4-byte write at 0x00810265", 0, ""},
      {"ReadOwn", {}, 0, "", 0xC3088958, ""},
      // After faults, the next call runs clean.
      {"Copy", {OUTPUT, CallArgument::Text("ok")}, 3, "", 2, std::string("ok\0", 3)},
  };
  for (const CallCase &Case : Cases) {
    SCOPED_TRACE(std::string(Case.Function) + ", capacity " + std::to_string(Case.Capacity));
    CallResult Result;
    ASSERT_TRUE(
        Caller.Call(Case.Function, Case.Arguments, {Case.Capacity, 32, 0xA5}, &Result, &Error))
        << Error;
    if (*Case.Fault == '\0') {
      EXPECT_EQ(Result.Faults, std::vector<std::string>());
      EXPECT_EQ(Result.Eax, Case.Eax);
    } else {
      ASSERT_EQ(Result.Faults.size(), 1u) << testing::PrintToString(Result.Faults);
      EXPECT_NE(Result.Faults[0].find(Case.Fault), std::string::npos) << Result.Faults[0];
    }
    EXPECT_GT(Result.Instructions, 0u);
    const bool HasOutput = !Case.Arguments.empty() && Case.Arguments[0].Is == OUTPUT.Is;
    ASSERT_EQ(Result.Output.size(), HasOutput ? Case.Capacity + 64 : 0);
    if (HasOutput && *Case.Fault == '\0') {
      const std::string Buffer(Result.Output.begin() + 32, Result.Output.end() - 32);
      EXPECT_EQ(Buffer.substr(0, Case.Text.size()), Case.Text);
      // The guards as they were.
      EXPECT_EQ(std::string(Result.Output.begin(), Result.Output.begin() + 32),
                std::string(32, '\xA5'));
      EXPECT_EQ(std::string(Result.Output.end() - 32, Result.Output.end()),
                std::string(32, '\xA5'));
    }
  }
  // Each instruction of Copy once, with its length: 14 instructions, 27 bytes.
  uint32_t CopyBytes = 0, CopyInstructions = 0;
  for (const auto &[Rva, Length] : Caller.Executed()) {
    if (Rva >= TEST_TEXT_RVA && Rva < TEST_TEXT_RVA + 0x20) {
      CopyBytes += Length;
      ++CopyInstructions;
    }
  }
  EXPECT_EQ(CopyInstructions, 14u);
  EXPECT_EQ(CopyBytes, 27u);
}

TEST(ImageCall, CallsThatCannotBeMade) {
  ImageCaller Caller;
  CallResult Result;
  std::string Error;
  EXPECT_FALSE(Caller.Call("Copy", {}, {}, &Result, &Error));
  EXPECT_EQ(Error, "no image loaded");

  CallOptions Options;
  Options.DataSize = 4096;
  ASSERT_TRUE(Caller.Load(FunctionsImage(), FunctionsMap(), Options, &Error)) << Error;
  EXPECT_FALSE(Caller.Call("Nope", {}, {}, &Result, &Error));
  EXPECT_EQ(Error, "the link map has no function Nope");
  const std::vector<uint8_t> Large(4096, 'x');
  const std::vector<CallArgument> TooLarge = {CallArgument::Block(Large, "bytes")};
  EXPECT_FALSE(Caller.Call("Low", TooLarge, {}, &Result, &Error));
  EXPECT_EQ(Error, "argument 1 does not fit in the call data area of 4096 bytes");
  const std::vector<CallArgument> Buffer = {OUTPUT};
  EXPECT_FALSE(Caller.Call("Low", Buffer, {4096, 32, 0}, &Result, &Error));
  EXPECT_EQ(Error, "the output buffer of 4096 bytes does not fit in the call data area of 4096 "
                   "bytes");
  const std::vector<CallArgument> ManySlots(20000, CallArgument::Word(0));
  EXPECT_FALSE(Caller.Call("Low", ManySlots, {}, &Result, &Error));
  EXPECT_EQ(Error, "20000 argument slots do not fit");

  ImageCaller Missing;
  EXPECT_FALSE(LoadImageFiles("/nonexistent/oemcom.te", OEMCOM_MAP_PATH, {}, &Missing, &Error));
  EXPECT_EQ(Error.rfind("/nonexistent/oemcom.te: cannot open: ", 0), 0u) << Error;
  EXPECT_FALSE(LoadImageFiles(OEMCOM_TE_PATH, "/nonexistent/oemcom.map", {}, &Missing, &Error));
  EXPECT_EQ(Error.rfind("/nonexistent/oemcom.map: cannot open: ", 0), 0u) << Error;
}

} // namespace
