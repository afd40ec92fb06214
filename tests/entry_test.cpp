// OemInitComEntry's exact port trace and result, against the platform model, and the line
// control values a board's line setting gives.
#include <string>

#include "entry.h"
#include "platform_ports.h"
#include "port_io_fake.h"
#include "port_names.h"
#include "trace_check.h"

namespace {

struct EntryCase {
  uint8_t Probe;
  uint32_t Busy;
};

TEST(OemInitComEntry, ExactTraceAndResult) {
  const EntryCase Cases[] = {{0xFF, 0}, {0x00, 0}, {0xFE, 0}, {0xFF, 3}, {0x00, 2}, {0x7F, 1}};
  for (const EntryCase &Case : Cases) {
    SCOPED_TRACE(testing::Message() << "probe " << int{Case.Probe} << ", busy " << Case.Busy);
    PlatformModel Model({Case.Probe, Case.Busy});
    EFI_STATUS Status;
    {
      ScopedPlatform Attach(Model);
      int Handle = 0;
      Status = OemInitComEntry(&Handle, &Handle);
    }
    EXPECT_EQ(Status, EFI_SUCCESS);
    ExpectTrace(Model, EntryScript(Case.Probe, Case.Busy));
    EXPECT_EQ(Model.Line(), "\r\nOEM_Init_COM OK\r\n");
    EXPECT_EQ(UartSettingText(Model.Divisor(), Model.Lcr()), ExpectedUartSetting());
  }
}

// The Super I/O's serial device ends with the base the module addresses the UART at.
TEST(OemInitComEntry, SuperIoEndsConfigured) {
  PlatformModel Model({0x00, 0});
  {
    ScopedPlatform Attach(Model);
    OemInitComEntry(nullptr, nullptr);
  }
  EXPECT_EQ(Model.SioRegister(SIO_LDN_SERIAL, 0x60) << 8 | Model.SioRegister(SIO_LDN_SERIAL, 0x61),
            SERIAL_BASE);
  EXPECT_EQ(Model.SioRegister(SIO_LDN_SERIAL, 0x70), SERIAL_IRQ);
  EXPECT_EQ(Model.SioRegister(SIO_LDN_SERIAL, 0x30), 0x01);
  EXPECT_EQ(Model.SioRegister(SIO_LDN_SERIAL, 0x07), SIO_LDN_SERIAL);
}

struct LineCase {
  uint32_t DataBits;
  char Parity;
  uint32_t StopBits;
  uint8_t Lcr; // as the 16550's line control register layout gives it
};

TEST(UartLineControl, DatasheetValues) {
  const LineCase Cases[] = {
      {8, 'N', 2, 0x07}, {8, 'N', 1, 0x03}, {7, 'E', 1, 0x1A}, {7, 'O', 2, 0x0E},
      {5, 'N', 1, 0x00}, {6, 'M', 1, 0x29}, {8, 'S', 2, 0x3F}, {5, 'E', 1, 0x18},
  };
  for (const LineCase &Case : Cases) {
    SCOPED_TRACE(std::to_string(Case.DataBits) + Case.Parity + std::to_string(Case.StopBits));
    EXPECT_EQ(UartLineControl(Case.DataBits, Case.Parity, Case.StopBits), Case.Lcr);
  }
}

// Every line a board may give reads back the same through the platform's decoding.
TEST(UartLineControl, EveryBoardLineDecodesAsWritten) {
  for (uint32_t DataBits = 5; DataBits <= 8; ++DataBits) {
    for (const char Parity : {'N', 'O', 'E', 'M', 'S'}) {
      for (uint32_t StopBits = DataBits == 5 ? 1 : 2; StopBits >= 1; --StopBits) {
        const std::string Line = std::to_string(DataBits) + Parity + std::to_string(StopBits);
        EXPECT_EQ(UartSettingText(12, UartLineControl(DataBits, Parity, StopBits)), "9600 " + Line);
      }
    }
  }
}

} // namespace
