// One emulated image on the Unicorn engine, its memory map, and the hooks that check every
// instruction, memory access and port access while it runs a call: the entry point's, as the
// module dispatcher makes it, or a function's, with the arguments and memory the caller gives it
// (cpu_session.cpp sets up and checks the calls, cpu_hooks.cpp holds the hooks).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <unicorn/unicorn.h>

#include "image_loader.h"
#include "platform_model.h"
#include "run_layout.h"
#include "run_result.h"
#include "struct_io.h"

// Memory a function call is given inside the layout's call data area: a block it may only
// read (a string or other argument), or one it may also write (its output buffer).
struct CallRegion {
  uint32_t Low = 0, High = 0; // [Low, High)
  bool Writable = false;
  // For fault messages: which argument points at it (from 1), and what it holds ("8-bit
  // string"); the output buffer when Argument is 0.
  uint32_t Argument = 0;
  const char *What = "";
};

// "argument 3 (8-bit string of 6 bytes)", "the output buffer of 5 bytes".
std::string RegionName(const CallRegion &Region);

// A call the session makes: the function's address and its 32-bit argument slots, the first at
// [esp+4] on entry, with the return address below them pointing at the layout's sentinel.
struct CallSetup {
  uint32_t Function = 0;
  std::vector<uint32_t> Slots;
  // False for the entry, which must not read its arguments before writing them; at most 8
  // bytes of slots are tracked then.
  bool SlotsReadable = true;
  std::vector<CallRegion> Regions; // in the call data area, apart from each other
};

class CpuSession {
public:
  // Faults, counts and the result go to Result as a call proceeds. Port accesses go to Model;
  // without one, every port access is a fault.
  CpuSession(const RunLayout &Layout, uint64_t MaxInstructions, PlatformModel &Model,
             RunResult &Result);
  CpuSession(const RunLayout &Layout, uint64_t MaxInstructions, RunResult &Result);
  ~CpuSession();
  CpuSession(const CpuSession &) = delete;
  CpuSession &operator=(const CpuSession &) = delete;

  // Maps the image's pages (the emulator runs on Image.Pages, which must outlive the session),
  // the stack, the sentinel and the call data area, installs the hooks, and sets up the call of
  // the image's entry point: the arguments and return address on the stack, the registers.
  [[nodiscard]] bool Load(LoadedImage &Image, std::string *Error);
  // Runs the call set up by Load from Entry, then checks how it returned.
  void CallEntry(uint32_t Entry);

  // Sets up another call, on the loaded image: its frame, the registers, and the memory it is
  // given. Result's counts go on from where they are; the caller resets them between calls.
  [[nodiscard]] bool SetUpCall(const CallSetup &Call, std::string *Error);
  // Runs the call last set up, then checks how it returned. Only the instruction bound limits
  // its time.
  void Call();

  // Copies between the host and the emulated memory, such as the call data area.
  [[nodiscard]] bool WriteMemory(uint32_t Address, ByteView Bytes, std::string *Error);
  [[nodiscard]] bool ReadMemory(uint32_t Address, std::vector<uint8_t> *Bytes, std::string *Error);

  // Drops what the emulator translated of the code in [Low, High), after the host changed it.
  [[nodiscard]] bool ForgetCode(uint64_t Low, uint64_t High, std::string *Error);

  // Names the place of an instruction in fault messages, after its EIP: "PutText+0x12".
  void NamePlaces(std::function<std::string(uint32_t Address)> Namer) {
    PlaceOf = std::move(Namer);
  }

private:
  static void OnCode(uc_engine *Uc, uint64_t Address, uint32_t Size, void *User);
  static void OnMemory(uc_engine *Uc, uc_mem_type Type, uint64_t Address, int Size, int64_t Value,
                       void *User);
  static bool OnBadMemory(uc_engine *Uc, uc_mem_type Type, uint64_t Address, int Size,
                          int64_t Value, void *User);
  static uint32_t OnIn(uc_engine *Uc, uint32_t Port, int Size, void *User);
  static void OnOut(uc_engine *Uc, uint32_t Port, int Size, uint32_t Value, void *User);
  static void OnSystemCall(uc_engine *Uc, void *User);
  static void OnInterrupt(uc_engine *Uc, uint32_t Number, void *User);
  static bool OnInvalid(uc_engine *Uc, void *User);

  [[nodiscard]] bool AddHooks(std::string *Error);
  // Runs from Function to the return sentinel; a TimeLimitUs of 0 sets no host time limit.
  void Execute(uint32_t Function, uint64_t TimeLimitUs);
  void CheckReturn();
  void CheckArgumentAccess(bool IsWrite, uint64_t Low, uint64_t High);
  void CheckCallData(bool IsWrite, uint64_t Low, uint64_t High);
  void CheckModel();
  // Adds what the run executed to Result's counts and lengths by RVA.
  void TakeExecuted();
  // Records a fault, with the EIP of the instruction at fault, and stops the CPU.
  void Fault(const std::string &What);
  // The register's value; a failed read is a fault.
  uint32_t Register(int Id);

  const RunLayout &Layout;
  uint64_t MaxInstructions;
  PlatformModel *Model; // null: no port may be used
  RunResult &Result;
  uc_engine *Uc = nullptr;
  std::function<std::string(uint32_t)> PlaceOf;
  // The call set up last.
  uint32_t CallStart = 0;          // the function's address
  uint32_t CallEsp = 0;            // ESP before the call: at the first argument slot
  bool SlotsReadable = false;      // the entry's are not
  std::vector<CallRegion> Regions; // what it is given in the call data area
  uint32_t Eip = 0;                // the instruction being executed, from the code hook
  uint32_t LowestEsp = 0;          // seen at the start of any instruction
  bool Stopping = false;           // a fault was found: hooks stay quiet until the CPU halts
  uint8_t ArgumentWritten = 0;     // one bit per argument byte the image wrote before reading
  size_t ModelFaultsSeen = 0;
  // Executed inside the image during the run, by RVA: a hash lookup per instruction, where the
  // result's ordered maps would cost several times as much.
  struct Executed {
    uint64_t Count = 0;
    uint32_t Length = 0;
  };
  std::unordered_map<uint32_t, Executed> ExecutedAt;
};
