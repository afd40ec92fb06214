// A model of the platform behind the module's ports: the probe port, the Super I/O
// configuration index/data ports, the bus delay port and a 16550 UART at SERIAL_BASE.
// It records every access in order, names it in the platform's terms, and flags accesses
// that real hardware would not tolerate.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

struct PortAccess {
  bool IsWrite;
  uint16_t Port;
  uint8_t Value;
  std::string Name; // e.g. "Super I/O index: logical device select", "UART LCR"
};

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
  const std::vector<std::string> &Faults() const { return Problems; }

  uint8_t Lcr() const { return LineControl; }
  uint16_t Divisor() const { return static_cast<uint16_t>(DivisorHigh << 8 | DivisorLow); }
  // Logical-device register of the Super I/O, or 0 if never written.
  uint8_t SioRegister(uint8_t Ldn, uint8_t Register) const;

private:
  void Record(bool IsWrite, uint16_t Port, uint8_t Value, std::string Name);
  uint8_t ReadLsr();

  PlatformOptions Options;
  std::vector<PortAccess> Accesses;
  std::string Serial;
  std::vector<std::string> Problems;
  std::deque<uint8_t> LsrScript;
  uint32_t BusyLeft;
  bool LastLsrBusy = false;
  uint8_t SioIndex = 0;
  uint8_t SioLdn = 0;
  uint8_t SioGlobal[0x30] = {};
  std::map<uint16_t, uint8_t> SioDevice; // (LDN << 8 | register) -> value
  uint8_t LineControl = 0;
  uint8_t DivisorLow = 0;
  uint8_t DivisorHigh = 0;
};

// "R 0x0259 -> 0xff  probe" / "W 0x004e <- 0x07  Super I/O index: logical device select".
std::string DescribeAccess(const PortAccess &Access);

// The serial line with CR, LF and other control bytes made visible ("\r\n").
std::string VisibleText(const std::string &Bytes);

// Trace, configuration summary, serial line and faults, as the run commands print them.
std::string PlatformReport(const PlatformModel &Model);
