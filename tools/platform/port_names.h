// The platform's terms for port accesses: which device and register an access reaches, how it
// reads in a trace, and what a UART line setting amounts to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PortAccess {
  bool IsWrite;
  uint16_t Port;
  uint8_t Value;
  std::string Name;   // e.g. "Super I/O index: logical device select", "UART LCR"
  uint32_t Count = 1; // the same read, so many times in a row: a status poll's run is one entry
};

// Appends Access to Accesses, or counts it into the last entry when both are the same read, so
// that a run of polls takes one entry whatever its length.
void AppendAccess(std::vector<PortAccess> &Accesses, PortAccess Access);

// The accesses Accesses stands for, each run counted out.
uint64_t AccessCount(const std::vector<PortAccess> &Accesses);

// Names accesses in order. A name depends on what came before: a Super I/O data write is
// named by the last index written, and UART offsets 0 and 1 by the LCR's divisor latch bit.
class PortNamer {
public:
  // The name of this access; the state that later names depend on follows it.
  std::string Name(bool IsWrite, uint16_t Port, uint8_t Value);

private:
  uint8_t SioIndex = 0;
  bool Dlab = false;
};

// Fills in the Name of every access, from a fresh PortNamer.
void NameAccesses(std::vector<PortAccess> &Accesses);

// "R 0x0259 -> 0xff  probe" / "W 0x004e <- 0x07  Super I/O index: logical device select"; a
// run adds its count: "R 0x0245 -> 0xdf  UART LSR (3 times)".
std::string DescribeAccess(const PortAccess &Access);

// The baud rate of a divisor (not 0) from the 1.8432 MHz clock, to the nearest whole baud.
uint32_t UartBaud(uint16_t Divisor);

// "115200 8N2": baud from the 1.8432 MHz clock, data bits, parity (N, O, E, M, S) and stop
// bits, followed by " DLAB on" or " break" when those LCR bits are left set.
std::string UartSettingText(uint16_t Divisor, uint8_t Lcr);
