// The checks made while the image runs: per instruction, per memory access, per port access,
// and on CPU exceptions. Each breach becomes a fault message and stops the CPU.
//
// Memory: the image's own bytes may be read, never written; the stack may be read and written,
// except that the entry must not read its arguments; in the call data area, a function call may
// touch only the regions it is given, and write only the writable ones; nothing else.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <unicorn/unicorn.h>
#include <unicorn/x86.h>

#include "cpu_session.h"
#include "messages.h"
#include "name_table.h"
#include "run_layout.h"

namespace {

bool Within(uint64_t Low, uint64_t High, uint64_t RegionLow, uint64_t RegionHigh) {
  return Low >= RegionLow && High <= RegionHigh;
}

std::string AccessText(const char *Kind, uint64_t Address, int Size) {
  return std::to_string(Size) + "-byte " + Kind + " at " + Hex(Address, 8);
}

std::string WithRole(const RunLayout &Layout, uint64_t Address) {
  const std::string Role = AddressRole(Layout, static_cast<uint32_t>(Address));
  return Role.empty() ? "" : " (" + Role + ")";
}

std::string ExecutesOutside(const RunLayout &Layout, uint64_t Address) {
  return "executes outside the image at " + Hex(Address, 8) + WithRole(Layout, Address);
}

std::string TouchesOutside(const RunLayout &Layout, bool IsWrite, uint64_t Address, int Size) {
  return "touches memory outside the image and the stack: " +
         AccessText(IsWrite ? "write" : "read", Address, Size) + WithRole(Layout, Address);
}

constexpr Named EXCEPTIONS[] = {{0, "#DE divide error"},        {1, "#DB debug"},
                                {3, "#BP breakpoint"},          {4, "#OF overflow"},
                                {5, "#BR bound range"},         {6, "#UD invalid opcode"},
                                {13, "#GP general protection"}, {14, "#PF page fault"}};

// "13 (#GP general protection)", or the bare number.
std::string ExceptionName(uint32_t Number) {
  const char *Name = NameOf(EXCEPTIONS, Number, nullptr);
  return std::to_string(Number) + (Name == nullptr ? "" : std::string(" (") + Name + ")");
}

// Where an access outside every region of the call lies: " (2 bytes past the end of argument
// 3 (8-bit string, 6 bytes))", from the nearest region below it, else above it.
std::string Nearest(const std::vector<CallRegion> &Regions, uint64_t Address) {
  const CallRegion *Below = nullptr;
  const CallRegion *Above = nullptr;
  for (const CallRegion &Region : Regions) {
    if (Region.High <= Address && (Below == nullptr || Region.High > Below->High)) {
      Below = &Region;
    } else if (Region.Low > Address && (Above == nullptr || Region.Low < Above->Low)) {
      Above = &Region;
    }
  }
  if (Below != nullptr) {
    const uint64_t Past = Address - Below->High;
    return Past == 0
               ? " (just past the end of " + RegionName(*Below) + ")"
               : " (" + Counted(Past, "byte") + " past the end of " + RegionName(*Below) + ")";
  }
  if (Above != nullptr) {
    return " (" + Counted(Above->Low - Address, "byte") + " before " + RegionName(*Above) + ")";
  }
  return "";
}

constexpr char NO_PORTS[] = ": a function call has no platform behind the ports";

CpuSession &Self(void *User) {
  return *static_cast<CpuSession *>(User);
}

} // namespace

std::string RegionName(const CallRegion &Region) {
  const std::string Bytes = Counted(Region.High - Region.Low, "byte");
  if (Region.Argument == 0) {
    return "the output buffer of " + Bytes;
  }
  return "argument " + std::to_string(Region.Argument) + " (" + Region.What + " of " + Bytes + ")";
}

void CpuSession::CheckModel() {
  const std::vector<std::string> &Faults = Model->Faults();
  for (; ModelFaultsSeen < Faults.size(); ++ModelFaultsSeen) {
    Fault(Faults[ModelFaultsSeen]);
  }
}

void CpuSession::CheckArgumentAccess(bool IsWrite, uint64_t Low, uint64_t High) {
  const uint64_t Arguments = Layout.StackTop - 8;
  for (uint64_t Address = std::max(Low, Arguments); Address < High; ++Address) {
    const unsigned Bit = static_cast<unsigned>(Address - Arguments);
    if (IsWrite) {
      ArgumentWritten |= static_cast<uint8_t>(1u << Bit);
    } else if ((ArgumentWritten & (1u << Bit)) == 0) {
      Fault(std::string("reads its entry argument ") +
            (Bit < 4 ? "ImageHandle ([esp+4] at entry)" : "SystemTable ([esp+8] at entry)"));
      return;
    }
  }
}

void CpuSession::CheckCallData(bool IsWrite, uint64_t Low, uint64_t High) {
  const auto Holder =
      std::find_if(Regions.begin(), Regions.end(), [Low, High](const CallRegion &Region) {
        return Within(Low, High, Region.Low, Region.High);
      });
  const int Size = static_cast<int>(High - Low);
  if (Holder != Regions.end()) {
    if (IsWrite && !Holder->Writable) {
      Fault("writes to " + RegionName(*Holder) + ": " + AccessText("write", Low, Size));
    }
    return;
  }
  Fault("touches call data outside its arguments and output buffer: " +
        AccessText(IsWrite ? "write" : "read", Low, Size) + Nearest(Regions, Low));
}

