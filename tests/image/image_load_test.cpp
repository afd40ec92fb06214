// Images the runner must refuse to load, each with its own one-line reason.
#include <functional>

#include <gtest/gtest.h>

#include "image_runner.h"
#include "te_builder.h"

namespace {

// xor eax,eax; ret; nop; then the dword the relocation fixes, the linked address of .text.
const std::vector<uint8_t> CODE = {0x31, 0xC0, 0xC3, 0x90, 0x00, 0x02, 0x40, 0x00};
// .text holds 8 bytes, so .reloc starts at RVA 0x220: file offset 0x220 - 0x150.
constexpr size_t FIRST_RELOCATION_ENTRY = 0x220 - (TEST_STRIPPED_SIZE - 40) + 8;

struct LoadCase {
  const char *Name;
  std::function<void(std::vector<uint8_t> &, RunOptions &)> Break;
  const char *Fragment;
  RunStatus Status =
      RunStatus::Refused; // NotLoaded: the image is sound but the run cannot be set up
};

TEST(ImageRunnerLoad, BrokenImagesAreRefused) {
  const LoadCase Cases[] = {
      {"truncated", [](std::vector<uint8_t> &Te, RunOptions &) { Te.resize(10); },
       "file is 10 bytes, shorter than the 40-byte TE header"},
      {"x64 machine",
       [](std::vector<uint8_t> &Te, RunOptions &) { PutU16(Te, TE_AT_MACHINE, 0x8664); },
       "machine 0x8664 (x64) is not IA-32"},
      {"64-bit ImageBase",
       [](std::vector<uint8_t> &Te, RunOptions &) { PutU32(Te, TE_AT_IMAGE_BASE + 4, 1); },
       "ImageBase 0x100400000 does not fit in 32 bits"},
      {"entry outside",
       [](std::vector<uint8_t> &Te, RunOptions &) { PutU32(Te, TE_AT_ENTRY, 0x10000); },
       "entry point 0x10000 is outside .text"},
      {"not in place",
       [](std::vector<uint8_t> &Te, RunOptions &) {
         PutU32(Te, TE_AT_SECTIONS + SECTION_AT_RAW_POINTER, TEST_TEXT_RVA - 0x20);
       },
       "section .text: PointerToRawData 0x1e0 differs from VirtualAddress 0x200"},
      {"DIR64 relocation",
       [](std::vector<uint8_t> &Te, RunOptions &) {
         Te[FIRST_RELOCATION_ENTRY + 1] =
             static_cast<uint8_t>(0xA0 | (Te[FIRST_RELOCATION_ENTRY + 1] & 0x0F));
       },
       "relocation at RVA 0x204: type 10 (DIR64) is not HIGHLOW (3)"},
      {"past 4 GiB", [](std::vector<uint8_t> &, RunOptions &Options) { Options.Base = 0xFFFFFF00; },
       "does not fit below 4 GiB at 0xffffff00", RunStatus::NotLoaded},
      {"odd stack", [](std::vector<uint8_t> &, RunOptions &Options) { Options.StackSize = 100; },
       "stack size 100 is not a multiple of 4096", RunStatus::NotLoaded},
  };
  for (const LoadCase &Case : Cases) {
    SCOPED_TRACE(Case.Name);
    std::vector<uint8_t> Te = BuildTe({CODE, {4}});
    RunOptions Options;
    Case.Break(Te, Options);
    PlatformModel Model;
    const RunResult Result = RunImage(Te, Options, Model);
    ASSERT_EQ(Result.Status, Case.Status);
    EXPECT_TRUE(Result.Faults.empty());
    EXPECT_NE(Result.LoadError.find(Case.Fragment), std::string::npos) << Result.LoadError;
    EXPECT_EQ(Result.LoadError.find('\n'), std::string::npos);
    EXPECT_EQ(Result.Instructions, 0u);
  }
}

TEST(ImageRunnerLoad, EveryTruncationIsRefusedOrRuns) {
  // Cutting the image anywhere must give a load error or a run, never a crash.
  const std::vector<uint8_t> Whole = BuildTe({CODE, {4}});
  for (size_t Size = 0; Size < Whole.size(); ++Size) {
    const std::vector<uint8_t> Cut(Whole.begin(), Whole.begin() + static_cast<long>(Size));
    PlatformModel Model;
    const RunResult Result = RunImage(Cut, RunOptions{}, Model);
    SCOPED_TRACE(Size);
    EXPECT_NE(Result.Status, RunStatus::Faulted);
    if (Result.Status == RunStatus::Refused) {
      EXPECT_TRUE(Result.Faults.empty());
      EXPECT_FALSE(Result.LoadError.empty());
    }
  }
}

} // namespace
