#include "cpu_session.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include <unicorn/unicorn.h>
#include <unicorn/x86.h>

#include "image_loader.h"
#include "messages.h"
#include "platform_model.h"
#include "run_layout.h"
#include "run_result.h"
#include "struct_io.h"

namespace {

struct CalleeSaved {
  uc_x86_reg Id;
  uint32_t Value; // preloaded before the call, expected back after it
  const char *Name;
};

constexpr CalleeSaved CALLEE_SAVED[] = {
    {UC_X86_REG_EBX, 0xB0B0B0B0, "EBX"},
    {UC_X86_REG_ESI, 0x51515151, "ESI"},
    {UC_X86_REG_EDI, 0xD1D1D1D1, "EDI"},
    {UC_X86_REG_EBP, 0xB9B9B9B9, "EBP"},
};

// Scratch registers get values no correct result would take by accident.
constexpr uint32_t EAX_IN = 0xAAAAAAAA;
constexpr uint32_t ECX_IN = 0xCCCCCCCC;
constexpr uint32_t EDX_IN = 0xDDDDDDDD;

constexpr uint32_t EFLAGS_IF = 1u << 9;         // interrupts enabled: set on entry and on return
constexpr uint32_t EFLAGS_DF = 1u << 10;        // direction flag: clear on entry and on return
constexpr uint32_t EFLAGS_IN = 0x2 | EFLAGS_IF; // bit 1 always reads one
constexpr uint8_t HLT = 0xF4;                   // fills the sentinel page
constexpr uint64_t HOST_TIME_LIMIT_US = 60000000;

// True when every call succeeded; otherwise false, with the first failure's reason in Error.
template <typename Results> bool AllDone(const Results &Statuses, std::string *Error) {
  const auto Failed = std::find_if(std::begin(Statuses), std::end(Statuses),
                                   [](uc_err Status) { return Status != UC_ERR_OK; });
  if (Failed != std::end(Statuses)) {
    return Fail(Error, uc_strerror(*Failed));
  }
  return true;
}

} // namespace

CpuSession::CpuSession(const RunLayout &Layout, uint64_t MaxInstructions, PlatformModel &Model,
                       RunResult &Result)
    : Layout(Layout), MaxInstructions(MaxInstructions), Model(&Model), Result(Result) {}

CpuSession::CpuSession(const RunLayout &Layout, uint64_t MaxInstructions, RunResult &Result)
    : Layout(Layout), MaxInstructions(MaxInstructions), Model(nullptr), Result(Result) {}

CpuSession::~CpuSession() {
  if (Uc != nullptr) {
    uc_close(Uc); // its status is of no use: the engine is gone either way
  }
}

bool CpuSession::Load(LoadedImage &Image, std::string *Error) {
  if (Image.PagesLow != Layout.PagesLow ||
      Image.Pages.size() != Layout.PagesHigh - Layout.PagesLow) {
    return Fail(Error, "the image's pages differ from the layout's");
  }
  const uc_err Opened = uc_open(UC_ARCH_X86, UC_MODE_32, &Uc);
  if (Opened != UC_ERR_OK) {
    Uc = nullptr;
    return Fail(Error, uc_strerror(Opened));
  }
  const std::vector<uint8_t> Halts(PAGE_SIZE, HLT);
  // The emulator runs on the loader's pages themselves. They are fully accessible: the memory
  // hook, not the page protection, decides what the image may touch, so that every breach gets a
  // message of its own. So is the call data area, where the hook checks the call's regions.
  std::vector<uc_err> Results = {
      uc_mem_map_ptr(Uc, Layout.PagesLow, Image.Pages.size(), UC_PROT_ALL, Image.Pages.data()),
      uc_mem_map(Uc, Layout.StackLow, Layout.StackTop - Layout.StackLow,
                 UC_PROT_READ | UC_PROT_WRITE),
      uc_mem_map(Uc, Layout.Sentinel, PAGE_SIZE, UC_PROT_EXEC),
      uc_mem_write(Uc, Layout.Sentinel, Halts.data(), Halts.size()),
  };
  if (Layout.DataHigh > Layout.DataLow) {
    Results.push_back(uc_mem_map(Uc, Layout.DataLow, Layout.DataHigh - Layout.DataLow,
                                 UC_PROT_READ | UC_PROT_WRITE));
  }
  // The dispatcher's call: push SystemTable, push ImageHandle, call Entry.
  CallSetup Entry;
  Entry.Function = Image.Entry();
  Entry.Slots = {Layout.ImageHandle, Layout.SystemTable};
  Entry.SlotsReadable = false;
  return AllDone(Results, Error) && AddHooks(Error) && SetUpCall(Entry, Error);
}

