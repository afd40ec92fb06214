// One emulated call of an image's entry point: the Unicorn engine, its memory map, and the
// hooks that check every instruction, memory access and port access while it runs
// (cpu_session.cpp sets up and checks the call, cpu_hooks.cpp holds the hooks).
#pragma once

#include <cstdint>
#include <string>

#include <unicorn/unicorn.h>

#include "image_loader.h"
#include "platform_model.h"
#include "run_result.h"

class CpuSession {
public:
  // Faults, counts and the result go to Result as the call proceeds.
  CpuSession(const RunLayout &Layout, uint64_t MaxInstructions, PlatformModel &Model,
             RunResult &Result);
  ~CpuSession();
  CpuSession(const CpuSession &) = delete;
  CpuSession &operator=(const CpuSession &) = delete;

  // Maps the image's pages (the emulator runs on Image.Pages, which must outlive the session),
  // the stack and the sentinel, installs the hooks, and sets up the call of the image's entry
  // point: the arguments and return address on the stack, the registers.
  [[nodiscard]] bool Load(LoadedImage &Image, std::string *Error);
  // Runs the call set up by Load from Entry, then checks how it returned.
  void CallEntry(uint32_t Entry);

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
  [[nodiscard]] bool SetUpCall(uint32_t Entry, std::string *Error);
  void CheckReturn();
  void CheckArgumentAccess(bool IsWrite, uint64_t Low, uint64_t High);
  void CheckModel();
  // Records a fault, with the EIP of the instruction at fault, and stops the CPU.
  void Fault(const std::string &What);
  // The register's value; a failed read is a fault.
  uint32_t Register(int Id);

  const RunLayout &Layout;
  uint64_t MaxInstructions;
  PlatformModel &Model;
  RunResult &Result;
  uc_engine *Uc = nullptr;
  uint32_t Eip = 0;            // the instruction being executed, from the code hook
  uint32_t LowestEsp = 0;      // seen at the start of any instruction
  bool Stopping = false;       // a fault was found: hooks stay quiet until the CPU halts
  uint8_t ArgumentWritten = 0; // one bit per argument byte the image wrote before reading
  size_t ModelFaultsSeen = 0;
};
