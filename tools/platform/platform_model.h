// A model of the platform behind the module's ports: the probe port, the Super I/O
// configuration index/data ports, the bus delay port and a 16550 UART at SERIAL_BASE.
// It records every access in order, names it in the platform's terms, and flags accesses
// that real hardware would not tolerate.
//
// Its UART lets only LSR bit 5 (THRE) matter: ready reads report THRE set with TEMT clear and
// vary in another bit, busy reads report every bit but THRE. A module that waits for TEMT or
// compares LSR with one exact value therefore polls again after a ready report; the model
// records that as a fault and then answers the common idle patterns in turn, so that such a
// module gets out of its loop instead of spinning where no instruction limit can stop it.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "port_names.h"

// What the model's LSR answers: every bit but THRE while busy; THRE alone, then THRE and data
// ready, alternating over the ready reports of a run (Index counts them from 0).
constexpr uint8_t MODEL_LSR_BUSY = 0xDF;
constexpr uint8_t ModelLsrReady(uint32_t Index) {
  return Index % 2 == 0 ? 0x20 : 0x21;
}

struct PlatformOptions {
  uint8_t Probe = 0xFF;          // what SIO_PROBE_PORT reads
  uint32_t BusyPollsPerByte = 0; // LSR reads that report THRE clear before each byte
};

class PlatformModel {
public:
  explicit PlatformModel(const PlatformOptions &Options = {});

  uint8_t Read(uint16_t Port);
  void Write(uint16_t Port, uint8_t Value);

  // LSR values answered, in order, before the per-byte busy rule applies again.
  void ScriptLsr(const std::vector<uint8_t> &Values);

  const std::vector<PortAccess> &Trace() const { return Accesses; }
  const std::string &Line() const { return Serial; } // bytes written to THR
  // What the module did that the hardware would not tolerate, each to follow "the module ":
  // "writes unmodelled port 0x0242".
  const std::vector<std::string> &Faults() const { return Problems; }

  uint8_t Lcr() const { return LineControl; }
  uint16_t Divisor() const { return static_cast<uint16_t>(DivisorHigh << 8 | DivisorLow); }
  // Logical-device register of the Super I/O, or 0 if never written.
  uint8_t SioRegister(uint8_t Ldn, uint8_t Register) const;

private:
  uint8_t ReadLsr();
  void WriteSio(uint8_t Value);

  PlatformOptions Options;
  PortNamer Namer;
  std::vector<PortAccess> Accesses;
  std::string Serial;
  std::vector<std::string> Problems;
  std::deque<uint8_t> LsrScript;
  uint32_t BusyLeft;
  bool LastLsrBusy = false;
  bool ReadyReported = false; // THRE reported set since the last THR write
  uint32_t ReadyReports = 0;  // over the run, for ModelLsrReady
  uint32_t RepeatedPolls = 0; // LSR reads after a ready report, for this byte
  uint8_t SioIndex = 0;
  uint8_t SioLdn = 0;
  uint8_t SioGlobal[0x30] = {};
  std::map<uint16_t, uint8_t> SioDevice; // (LDN << 8 | register) -> value
  uint8_t LineControl = 0;
  uint8_t DivisorLow = 0;
  uint8_t DivisorHigh = 0;
};

// Trace, configuration summary and serial line, as the run commands print them.
std::string PlatformReport(const PlatformModel &Model);
