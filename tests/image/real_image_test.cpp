// The built oemcom.te, run on the emulated CPU: the exact port trace, the serial line and
// EFI_SUCCESS for each probe value and UART state, at load bases above and below ImageBase.
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

#include "image_runner.h"
#include "platform_options.h"
#include "trace_check.h"

namespace {

std::vector<uint8_t> BuiltImage() {
  std::ifstream File(OEMCOM_TE_PATH, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(File), {});
}

struct ImageCase {
  uint8_t Probe;
  uint32_t Busy;
  uint32_t Base;
};

RunResult RunBuilt(const ImageCase &Case, PlatformModel &Model) {
  RunOptions Options;
  Options.Base = Case.Base;
  return RunImage(BuiltImage(), Options, Model);
}

TEST(RunBuiltImage, ExactTraceAndSuccessAtEveryBase) {
  ASSERT_FALSE(BuiltImage().empty()) << "no image at " << OEMCOM_TE_PATH;
  const ImageCase Cases[] = {
      {0xFF, 0, DEFAULT_LOAD_BASE},
      {0xFF, 3, DEFAULT_LOAD_BASE},
      {0x00, 0, DEFAULT_LOAD_BASE},
      {0x00, 3, DEFAULT_LOAD_BASE},
      {0xFE, 0, DEFAULT_LOAD_BASE},
      {0xFE, 3, DEFAULT_LOAD_BASE},
      {0xFF, 0, 0x7FF00000},
      {0xFF, 3, 0x7FF00000},
      {0x00, 0, 0x7FF00000},
      {0x00, 3, 0x7FF00000},
      {0xFE, 0, 0x7FF00000},
      {0xFE, 3, 0x7FF00000},
      {0x00, 0, 0x00010000},
      {0xFF, 3, 0x00123450},
      {0x00, MAX_BUSY_POLLS, DEFAULT_LOAD_BASE}, // the most busy polls within the fixed bound
  };
  for (const ImageCase &Case : Cases) {
    SCOPED_TRACE(testing::Message() << "probe " << int{Case.Probe} << ", busy " << Case.Busy
                                    << ", base " << std::hex << Case.Base);
    PlatformModel Model({Case.Probe, Case.Busy});
    const RunResult Result = RunBuilt(Case, Model);
    EXPECT_EQ(Result.Status, RunStatus::Clean) << testing::PrintToString(Result.Faults);
    EXPECT_EQ(Result.Eax, 0u);
    ExpectTrace(Model, EntryScript(Case.Probe, Case.Busy));
    EXPECT_EQ(Model.Line(), "\r\nOEM_Init_COM OK\r\n");
    EXPECT_GT(Result.Instructions, 0u);
    EXPECT_GT(Result.PeakStack, 4u);
    EXPECT_LT(Result.PeakStack, DEFAULT_STACK_SIZE);
    EXPECT_GT(Result.RelocationsApplied, 0u);
  }
}

TEST(RunBuiltImage, BaseChangesNeitherPathNorStack) {
  PlatformModel AtDefault({0x00, 0});
  PlatformModel AtHigh({0x00, 0});
  const RunResult Default = RunBuilt({0x00, 0, DEFAULT_LOAD_BASE}, AtDefault);
  const RunResult High = RunBuilt({0x00, 0, 0x7FF00000}, AtHigh);
  EXPECT_EQ(Default.Instructions, High.Instructions);
  EXPECT_EQ(Default.PeakStack, High.PeakStack);
}

TEST(RunBuiltImage, TooFewInstructionsIsCaught) {
  PlatformModel Model({0x00, 0});
  RunOptions Options;
  Options.MaxInstructions = 50;
  const RunResult Result = RunImage(BuiltImage(), Options, Model);
  EXPECT_EQ(Result.Status, RunStatus::Faulted);
  ASSERT_FALSE(Result.Faults.empty());
  EXPECT_NE(Result.Faults[0].find("does not return within 50 instructions"), std::string::npos);
}

} // namespace
