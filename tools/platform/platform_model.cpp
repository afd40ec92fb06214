#include "platform_model.h"

#include <cstdio>

#include "platform_ports.h"

namespace {

constexpr uint8_t LSR_READY = UART_LSR_THRE | UART_LSR_TEMT;
constexpr uint8_t LSR_BUSY = 0x00;

std::string Hex(unsigned Value, int Digits) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%0*x", Digits, Value);
  return Text;
}

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

} // namespace

PlatformModel::PlatformModel(const PlatformOptions &Options)
    : Options(Options), BusyLeft(Options.BusyPollsPerByte) {}

void PlatformModel::ScriptLsr(const std::vector<uint8_t> &Values) {
  LsrScript.insert(LsrScript.end(), Values.begin(), Values.end());
}

uint8_t PlatformModel::SioRegister(uint8_t Ldn, uint8_t Register) const {
  if (Register < sizeof SioGlobal) {
    return SioGlobal[Register];
  }
  const auto Found = SioDevice.find(static_cast<uint16_t>(Ldn << 8 | Register));
  return Found == SioDevice.end() ? 0 : Found->second;
}

void PlatformModel::Record(bool IsWrite, uint16_t Port, uint8_t Value, std::string Name) {
  Accesses.push_back({IsWrite, Port, Value, std::move(Name)});
}

uint8_t PlatformModel::ReadLsr() {
  uint8_t Status = LSR_READY;
  if (!LsrScript.empty()) {
    Status = LsrScript.front();
    LsrScript.pop_front();
  } else if (BusyLeft > 0) {
    --BusyLeft;
    Status = LSR_BUSY;
  }
  LastLsrBusy = (Status & UART_LSR_THRE) == 0;
  return Status;
}

uint8_t PlatformModel::Read(uint16_t Port) {
  uint8_t Value = 0xFF; // an undriven ISA bus reads all ones
  std::string Name;
  if (Port == SIO_PROBE_PORT) {
    Value = Options.Probe;
    Name = "probe";
  } else if (Port == SERIAL_BASE + UART_LSR) {
    Value = ReadLsr();
    Name = "UART LSR";
  } else {
    Name = "unmodelled read";
    Problems.push_back("read of unmodelled port " + Hex(Port, 4));
  }
  Record(false, Port, Value, std::move(Name));
  return Value;
}

void PlatformModel::Write(uint16_t Port, uint8_t Value) {
  const bool Dlab = (LineControl & UART_LCR_DLAB) != 0;
  std::string Name;
  if (Port == SIO_INDEX_PORT) {
    SioIndex = Value;
    Name = "Super I/O index: " + SioRegisterName(Value);
  } else if (Port == SIO_DATA_PORT) {
    Name = "Super I/O data: " + SioRegisterName(SioIndex);
    if (SioIndex == SIO_LDN) {
      SioLdn = Value;
    }
    if (SioIndex < sizeof SioGlobal) {
      SioGlobal[SioIndex] = Value;
    } else {
      SioDevice[static_cast<uint16_t>(SioLdn << 8 | SioIndex)] = Value;
    }
  } else if (Port == IO_DELAY_PORT) {
    Name = "I/O delay";
  } else if (Port == SERIAL_BASE + UART_LCR) {
    LineControl = Value;
    Name = "UART LCR";
  } else if (Port == SERIAL_BASE + UART_DLL && Dlab) {
    DivisorLow = Value;
    Name = "UART DLL";
  } else if (Port == SERIAL_BASE + UART_DLM && Dlab) {
    DivisorHigh = Value;
    Name = "UART DLM";
  } else if (Port == SERIAL_BASE + UART_THR) {
    Name = "UART THR " + VisibleText(std::string(1, static_cast<char>(Value)));
    if (LastLsrBusy || BusyLeft > 0) {
      Problems.push_back("THR written while LSR reports busy (byte " + Hex(Value, 2) + ")");
    }
    Serial.push_back(static_cast<char>(Value));
    BusyLeft = Options.BusyPollsPerByte;
    LastLsrBusy = false;
  } else {
    Name = "unmodelled write";
    Problems.push_back("write of unmodelled port " + Hex(Port, 4));
  }
  Record(true, Port, Value, std::move(Name));
}

std::string DescribeAccess(const PortAccess &Access) {
  return std::string(Access.IsWrite ? "W " : "R ") + Hex(Access.Port, 4) +
         (Access.IsWrite ? " <- " : " -> ") + Hex(Access.Value, 2) + "  " + Access.Name;
}

std::string VisibleText(const std::string &Bytes) {
  std::string Text;
  for (const char Byte : Bytes) {
    const auto Unsigned = static_cast<unsigned char>(Byte);
    if (Byte == '\r') {
      Text += "\\r";
    } else if (Byte == '\n') {
      Text += "\\n";
    } else if (Byte == '\\') {
      Text += "\\\\";
    } else if (Unsigned < 0x20 || Unsigned >= 0x7F) {
      char Escape[8];
      std::snprintf(Escape, sizeof Escape, "\\x%02x", Unsigned);
      Text += Escape;
    } else {
      Text += Byte;
    }
  }
  return Text;
}

std::string PlatformReport(const PlatformModel &Model) {
  std::string Report = "port trace (" + std::to_string(Model.Trace().size()) + " accesses):\n";
  for (const PortAccess &Access : Model.Trace()) {
    Report += "  " + DescribeAccess(Access) + "\n";
  }
  const uint8_t Ldn = SIO_LDN_SERIAL;
  Report +=
      "Super I/O LDN 3: base " +
      Hex(Model.SioRegister(Ldn, SIO_BASE_HIGH) << 8 | Model.SioRegister(Ldn, SIO_BASE_LOW), 4) +
      ", IRQ " + std::to_string(Model.SioRegister(Ldn, SIO_IRQ_LEVEL)) + ", activate " +
      Hex(Model.SioRegister(Ldn, SIO_ACTIVATE), 2) + "\n";
  Report +=
      "UART: divisor " + std::to_string(Model.Divisor()) + ", LCR " + Hex(Model.Lcr(), 2) + "\n";
  Report += "serial line (" + std::to_string(Model.Line().size()) + " bytes): \"" +
            VisibleText(Model.Line()) + "\"\n";
  for (const std::string &Fault : Model.Faults()) {
    Report += "FAULT: " + Fault + "\n";
  }
  return Report;
}
