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
constexpr uint8_t UART_LCR_EPS = 0x10;   // even parity select
constexpr uint8_t UART_LCR_STICK = 0x20; // stick parity
constexpr uint8_t UART_LCR_BREAK = 0x40;

// 16550 register names by offset, with the divisor latch bit clear.
constexpr const char *UART_READ_NAMES[UART_REGISTERS] = {"RBR", "IER", "IIR", "LCR",
                                                         "MCR", "LSR", "MSR", "SCR"};
constexpr const char *UART_WRITE_NAMES[UART_REGISTERS] = {"THR", "IER", "FCR", "LCR",
                                                          "MCR", "LSR", "MSR", "SCR"};

std::string SioRegisterName(uint8_t Register) {
  switch (Register) {
  case SIO_LDN:
    return "logical device select";
  case SIO_CHIP_REG_29:
    return "chip configuration 0x29";
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

std::string UartSettingText(uint16_t Divisor, uint8_t Lcr) {
  std::string Text = "no divisor";
  if (Divisor != 0) {
    const uint32_t Rate = UART_CLOCK_HZ / UART_CLOCKS_PER_BIT;
    Text = std::to_string((Rate + Divisor / 2) / Divisor); // nearest whole baud
  }
  const int DataBits = 5 + (Lcr & UART_LCR_WLS_8);
  char Parity = 'N';
  if ((Lcr & UART_LCR_PEN) != 0) {
    constexpr char BY_SELECT[] = {'O', 'E', 'M', 'S'}; // EPS and stick bits
    Parity = BY_SELECT[((Lcr & UART_LCR_EPS) != 0 ? 1 : 0) + ((Lcr & UART_LCR_STICK) != 0 ? 2 : 0)];
  }
  const char *Stop = "1";
  if ((Lcr & UART_LCR_STB) != 0) {
    Stop = DataBits == 5 ? "1.5" : "2";
  }
  Text += " " + std::to_string(DataBits) + Parity + Stop;
  if ((Lcr & UART_LCR_BREAK) != 0) {
    Text += " break";
  }
  if ((Lcr & UART_LCR_DLAB) != 0) {
    Text += " DLAB on";
  }
  return Text;
}
