#include "platform_model.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "messages.h"
#include "platform_ports.h"
#include "port_names.h"

namespace {

// Answers to LSR polls repeated after a ready report, in turn: an idle 16550 (THRE and TEMT),
// every bit, THRE alone. Whatever exact value or bit a module waits for, one of them lets it out.
constexpr uint8_t LSR_LET_OUT[] = {0x60, 0xFF, 0x20};
constexpr uint32_t LSR_LET_OUT_COUNT = sizeof LSR_LET_OUT;

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

uint8_t PlatformModel::ReadLsr() {
  if (ReadyReported) {
    if (RepeatedPolls == 0) {
      Problems.push_back("polls LSR again after it reported THRE set: only bit 5 may matter");
    }
    return LSR_LET_OUT[RepeatedPolls++ % LSR_LET_OUT_COUNT];
  }
  uint8_t Status = ModelLsrReady(ReadyReports);
  if (!LsrScript.empty()) {
    Status = LsrScript.front();
    LsrScript.pop_front();
  } else if (BusyLeft > 0) {
    --BusyLeft;
    Status = MODEL_LSR_BUSY;
  }
  LastLsrBusy = (Status & UART_LSR_THRE) == 0;
  if (!LastLsrBusy) {
    ReadyReported = true;
    ++ReadyReports;
  }
  return Status;
}

uint8_t PlatformModel::Read(uint16_t Port) {
  uint8_t Value = 0xFF; // an undriven ISA bus reads all ones
  if (Port == SIO_PROBE_PORT) {
    Value = Options.Probe;
  } else if (Port == SERIAL_BASE + UART_LSR) {
    Value = ReadLsr();
  } else {
    Problems.push_back("reads unmodelled port " + Hex(Port, 4));
  }
  AppendAccess(Accesses, {false, Port, Value, Namer.Name(false, Port, Value)});
  return Value;
}

void PlatformModel::WriteSio(uint8_t Value) {
  if (SioIndex == SIO_LDN) {
    SioLdn = Value;
  }
  if (SioIndex < sizeof SioGlobal) {
    SioGlobal[SioIndex] = Value;
  } else {
    SioDevice[static_cast<uint16_t>(SioLdn << 8 | SioIndex)] = Value;
  }
}

void PlatformModel::Write(uint16_t Port, uint8_t Value) {
  std::string Name = Namer.Name(true, Port, Value);
  const bool Dlab = (LineControl & UART_LCR_DLAB) != 0;
  if (Port == SIO_INDEX_PORT) {
    SioIndex = Value;
  } else if (Port == SIO_DATA_PORT) {
    WriteSio(Value);
  } else if (Port == IO_DELAY_PORT) {
    // a bus cycle and nothing else
  } else if (Port == SERIAL_BASE + UART_LCR) {
    LineControl = Value;
  } else if (Port == SERIAL_BASE + UART_DLL && Dlab) {
    DivisorLow = Value;
  } else if (Port == SERIAL_BASE + UART_DLM && Dlab) {
    DivisorHigh = Value;
  } else if (Port == SERIAL_BASE + UART_THR) {
    if (LastLsrBusy || BusyLeft > 0) {
      Problems.push_back("writes THR while LSR reports busy (byte " + Hex(Value, 2) + ")");
    }
    Serial.push_back(static_cast<char>(Value));
    BusyLeft = Options.BusyPollsPerByte;
    LastLsrBusy = false;
    ReadyReported = false;
    RepeatedPolls = 0;
  } else {
    Problems.push_back("writes unmodelled port " + Hex(Port, 4));
  }
  Accesses.push_back({true, Port, Value, std::move(Name)});
}

std::string PlatformReport(const PlatformModel &Model) {
  std::string Report =
      "port trace (" + Counted(AccessCount(Model.Trace()), "access", "es") + "):\n";
  for (const PortAccess &Access : Model.Trace()) {
    Report += "  " + DescribeAccess(Access) + "\n";
  }
  const uint8_t Ldn = SIO_LDN_SERIAL;
  Report +=
      "Super I/O LDN " + std::to_string(Ldn) + ": base " +
      Hex(Model.SioRegister(Ldn, SIO_BASE_HIGH) << 8 | Model.SioRegister(Ldn, SIO_BASE_LOW), 4) +
      ", IRQ " + std::to_string(Model.SioRegister(Ldn, SIO_IRQ_LEVEL)) + ", activate " +
      Hex(Model.SioRegister(Ldn, SIO_ACTIVATE), 2) + "\n";
  Report +=
      "UART: divisor " + std::to_string(Model.Divisor()) + ", LCR " + Hex(Model.Lcr(), 2) + "\n";
  Report += "serial line (" + std::to_string(Model.Line().size()) + " bytes): \"" +
            VisibleText(Model.Line()) + "\"\n";
  return Report;
}
