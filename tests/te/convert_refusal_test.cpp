// Each variant of the crafted image breaks one rule; the converter must refuse it with a
// one-line reason naming the problem and leave its output untouched.
#include <functional>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_to_te.h"

namespace {

using namespace pe_test;

struct Refusal {
  const char *Name;
  std::function<void(Pe &)> Change;
  const char *Expected; // fragment of the error
};

void PrintTo(const Refusal &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

void AddDataSection(Pe &P) {
  P.Put16(COFF + 2, 3);
  P.PutName(2, ".data");
  P.Put32(Section(2, 8), 0x20);
  P.Put32(Section(2, 12), FILE_SIZE);
  P.Put32(Section(2, 20), FILE_SIZE);
  P.Put32(Section(2, 36), 0xC0000040);
}

// One case per line.
// clang-format off
const Refusal REFUSALS[] = {
    {"BadMz", [](Pe &P) { P.Put16(0, 0x4D5A); }, "no MZ signature"},
    {"LfanewInsideDosHeader", [](Pe &P) { P.Put32(0x3C, 0x20); }, "bad e_lfanew 0x20"},
    {"LfanewPastEnd", [](Pe &P) { P.Put32(0x3C, FILE_SIZE - 10); }, "bad e_lfanew 0x296"},
    {"BadPeSignature", [](Pe &P) { P.Put32(LFANEW, 0x00004551); }, "bad PE signature at 0x40"},
    {"MachineX64", [](Pe &P) { P.Put16(COFF, 0x8664); }, "machine 0x8664 (x64) is not IA-32"},
    {"NotExecutable", [](Pe &P) { P.Put16(COFF + 18, 0x0100); }, "not an executable image"},
    {"OptionalHeaderTiny", [](Pe &P) { P.Put16(COFF + 16, 64); }, "SizeOfOptionalHeader 64 is"},
    {"MagicPe32Plus", [](Pe &P) { P.Put16(OPTIONAL, 0x20B); }, "magic 0x20b is not PE32"},
    {"SubsystemApplication", [](Pe &P) { P.Put16(OPT_SUBSYSTEM, 10); }, "subsystem 10 (EFI app"},
    {"SubsystemTooWide", [](Pe &P) { P.Put16(OPT_SUBSYSTEM, 0x10B); }, "Subsystem 267 does not fit"},
    {"TooFewDirectories", [](Pe &P) { P.Put32(OPT_DIRECTORY_COUNT, 6); }, "NumberOfRvaAndSizes 6"},
    {"DirectoriesPastHeader", [](Pe &P) { P.Put32(OPT_DIRECTORY_COUNT, 17); }, "its 17 data dir"},
    {"AlignmentsDiffer", [](Pe &P) { P.Put32(OPTIONAL + 32, 64); }, "SectionAlignment 0x40 differs"},
    {"ImportTable", [](Pe &P) { P.Put32(DIR_IMPORT + 4, 40); }, "import table present"},
    {"DebugDirectory", [](Pe &P) { P.Put32(DIR_DEBUG, 0x260); P.Put32(DIR_DEBUG + 4, 28); }, "debug directory present"},
    {"SectionsTooMany", [](Pe &P) { P.Put16(COFF + 2, 256); }, "NumberOfSections 256 does not fit"},
    {"StrippedSizeTooWide", [](Pe &P) { P.Put16(COFF + 16, 0xFFF0); }, "StrippedSize 0x10048 does not fit"},
    {"SectionTablePastEnd", [](Pe &P) { P.Put16(COFF + 2, 40); }, "section table (40 entries at 0x138)"},
    {"RawDataPastEnd", [](Pe &P) { P.Put32(Section(1, 16), 0x40); }, ".reloc: raw data 0x280+0x40 runs past the end"},
    {"RawDataOverTable", [](Pe &P) { P.Put32(Section(0, 20), 0x150); }, ".text: raw data 0x150+0x80 overlaps"},
    {"RawDataNotAtRva", [](Pe &P) { P.Put32(Section(0, 20), 0x1E0); }, "PointerToRawData 0x1e0 differs from VirtualAddress 0x200"},
    {"SectionsOverlap", [](Pe &P) { P.Put32(Section(1, 12), 0x270); P.Put32(Section(1, 20), 0x270); }, ".reloc at RVA 0x270 overlaps"},
    {"NoSections", [](Pe &P) { P.Put16(COFF + 2, 0); P.Put32(DIR_RELOC + 4, 0); }, "sections are []"},
    {"ThirdSection", AddDataSection, "sections are [.text, .reloc, .data]"},
    {"RelocRenamed", [](Pe &P) { P.PutName(1, ".rdata"); }, "sections are [.text, .rdata]"},
    {"TextWritable", [](Pe &P) { P.Put32(Section(0, 36), TEXT_FLAGS | 0x80000000); }, ".text is writable"},
    {"TextPaged", [](Pe &P) { P.Put32(Section(0, 36), TEXT_FLAGS & ~0x08000000u); }, ".text is paged"},
    {"TextNotExecute", [](Pe &P) { P.Put32(Section(0, 36), TEXT_FLAGS & ~0x20000000u); }, ".text must be code, execute and read"},
    {"TextNotCode", [](Pe &P) { P.Put32(Section(0, 36), TEXT_FLAGS & ~0x20u); }, ".text must be code, execute and read"},
    {"RelocNotDiscardable", [](Pe &P) { P.Put32(Section(1, 36), RELOC_FLAGS & ~0x02000000u); }, ".reloc is not discardable"},
    {"EntryInReloc", [](Pe &P) { P.Put32(OPTIONAL + 16, RELOC); }, "entry point 0x280 is outside .text"},
    {"EntryBeforeText", [](Pe &P) { P.Put32(OPTIONAL + 16, 0x100); }, "entry point 0x100 is outside .text"},
    {"RelocDirInText", [](Pe &P) { P.Put32(0x264, 8); P.Put32(DIR_RELOC, 0x260); P.Put32(DIR_RELOC + 4, 8); }, "relocation directory 0x260+0x8 is not the .reloc section"},
    {"RelocDirShortOfSection", [](Pe &P) { P.Put32(Section(1, 8), 0x20); }, "relocation directory 0x280+0x10 is not the .reloc section 0x280+0x20"},
    {"RelocDirPastEnd", [](Pe &P) { P.Put32(DIR_RELOC + 4, 0x100); }, "relocation directory 0x280+0x100 runs past the end"},
    {"RelocTypeDir64", [](Pe &P) { P.Put16(RelocEntry(1), 0xA210); }, "type 10 (DIR64) is not HIGHLOW"},
    {"BlockSizeBelow8", [](Pe &P) { P.Put32(RELOC + 4, 4); }, "SizeOfBlock 4 is below 8"},
    {"BlockSizeOdd", [](Pe &P) { P.Put32(RELOC + 4, 15); }, "SizeOfBlock 15 is not a multiple of 2"},
    {"BlockPastDirectory", [](Pe &P) { P.Put32(RELOC + 4, 24); }, "SizeOfBlock 24 runs past the relocation directory"},
    {"BlockHeaderPastDirectory", [](Pe &P) { P.Put32(DIR_RELOC + 4, 20); }, "8-byte header runs past"},
    {"HighLowInReloc", [](Pe &P) { P.Put16(RelocEntry(1), 0x3284); }, "RVA 0x284 is outside .text"},
    {"HighLowAcrossTextEnd", [](Pe &P) { P.Put16(RelocEntry(1), 0x327E); }, "RVA 0x27e: its 4 bytes run past"},
    {"HighLowPastImage", [](Pe &P) { P.Put16(RelocEntry(1), 0x3FFF); }, "RVA 0xfff (type 3) lies outside the image"},
    {"ValuePointsIntoReloc", [](Pe &P) { P.Put32(HIGHLOW_SITES[1], IMAGE_BASE + 0x284); }, "holds 0x00400284, which points outside .text"},
    {"ValueBelowImageBase", [](Pe &P) { P.Put32(HIGHLOW_SITES[1], 0x260); }, "holds 0x00000260, which points outside .text"},
};
// clang-format on

class ConvertRefusal : public testing::TestWithParam<Refusal> {};

TEST_P(ConvertRefusal, IsRefusedWithItsReason) {
  Pe Image = BuildValidPe();
  GetParam().Change(Image);
  std::vector<uint8_t> Te = {0xEE};
  std::string Error;
  EXPECT_FALSE(ConvertPeToTe(Image.Bytes, &Te, &Error));
  EXPECT_NE(Error.find(GetParam().Expected), std::string::npos) << Error;
  EXPECT_EQ(Error.find('\n'), std::string::npos) << Error;
  EXPECT_EQ(Te, std::vector<uint8_t>{0xEE});
}

INSTANTIATE_TEST_SUITE_P(Variants, ConvertRefusal, testing::ValuesIn(REFUSALS),
                         [](const testing::TestParamInfo<Refusal> &Info) {
                           return std::string(Info.param.Name);
                         });

// Variants the contract allows: they must convert.
struct Acceptance {
  const char *Name;
  std::function<void(Pe &)> Change;
};

void PrintTo(const Acceptance &Case, std::ostream *Stream) {
  *Stream << Case.Name;
}

// clang-format off
const Acceptance ACCEPTED[] = {
    {"Unchanged", [](Pe &) {}},
    {"OnePastTheEndPointer", [](Pe &P) { P.Put32(HIGHLOW_SITES[2], IMAGE_BASE + TEXT + TEXT_SIZE); }},
    {"EntryAtLastTextByte", [](Pe &P) { P.Put32(OPTIONAL + 16, TEXT + TEXT_SIZE - 1); }},
    {"OnlyAbsoluteEntries", [](Pe &P) { P.Put32(RelocEntry(0), 0); P.Put32(RelocEntry(2), 0); }},
    {"SevenDirectories", [](Pe &P) { P.Put32(OPT_DIRECTORY_COUNT, 7); }},
};
// clang-format on

class ConvertAcceptance : public testing::TestWithParam<Acceptance> {};

TEST_P(ConvertAcceptance, Converts) {
  Pe Image = BuildValidPe();
  GetParam().Change(Image);
  std::vector<uint8_t> Te;
  std::string Error;
  EXPECT_TRUE(ConvertPeToTe(Image.Bytes, &Te, &Error)) << Error;
}

INSTANTIATE_TEST_SUITE_P(Variants, ConvertAcceptance, testing::ValuesIn(ACCEPTED),
                         [](const testing::TestParamInfo<Acceptance> &Info) {
                           return std::string(Info.param.Name);
                         });

} // namespace
