// The coverage of an image's code: te-run --executed writing what a run executed, the code
// extent read from a link map, and image-coverage's report and exit status.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "code_coverage.h"
#include "image_coverage_cli.h"
#include "te_builder.h"
#include "te_run_cli.h"
#include "temp_file.h"

namespace {

struct Outcome {
  int Exit;
  std::string Output; // what went to Out, then what went to Err
};

Outcome Coverage(const std::vector<std::string> &Arguments) {
  std::ostringstream Out, Err;
  const int Exit = RunImageCoverage(Arguments, Out, Err);
  return {Exit, Out.str() + Err.str()};
}

// Entry: call Helper; ret. Helper: xor eax,eax; nop; ret. Then two bytes of int3 before the
// constant data, as lld-link pads them.
const std::vector<uint8_t> CALLS_CODE = {0xE8, 0x01, 0,    0,    0,   0xC3, 0x31, 0xC0,
                                         0x90, 0xC3, 0xCC, 0xCC, 'd', 'a',  't',  'a'};
const char CALLS_MAP[] =
    " calls\n\n"
    " Preferred load address is 0000000000400000\n\n"
    " Start         Length     Name                   Class\n"
    " 0001:00000000 0000000aH .text                   CODE\n"
    " 0001:0000000c 00000004H .rdata                  CODE\n\n"
    "  Address         Publics by Value              Rva+Base      Lib:Object\n\n"
    " 0001:00000000       _Entry      0000000000400200     calls.obj\n\n"
    " entry point at         0001:00000000\n\n"
    " Static symbols\n\n"
    " 0001:00000006       ?Helper@@YAXXZ  0000000000400206  calls.obj\n";

TEST(ImageCoverage, CodeExtentFromTheMap) {
  const TempFile Map("calls.map", CALLS_MAP);
  CodeExtent Extent;
  std::string Error;
  ASSERT_TRUE(ReadCodeExtent(Map.Name(), &Extent, &Error)) << Error;
  EXPECT_EQ(Extent.PreferredBase, 0x400000u);
  EXPECT_EQ(Extent.Low, 0x200u);
  EXPECT_EQ(Extent.High, 0x20Cu);
  EXPECT_EQ(Extent.TextEnd, 0x20Au);

  // Without constant data, the code is .text.
  std::string NoData = CALLS_MAP;
  NoData.erase(NoData.find(" 0001:0000000c"),
               NoData.find("\n\n  Address") - NoData.find(" 0001:0000000c"));
  const TempFile CodeOnly("code_only.map", NoData);
  ASSERT_TRUE(ReadCodeExtent(CodeOnly.Name(), &Extent, &Error)) << Error;
  EXPECT_EQ(Extent.High, 0x20Au);
  EXPECT_EQ(Extent.TextEnd, 0x20Au);

  // The built image's code starts at its entry and ends before its constant data.
  ASSERT_TRUE(ReadCodeExtent(OEMCOM_MAP_PATH, &Extent, &Error)) << Error;
  EXPECT_EQ(Extent.PreferredBase, 0x400000u);
  EXPECT_EQ(Extent.Low, 0x1C0u);
  EXPECT_GT(Extent.High, Extent.Low + 1000);
}

TEST(ImageCoverage, TeRunExecutedAndTheReport) {
  const TempFile Image("calls.te", BuildTe({CALLS_CODE, {}}));
  const TempFile Map("calls.map", CALLS_MAP);
  const TempFile Executed("calls.executed", "");
  // Twice: each instruction counts once.
  for (int Run = 0; Run < 2; ++Run) {
    std::ostringstream Out, Err;
    ASSERT_EQ(RunTeRun({"--no-script", "--executed", Executed.Name(), Image.Name()}, Out, Err), 0)
        << Out.str() << Err.str();
  }
  std::ifstream Listed(Executed.Name());
  std::stringstream Lines;
  Lines << Listed.rdbuf();
  const std::string OneRun = "0x00000200 5\n0x00000205 1\n0x00000206 2\n0x00000208 1\n"
                             "0x00000209 1\n";
  EXPECT_EQ(Lines.str(), OneRun + OneRun);
  const Outcome Report = Coverage({Map.Name(), Executed.Name()});
  EXPECT_EQ(Report.Exit, 0);
  const std::string MapName = Map.Name().substr(Map.Name().rfind('/') + 1);
  EXPECT_EQ(Report.Output, "code bytes executed (" + MapName +
                               "): 10 of 12 (83.3%)\n"
                               "not executed (linked address, bytes, place):\n"
                               "  0x0040020a  2 bytes  padding after .text\n");

  // A gap that spans a symbol is split there.
  const TempFile Some("calls.some", "0x00000200 5\n0x00000209 1\n");
  EXPECT_EQ(Coverage({Map.Name(), Some.Name()}).Output,
            "code bytes executed (" + MapName +
                "): 6 of 12 (50.0%)\n"
                "not executed (linked address, bytes, place):\n"
                "  0x00400205  1 byte  Entry+0x5\n"
                "  0x00400206  3 bytes  Helper\n"
                "  0x0040020a  2 bytes  padding after .text\n");

  // The built image's entry never reaches the directive engine.
  const TempFile Entry("entry.executed", "");
  std::ostringstream Out, Err;
  ASSERT_EQ(RunTeRun({"--probe", "0x00", "--executed", Entry.Name(), OEMCOM_TE_PATH}, Out, Err), 0)
      << Out.str() << Err.str();
  const Outcome Built = Coverage({OEMCOM_MAP_PATH, Entry.Name()});
  EXPECT_EQ(Built.Exit, 0);
  EXPECT_EQ(Built.Output.rfind("code bytes executed (oemcom.map): ", 0), 0u) << Built.Output;
  EXPECT_NE(Built.Output.find(" bytes  PutDirective\n"), std::string::npos) << Built.Output;
}

struct CoverageCase {
  std::vector<std::string> Arguments;
  int Exit;
  const char *Fragment;
};

TEST(ImageCoverage, CommandExitStatusAndMessage) {
  const TempFile Map("calls.map", CALLS_MAP);
  const TempFile NoText("no_text.map", " Preferred load address is 0000000000400000\n");
  const TempFile Executed("calls.executed",
                          "0x00000200 5\n0x00000205 1\n0x00000206 2\n0x00000208 1\n0x209 1\n");
  const TempFile Bad("bad.executed", "0x00000200 5\nx 1\n");
  const TempFile Long("long.executed", "0x00000200 16\n");
  const std::string &M = Map.Name();
  const std::string &E = Executed.Name();
  const CoverageCase Cases[] = {
      {{"--help"}, 0, "Usage: image-coverage [--min PERCENT] MAP EXECUTED..."},
      {{}, 2, "image-coverage: no map given\nUsage: "},
      {{M}, 2, "image-coverage: no executed-code file given\n"},
      {{"--min", "101", M, E}, 2, "--min needs a number up to 100, not '101'"},
      {{NoText.Name(), E}, 2, "no_text.map: no .text contribution"},
      {{M, Bad.Name()},
       2,
       "bad.executed: line 2: 'x 1' is not an instruction (RVA LENGTH, a length of 1 to 15 "
       "bytes)"},
      {{M, Long.Name()}, 2, "line 1: '0x00000200 16' is not an instruction"},
      {{M, E}, 0, "): 10 of 12 (83.3%)\n"},
      {{"--min", "83", M, E}, 0, "  0x0040020a  2 bytes  padding after .text\n"},
      {{"--min=84", M, E},
       1,
       "(83.3%)\nnot executed (linked address, bytes, place):\n"
       "  0x0040020a  2 bytes  padding after .text\nbelow the minimum of 84%\n"},
  };
  for (const CoverageCase &Case : Cases) {
    std::string Line;
    for (const std::string &Word : Case.Arguments) {
      Line += " " + Word;
    }
    SCOPED_TRACE("image-coverage" + Line);
    const Outcome Got = Coverage(Case.Arguments);
    EXPECT_EQ(Got.Exit, Case.Exit) << Got.Output;
    EXPECT_NE(Got.Output.find(Case.Fragment), std::string::npos) << Got.Output;
  }
}

} // namespace
