// OemInitComEntry's exact port trace and result, against the platform model.
#include "entry.h"
#include "port_io_fake.h"
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
