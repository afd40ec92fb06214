// The exact port trace of one OemInitComEntry run, shared by the host tests and the tests
// that run the built image.
#pragma once

#include "trace_check.h"

inline std::vector<Access> EntryScript(uint8_t Probe, uint32_t Busy) {
  std::vector<Access> Script = {{'R', 0x259, Probe}};
  if (Probe != 0xFF) {
    const std::vector<Access> SuperIo = {
        // select LDN 3
        {'W', 0x4E, 0x07},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x03},
        // chip configuration 0x29
        {'W', 0x4E, 0x29},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x1C},
        // base 0x0240
        {'W', 0x4E, 0x60},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x02},
        {'W', 0x4E, 0x61},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x40},
        // IRQ 4
        {'W', 0x4E, 0x70},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x04},
        // activate
        {'W', 0x4E, 0x30},
        {'W', 0xED, 0x00},
        {'W', 0xED, 0x00},
        {'W', 0x4F, 0x01},
    };
    Script.insert(Script.end(), SuperIo.begin(), SuperIo.end());
  }
  const std::vector<Access> Line = {
      {'W', 0x243, 0x87}, // DLAB on, 8 data bits, no parity, 2 stop bits
      {'W', 0x240, 0x01}, // divisor 1: 115200 baud
      {'W', 0x241, 0x00},
      {'W', 0x243, 0x07}, // DLAB off, 8N2
  };
  Script.insert(Script.end(), Line.begin(), Line.end());
  const std::vector<Access> Banner = TransmitScript("\r\nOEM_Init_COM OK\r\n", Busy);
  Script.insert(Script.end(), Banner.begin(), Banner.end());
  return Script;
}