void CpuSession::OnCode(uc_engine *, uint64_t Address, uint32_t Size, void *User) {
  CpuSession &Run = Self(User);
  Run.Eip = static_cast<uint32_t>(Address);
  if (Run.Stopping) {
    return;
  }
  if (Run.Result.Instructions == Run.MaxInstructions) {
    Run.Fault("does not return within " + std::to_string(Run.MaxInstructions) + " instructions");
    return;
  }
  ++Run.Result.Instructions;
  // Only the start is checked: Size is not a length for an instruction that fails to decode.
  if (!Within(Address, Address + 1, Run.Layout.ImageLow, Run.Layout.ImageHigh)) {
    Run.Fault(ExecutesOutside(Run.Layout, Address));
    return;
  }
  Executed &At = Run.ExecutedAt[Run.Eip - Run.Layout.ImageLow];
  ++At.Count;
  At.Length = Size;
  Run.LowestEsp = std::min(Run.LowestEsp, Run.Register(UC_X86_REG_ESP));
}

void CpuSession::OnMemory(uc_engine *, uc_mem_type Type, uint64_t Address, int Size, int64_t,
                          void *User) {
  CpuSession &Run = Self(User);
  if (Run.Stopping) {
    return;
  }
  const bool IsWrite = Type == UC_MEM_WRITE;
  const uint64_t End = Address + static_cast<uint64_t>(Size);
  const RunLayout &Layout = Run.Layout;
  if (Within(Address, End, Layout.ImageLow, Layout.ImageHigh)) {
    if (IsWrite) {
      Run.Fault("writes to its own pages: " + AccessText("write", Address, Size) + " (RVA " +
                Hex(Address - Layout.ImageLow, 8) + ")");
    }
  } else if (Within(Address, End, Layout.StackLow, Layout.StackTop)) {
    if (!Run.SlotsReadable) {
      Run.CheckArgumentAccess(IsWrite, Address, End);
    }
  } else if (Within(Address, End, Layout.DataLow, Layout.DataHigh)) {
    Run.CheckCallData(IsWrite, Address, End);
  } else {
    Run.Fault(TouchesOutside(Layout, IsWrite, Address, Size));
  }
}

bool CpuSession::OnBadMemory(uc_engine *, uc_mem_type Type, uint64_t Address, int Size, int64_t,
                             void *User) {
  CpuSession &Run = Self(User);
  if (Run.Stopping) {
    return false;
  }
  if (Type == UC_MEM_FETCH_UNMAPPED || Type == UC_MEM_FETCH_PROT) {
    Run.Fault(ExecutesOutside(Run.Layout, Address));
  } else {
    const bool IsWrite = Type == UC_MEM_WRITE_UNMAPPED || Type == UC_MEM_WRITE_PROT;
    Run.Fault(TouchesOutside(Run.Layout, IsWrite, Address, Size));
  }
  return false;
}

uint32_t CpuSession::OnIn(uc_engine *, uint32_t Port, int Size, void *User) {
  CpuSession &Run = Self(User);
  if (Run.Stopping) {
    return UINT32_MAX;
  }
  if (Run.Model == nullptr) {
    Run.Fault("reads port " + Hex(Port, 4) + NO_PORTS);
    return UINT32_MAX;
  }
  if (Size != 1) {
    Run.Fault(std::to_string(Size * 8) + "-bit IN from port " + Hex(Port, 4) +
              ": only byte access is modelled");
    return UINT32_MAX;
  }
  const uint8_t Value = Run.Model->Read(static_cast<uint16_t>(Port));
  Run.Result.PortAccessEips.push_back(Run.Eip);
  Run.CheckModel();
  return Value;
}

void CpuSession::OnOut(uc_engine *, uint32_t Port, int Size, uint32_t Value, void *User) {
  CpuSession &Run = Self(User);
  if (Run.Stopping) {
    return;
  }
  if (Run.Model == nullptr) {
    Run.Fault("writes port " + Hex(Port, 4) + NO_PORTS);
    return;
  }
  if (Size != 1) {
    Run.Fault(std::to_string(Size * 8) + "-bit OUT to port " + Hex(Port, 4) +
              ": only byte access is modelled");
    return;
  }
  Run.Model->Write(static_cast<uint16_t>(Port), static_cast<uint8_t>(Value));
  Run.Result.PortAccessEips.push_back(Run.Eip);
  Run.CheckModel();
}

void CpuSession::OnInterrupt(uc_engine *, uint32_t Number, void *User) {
  CpuSession &Run = Self(User);
  if (!Run.Stopping) {
    Run.Fault("raises CPU exception or interrupt " + ExceptionName(Number));
  }
}

void CpuSession::OnSystemCall(uc_engine *, void *User) {
  CpuSession &Run = Self(User);
  if (!Run.Stopping) {
    Run.Fault("executes a system call instruction");
  }
}

bool CpuSession::OnInvalid(uc_engine *, void *User) {
  CpuSession &Run = Self(User);
  if (!Run.Stopping) {
    Run.Fault("executes an invalid instruction");
  }
  return false;
}