bool CpuSession::AddHooks(std::string *Error) {
  constexpr uint64_t ALL_BEGIN = 1, ALL_END = 0; // begin > end: every address
  uc_hook Hook;
  const uc_err Results[] = {
      uc_hook_add(Uc, &Hook, UC_HOOK_CODE, reinterpret_cast<void *>(OnCode), this, ALL_BEGIN,
                  ALL_END),
      uc_hook_add(Uc, &Hook, UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE,
                  reinterpret_cast<void *>(OnMemory), this, ALL_BEGIN, ALL_END),
      uc_hook_add(Uc, &Hook, UC_HOOK_MEM_INVALID, reinterpret_cast<void *>(OnBadMemory), this,
                  ALL_BEGIN, ALL_END),
      uc_hook_add(Uc, &Hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnIn), this, ALL_BEGIN, ALL_END,
                  UC_X86_INS_IN),
      uc_hook_add(Uc, &Hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnOut), this, ALL_BEGIN,
                  ALL_END, UC_X86_INS_OUT),
      uc_hook_add(Uc, &Hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnSystemCall), this, ALL_BEGIN,
                  ALL_END, UC_X86_INS_SYSCALL),
      uc_hook_add(Uc, &Hook, UC_HOOK_INSN, reinterpret_cast<void *>(OnSystemCall), this, ALL_BEGIN,
                  ALL_END, UC_X86_INS_SYSENTER),
      uc_hook_add(Uc, &Hook, UC_HOOK_INTR, reinterpret_cast<void *>(OnInterrupt), this, ALL_BEGIN,
                  ALL_END),
      uc_hook_add(Uc, &Hook, UC_HOOK_INSN_INVALID, reinterpret_cast<void *>(OnInvalid), this,
                  ALL_BEGIN, ALL_END),
  };
  return AllDone(Results, Error);
}

bool CpuSession::SetUpCall(const CallSetup &Call, std::string *Error) {
  // The slots sit at the top of the stack, the return address below them.
  const uint64_t FrameBytes = (uint64_t{Call.Slots.size()} + 1) * sizeof(uint32_t);
  if (FrameBytes > Layout.StackTop - Layout.StackLow ||
      (!Call.SlotsReadable && Call.Slots.size() * sizeof(uint32_t) > 8)) {
    return Fail(Error, std::to_string(Call.Slots.size()) + " argument slots do not fit");
  }
  std::vector<uint32_t> Frame = {Layout.Sentinel};
  Frame.insert(Frame.end(), Call.Slots.begin(), Call.Slots.end());
  const uint32_t EntryEsp = Layout.StackTop - static_cast<uint32_t>(FrameBytes);
  CallStart = Call.Function;
  CallEsp = EntryEsp + 4;
  SlotsReadable = Call.SlotsReadable;
  Regions = Call.Regions;
  Eip = 0;
  Stopping = false;
  ArgumentWritten = 0;
  ModelFaultsSeen = Model == nullptr ? 0 : Model->Faults().size();
  // The host is little-endian too.
  std::vector<uc_err> Results = {
      uc_mem_write(Uc, EntryEsp, Frame.data(), Frame.size() * sizeof(uint32_t))};
  const std::pair<int, uint32_t> Registers[] = {
      {UC_X86_REG_ESP, EntryEsp}, {UC_X86_REG_EIP, Call.Function}, {UC_X86_REG_EAX, EAX_IN},
      {UC_X86_REG_ECX, ECX_IN},   {UC_X86_REG_EDX, EDX_IN},        {UC_X86_REG_EFLAGS, EFLAGS_IN},
  };
  std::transform(
      std::begin(Registers), std::end(Registers), std::back_inserter(Results),
      [this](const auto &Register) { return uc_reg_write(Uc, Register.first, &Register.second); });
  std::transform(
      std::begin(CALLEE_SAVED), std::end(CALLEE_SAVED), std::back_inserter(Results),
      [this](const CalleeSaved &Saved) { return uc_reg_write(Uc, Saved.Id, &Saved.Value); });
  LowestEsp = EntryEsp;
  return AllDone(Results, Error);
}

void CpuSession::CallEntry(uint32_t Entry) {
  Execute(Entry, HOST_TIME_LIMIT_US);
}

// Without a host time limit: Unicorn's timer is a thread that polls every 100 us and is joined
// at the end of each run, which would cost a short call several times its own time. The
// instruction bound ends every call.
void CpuSession::Call() {
  Execute(CallStart, 0);
}

