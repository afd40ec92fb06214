#include "entry_script.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "platform_model.h"
#include "platform_ports.h"
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
  const auto Lsr = static_cast<uint16_t>(SERIAL_BASE + 5);
  uint32_t Ready = 0;
  for (const char Byte : Wire) {
    if (Busy != 0) {
      Script.push_back({false, Lsr, MODEL_LSR_BUSY, {}, Busy});
    }
    Append(Script,
           {{'R', Lsr, ModelLsrReady(Ready++)}, {'W', SERIAL_BASE, static_cast<uint8_t>(Byte)}});
  }
}

// The Super I/O writes of the board: the register pairs in the table's order (Plug and Play ISA
// register numbers), each as an index write, the delay writes and a data write.
void AppendSuperIo(std::vector<PortAccess> &Script) {
  const std::vector<uint8_t> Chip = {SIO_CHIP_PAIRS};
  std::vector<uint8_t> Pairs = {0x07, SIO_LDN_SERIAL}; // select the serial port's device
  Pairs.insert(Pairs.end(), Chip.begin(), Chip.end()); // the chip's own registers
  const std::vector<uint8_t> Rest = {
      0x60, static_cast<uint8_t>(SERIAL_BASE >> 8),   // base, high byte
      0x61, static_cast<uint8_t>(SERIAL_BASE & 0xFF), // base, low byte
      0x70, SERIAL_IRQ,                               // IRQ
      0x30, 0x01,                                     // activate
  };
  Pairs.insert(Pairs.end(), Rest.begin(), Rest.end());
  for (size_t Index = 0; Index + 1 < Pairs.size(); Index += 2) {
    Append(Script, {{'W', SIO_INDEX_PORT, Pairs[Index]}});
    for (uint32_t Delay = 0; Delay < IO_DELAY_WRITES; ++Delay) {
      Append(Script, {{'W', IO_DELAY_PORT, 0x00}});
    }
    Append(Script, {{'W', SIO_DATA_PORT, Pairs[Index + 1]}});
  }
}

// A parity letter as the LCR's parity enable (0x08), even parity (0x10) and stick parity (0x20)
// bits.
uint32_t ParityField(char Parity) {
  switch (Parity) {
  case 'O':
    return 0x08;
  case 'E':
    return 0x18;
  case 'M':
    return 0x28; // stick parity, odd select: the parity bit is always 1
  case 'S':
    return 0x38; // stick parity, even select: always 0
  default:
    return 0x00; // N
  }
}

// A line as LCR bits, DLAB clear: the word length (data bits - 5), 2 stop bits, the parity.
uint8_t LineControl(uint32_t DataBits, char Parity, uint32_t StopBits) {
  return static_cast<uint8_t>((DataBits - 5) | (StopBits - 1) << 2 | ParityField(Parity));
}

} // namespace

const char BANNER_WIRE[] = "\r\nOEM_Init_COM OK\r\n";

std::string ExpectedUartSetting() {
  return std::to_string(UartBaud(UART_DIVISOR)) + " " + std::to_string(UART_DATA_BITS) +
         UART_PARITY + std::to_string(UART_STOP_BITS);
}

std::vector<PortAccess> TransmitScript(const std::string &Wire, uint32_t Busy) {
  std::vector<PortAccess> Script;
  AppendTransmit(Script, Wire, Busy);
  NameAccesses(Script);
  return Script;
}

std::vector<PortAccess> EntryScript(uint8_t Probe, uint32_t Busy) {
  std::vector<PortAccess> Script;
  Append(Script, {{'R', SIO_PROBE_PORT, Probe}});
  if (Probe != 0xFF) {
    AppendSuperIo(Script);
  }
  const uint8_t Lcr = LineControl(UART_DATA_BITS, UART_PARITY, UART_STOP_BITS);
  Append(Script, {
                     {'W', SERIAL_BASE + 3, static_cast<uint8_t>(0x80 | Lcr)}, // DLAB on, the line
                     {'W', SERIAL_BASE + 0, UART_DIVISOR & 0xFF},              // divisor
                     {'W', SERIAL_BASE + 1, UART_DIVISOR >> 8},
                     {'W', SERIAL_BASE + 3, Lcr}, // DLAB off
                 });
  AppendTransmit(Script, BANNER_WIRE, Busy);
  NameAccesses(Script);
  return Script;
}
