// The exact port accesses of one OemInitComEntry run against the platform model: the one
// expected script that the host tests, the image tests and te-run all hold a run to.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "port_names.h"

// The banner as it goes out on the wire, each line feed preceded by a carriage return.
extern const char BANNER_WIRE[];
// The line the board sets, as UartSettingText states it: "115200 8N2".
std::string ExpectedUartSetting();

// What sending Wire (line ends already expanded) costs on the bus: for each byte, Busy LSR
// polls that report busy, one that reports ready, then the THR write. The LSR values are the
// ones the platform model answers, from its first ready report on. Accesses are named.
std::vector<PortAccess> TransmitScript(const std::string &Wire, uint32_t Busy);

// The whole run on the board for a probe value and a busy count: the probe read, the Super
// I/O writes unless the probe reads 0xFF, the UART line setup, then the banner. Accesses are
// named.
std::vector<PortAccess> EntryScript(uint8_t Probe, uint32_t Busy);