bool CpuSession::WriteMemory(uint32_t Address, ByteView Bytes, std::string *Error) {
  const uc_err Status = uc_mem_write(Uc, Address, Bytes.data(), Bytes.size());
  if (Status != UC_ERR_OK) {
    return Fail(Error,
                "write to emulated memory at " + Hex(Address, 8) + ": " + uc_strerror(Status));
  }
  return true;
}

bool CpuSession::ReadMemory(uint32_t Address, std::vector<uint8_t> *Bytes, std::string *Error) {
  const uc_err Status = uc_mem_read(Uc, Address, Bytes->data(), Bytes->size());
  if (Status != UC_ERR_OK) {
    return Fail(Error,
                "read of emulated memory at " + Hex(Address, 8) + ": " + uc_strerror(Status));
  }
  return true;
}

bool CpuSession::ForgetCode(uint64_t Low, uint64_t High, std::string *Error) {
  const uc_err Status = uc_ctl_remove_cache(Uc, Low, High);
  if (Status != UC_ERR_OK) {
    return Fail(Error, std::string("dropping translated code: ") + uc_strerror(Status));
  }
  return true;
}

void CpuSession::Execute(uint32_t Function, uint64_t TimeLimitUs) {
  const auto Start = std::chrono::steady_clock::now();
  const uc_err Status = uc_emu_start(Uc, Function, Layout.Sentinel, TimeLimitUs, 0);
  const auto Elapsed = std::chrono::steady_clock::now() - Start;
  TakeExecuted();
  Result.PeakStack = CallEsp - LowestEsp;
  Result.Eax = Register(UC_X86_REG_EAX);
  if (!Result.Faults.empty()) {
    return;
  }
  Eip = Register(UC_X86_REG_EIP);
  if (Status != UC_ERR_OK) {
    Fault(std::string("stops with emulator error: ") + uc_strerror(Status));
  } else if (Eip != Layout.Sentinel) {
    Fault(TimeLimitUs != 0 && Elapsed >= std::chrono::microseconds(TimeLimitUs)
              ? "does not return within the host time limit of 60 s"
              : "stops without returning");
  } else {
    CheckReturn();
  }
}

void CpuSession::TakeExecuted() {
  // The entries stay for the next run, which mostly executes the same instructions.
  for (auto &[Rva, At] : ExecutedAt) {
    if (At.Count != 0) {
      Result.InstructionsAt[Rva] += At.Count;
      Result.InstructionLengths[Rva] = At.Length;
      At.Count = 0;
    }
  }
}

void CpuSession::CheckReturn() {
  const uint32_t Esp = Register(UC_X86_REG_ESP);
  if (Esp != CallEsp) {
    const int64_t Off = int64_t{Esp} - CallEsp;
    Result.Faults.push_back("returns with ESP " + Hex(Esp, 8) + " instead of " + Hex(CallEsp, 8) +
                            " (" + (Off > 0 ? "+" : "") + std::to_string(Off) +
                            " bytes; the caller removes the arguments)");
  }
  for (const CalleeSaved &Saved : CALLEE_SAVED) {
    const uint32_t Value = Register(Saved.Id);
    if (Value != Saved.Value) {
      Result.Faults.push_back(std::string("changes callee-saved ") + Saved.Name + " from " +
                              Hex(Saved.Value, 8) + " to " + Hex(Value, 8));
    }
  }
  const uint32_t Flags = Register(UC_X86_REG_EFLAGS);
  if ((Flags & EFLAGS_DF) != 0) {
    Result.Faults.push_back("returns with the direction flag set");
  }
  if ((Flags & EFLAGS_IF) == 0) {
    Result.Faults.push_back("returns with interrupts disabled");
  }
}

uint32_t CpuSession::Register(int Id) {
  uint32_t Value = 0;
  const uc_err Status = uc_reg_read(Uc, Id, &Value);
  if (Status != UC_ERR_OK) {
    Fault(std::string("stops with emulator error: register read: ") + uc_strerror(Status));
  }
  return Value;
}

void CpuSession::Fault(const std::string &What) {
  const std::string Place = PlaceOf ? PlaceOf(Eip) : "";
  Result.Faults.push_back(What + " (EIP " + Hex(Eip, 8) + (Place.empty() ? "" : ", " + Place) +
                          ")");
  if (!Stopping) {
    Stopping = true;
    const uc_err Status = uc_emu_stop(Uc);
    if (Status != UC_ERR_OK) {
      Result.Faults.push_back(std::string("stops with emulator error: stop: ") +
                              uc_strerror(Status));
    }
  }
}
