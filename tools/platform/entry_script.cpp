#include "entry_script.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform_model.h"
#include "port_names.h"

namespace {

struct Step {
  char Direction; // 'R' or 'W'
  uint16_t Port;
  uint8_t Value;
};

void Append(std::vector<PortAccess> &Script, const std::vector<Step> &Steps) {
  std::transform(Steps.begin(), Steps.end(), std::back_inserter(Script), [](const Step &Next) {
    return PortAccess{Next.Direction == 'W', Next.Port, Next.Value, {}};
  });
}

// The bus traffic of sending Wire, unnamed.
void AppendTransmit(std::vector<PortAccess> &Script, const std::string &Wire, uint32_t Busy) {
  uint32_t Ready = 0;
  for (const char Byte : Wire) {
    if (Busy != 0) {
      Script.push_back({false, 0x245, MODEL_LSR_BUSY, {}, Busy});
    }
    Append(Script,
           {{'R', 0x245, ModelLsrReady(Ready++)}, {'W', 0x240, static_cast<uint8_t>(Byte)}});
  }
}

} // namespace

const char BANNER_WIRE[] = "\r\nOEM_Init_COM OK\r\n";
const char EXPECTED_UART_SETTING[] = "115200 8N2";

std::vector<PortAccess> TransmitScript(const std::string &Wire, uint32_t Busy) {
  std::vector<PortAccess> Script;
  AppendTransmit(Script, Wire, Busy);
  NameAccesses(Script);
  return Script;
}

std::vector<PortAccess> EntryScript(uint8_t Probe, uint32_t Busy) {
  std::vector<PortAccess> Script;
  Append(Script, {{'R', 0x259, Probe}});
  if (Probe != 0xFF) {
    Append(Script, {
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
                   });
  }
  Append(Script, {
                     {'W', 0x243, 0x87}, // DLAB on, 8 data bits, no parity, 2 stop bits
                     {'W', 0x240, 0x01}, // divisor 1: 115200 baud
                     {'W', 0x241, 0x00},
                     {'W', 0x243, 0x07}, // DLAB off, 8N2
                 });
  AppendTransmit(Script, BANNER_WIRE, Busy);
  NameAccesses(Script);
  return Script;
}
