// OemInitComEntry's exact port trace and result, against the platform model.
#include "entry.h"
#include "port_io_fake.h"
#include "trace_check.h"

namespace {

std::vector<Access> EntryScript(uint8_t Probe, uint32_t Busy) {
  std::vector<Access> Script = {{'R', 0x259, Probe}};
  if (Probe != 0xFF) {
    const std::vector<Access> SuperIo = {
        // select LDN 3
        {'W', 0x4E, 0x07}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x03},
        // chip configuration 0x29
        {'W', 0x4E, 0x29}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x1C},
        // base 0x0240
        {'W', 0x4E, 0x60}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x02},
        {'W', 0x4E, 0x61}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x40},
        // IRQ 4
        {'W', 0x4E, 0x70}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x04},
        // activate
        {'W', 0x4E, 0x30}, {'W', 0xED, 0x00}, {'W', 0xED, 0x00}, {'W', 0x4F, 0x01},
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
    EXPECT_EQ(Model.Divisor(), 1);
    EXPECT_EQ(Model.Lcr(), 0x07);
  }
}

TEST(OemInitComEntry, SuperIoEndsConfigured) {
  PlatformModel Model({0x00, 0});
  {
    ScopedPlatform Attach(Model);
    OemInitComEntry(nullptr, nullptr);
  }
  EXPECT_EQ(Model.SioRegister(3, 0x60), 0x02);
  EXPECT_EQ(Model.SioRegister(3, 0x61), 0x40);
  EXPECT_EQ(Model.SioRegister(3, 0x70), 0x04);
  EXPECT_EQ(Model.SioRegister(3, 0x30), 0x01);
  EXPECT_EQ(Model.SioRegister(3, 0x07), 0x03);
}

} // namespace
