// Expected port traces, written as ordered scripts, and their comparison with the model's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform_model.h"

struct Access {
  char Direction; // 'R' or 'W'
  uint16_t Port;
  uint8_t Value;
};

// What sending Wire (line ends already expanded) costs on the bus: for each byte, Busy LSR
// polls that report busy, one that reports ready, then the THR write.
inline std::vector<Access> TransmitScript(const std::string &Wire, uint32_t Busy) {
  std::vector<Access> Script;
  for (const char Byte : Wire) {
    for (uint32_t Poll = 0; Poll < Busy; ++Poll) {
      Script.push_back({'R', 0x245, 0x00});
    }
    Script.push_back({'R', 0x245, 0x60});
    Script.push_back({'W', 0x240, static_cast<uint8_t>(Byte)});
  }
  return Script;
}

inline void ExpectTrace(const PlatformModel &Model, const std::vector<Access> &Expected) {
  const std::vector<PortAccess> &Trace = Model.Trace();
  ASSERT_EQ(Trace.size(), Expected.size());
  for (size_t Index = 0; Index < Expected.size(); ++Index) {
    const Access Want = Expected[Index];
    const PortAccess &Got = Trace[Index];
    ASSERT_EQ(Got.IsWrite ? 'W' : 'R', Want.Direction) << "access " << Index;
    ASSERT_EQ(Got.Port, Want.Port) << "access " << Index;
    ASSERT_EQ(Got.Value, Want.Value) << "access " << Index;
  }
  EXPECT_TRUE(Model.Faults().empty());
}
