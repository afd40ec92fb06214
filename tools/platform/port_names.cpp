#include "port_names.h"

#include <cstdint>
#include <numeric>
#include <string>
#include <utility>
#include <vector>

#include "messages.h"
#include "platform_ports.h"

namespace {

constexpr uint32_t UART_CLOCK_HZ = 1843200;
constexpr uint32_t UART_CLOCKS_PER_BIT = 16;
constexpr uint16_t UART_REGISTERS = 8;
// Configuration registers the Plug and Play ISA layout leaves to the chip's maker: chip-level
// ones, and ones of the selected logical device.
constexpr uint8_t SIO_CHIP_FIRST = 0x20;
constexpr uint8_t SIO_CHIP_LAST = 0x2F;
constexpr uint8_t SIO_DEVICE_FIRST = 0xF0;
constexpr uint8_t SIO_DEVICE_LAST = 0xFE;

// 16550 register names by offset, with the divisor latch bit clear.
constexpr const char *UART_READ_NAMES[UART_REGISTERS] = {"RBR", "IER", "IIR", "LCR",
                                                         "MCR", "LSR", "MSR", "SCR"};
constexpr const char *UART_WRITE_NAMES[UART_REGISTERS] = {"THR", "IER", "FCR", "LCR",
                                                          "MCR", "LSR", "MSR", "SCR"};

std::string SioRegisterName(uint8_t Register) {
  if (Register >= SIO_CHIP_FIRST && Register <= SIO_CHIP_LAST) {
    return "chip configuration " + Hex(Register, 2);
  }
  if (Register >= SIO_DEVICE_FIRST && Register <= SIO_DEVICE_LAST) {
    return "device configuration " + Hex(Register, 2);
  }
  switch (Register) {
  case SIO_LDN:
    return "logical device select";
  case SIO_ACTIVATE:
    return "activate";
  case SIO_BASE_HIGH:
    return "I/O base high byte";
  case SIO_BASE_LOW:
    return "I/O base low byte";
  case SIO_IRQ_LEVEL:
    return "interrupt level";
  default:
    return "register " + Hex(Register, 2);
  }
}

std::string UartName(bool IsWrite, uint16_t Offset, uint8_t Value, bool Dlab) {
  if (Dlab && Offset == UART_DLL) {
    return "UART DLL";
  }
  if (Dlab && Offset == UART_DLM) {
    return "UART DLM";
  }
  if (IsWrite && Offset == UART_THR) {
    return "UART THR " + VisibleText(std::string(1, static_cast<char>(Value)));
  }
  return std::string("UART ") + (IsWrite ? UART_WRITE_NAMES : UART_READ_NAMES)[Offset];
}

} // namespace

std::string PortNamer::Name(bool IsWrite, uint16_t Port, uint8_t Value) {
  if (Port >= SERIAL_BASE && Port < SERIAL_BASE + UART_REGISTERS) {
    const auto Offset = static_cast<uint16_t>(Port - SERIAL_BASE);
    std::string Text = UartName(IsWrite, Offset, Value, Dlab);
    if (IsWrite && Offset == UART_LCR) {
      Dlab = (Value & UART_LCR_DLAB) != 0;
    }
    return Text;
  }
  if (!IsWrite) {
    return Port == SIO_PROBE_PORT ? "probe" : "unmodelled read";
  }
  switch (Port) {
  case SIO_INDEX_PORT:
    SioIndex = Value;
    return "Super I/O index: " + SioRegisterName(Value);
  case SIO_DATA_PORT:
    return "Super I/O data: " + SioRegisterName(SioIndex);
  case IO_DELAY_PORT:
    return "I/O delay";
  default:
    return "unmodelled write";
  }
}

void NameAccesses(std::vector<PortAccess> &Accesses) {
  PortNamer Namer;
  for (PortAccess &Access : Accesses) {
    Access.Name = Namer.Name(Access.IsWrite, Access.Port, Access.Value);
  }
}

void AppendAccess(std::vector<PortAccess> &Accesses, PortAccess Access) {
  if (!Access.IsWrite && !Accesses.empty()) {
    PortAccess &Last = Accesses.back();
    if (!Last.IsWrite && Last.Port == Access.Port && Last.Value == Access.Value &&
        Last.Count <= UINT32_MAX - Access.Count) {
      Last.Count += Access.Count;
      return;
    }
  }
  Accesses.push_back(std::move(Access));
}

uint64_t AccessCount(const std::vector<PortAccess> &Accesses) {
  return std::accumulate(Accesses.begin(), Accesses.end(), uint64_t{0},
                         [](uint64_t Sum, const PortAccess &Access) { return Sum + Access.Count; });
}

std::string DescribeAccess(const PortAccess &Access) {
  return std::string(Access.IsWrite ? "W " : "R ") + Hex(Access.Port, 4) +
         (Access.IsWrite ? " <- " : " -> ") + Hex(Access.Value, 2) + "  " + Access.Name +
         (Access.Count > 1 ? " (" + std::to_string(Access.Count) + " times)" : "");
}

uint32_t UartBaud(uint16_t Divisor) {
  const uint32_t Rate = UART_CLOCK_HZ / UART_CLOCKS_PER_BIT;
  return (Rate + Divisor / 2) / Divisor; // nearest whole baud
}

std::string UartSettingText(uint16_t Divisor, uint8_t Lcr) {
  std::string Text = "no divisor";
  if (Divisor != 0) {
    Text = std::to_string(UartBaud(Divisor));
  }
  const int DataBits = 5 + (Lcr & UART_LCR_WLS_8);
  char Parity = 'N';
  if ((Lcr & UART_LCR_PEN) != 0) {
    constexpr char BY_SELECT[] = {'O', 'E', 'M', 'S'}; // EPS and stick bits
    Parity = BY_SELECT[((Lcr & UART_LCR_EPS) != 0 ? 1 : 0) + ((Lcr & UART_LCR_SP) != 0 ? 2 : 0)];
  }
  const char *Stop = "1";
  if ((Lcr & UART_LCR_STB) != 0) {
    Stop = DataBits == 5 ? "1.5" : "2";
  }
  Text += " " + std::to_string(DataBits) + Parity + Stop;
  if ((Lcr & UART_LCR_BC) != 0) {
    Text += " break";
  }
  if ((Lcr & UART_LCR_DLAB) != 0) {
    Text += " DLAB on";
  }
  return Text;
}
