// te-tool's command line, run in-process on files in a fresh temporary folder.
#include <cstddef>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "pe_builder.h"
#include "pe_format.h"
#include "pe_to_te.h"
#include "te_cli.h"
#include "tool_test_folder.h"

namespace {

using namespace pe_test;

class TeToolCli : public ToolFolder {
protected:
  int Run(const std::vector<std::string> &Arguments) {
    Out.str("");
    Err.str("");
    return RunTeTool(Arguments, Out, Err);
  }

  std::ostringstream Out;
  std::ostringstream Err;
};

TEST_F(TeToolCli, ConvertThenCheckAndInspect) {
  const Pe Image = BuildValidPe();
  Write("in.efi", Image.Bytes);
  ASSERT_EQ(Run({"convert", Path("in.efi"), Path("out.te")}), 0) << Err.str();
  std::vector<uint8_t> Expected;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(Image.Bytes, &Expected, &Error));
  EXPECT_EQ(Read("out.te"), Expected);

  EXPECT_EQ(Run({"check", Path("out.te")}), 0) << Err.str();
  EXPECT_EQ(Out.str(), "out.te: 400 bytes, TE image checks passed\n");
  EXPECT_EQ(Run({"inspect", Path("out.te")}), 0) << Err.str();
  EXPECT_NE(Out.str().find("Check\n  passed\n"), std::string::npos) << Out.str();
}

TEST_F(TeToolCli, RefusedConvertWritesNothing) {
  Pe Image = BuildValidPe();
  Image.Put16(COFF, 0x8664);
  Write("in.efi", Image.Bytes);
  EXPECT_EQ(Run({"convert", Path("in.efi"), Path("out.te")}), EXIT_FAULT);
  EXPECT_EQ(Err.str(), "te-tool: convert: " + Path("in.efi") +
                           ": machine 0x8664 (x64) is not IA-32 (0x014c)\n");
  EXPECT_EQ(Listing(), std::vector<std::string>{"in.efi"});
}

TEST_F(TeToolCli, RefusedConvertKeepsThePreviousOutput) {
  Write("in.efi", {'M', 'Z'});
  Write("out.te", {1, 2, 3});
  EXPECT_EQ(Run({"convert", Path("in.efi"), Path("out.te")}), EXIT_FAULT);
  EXPECT_EQ(Read("out.te"), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Listing().size(), 2u);
}

TEST_F(TeToolCli, UnwritableOutputIsReportedAndLeavesNoTemporary) {
  Write("in.efi", BuildValidPe().Bytes);
  EXPECT_EQ(Run({"convert", Path("in.efi"), Path("missing/out.te")}), EXIT_TROUBLE);
  EXPECT_NE(Err.str().find("cannot create a temporary file"), std::string::npos) << Err.str();
  EXPECT_EQ(Run({"convert", Path("in.efi"), Folder}), EXIT_TROUBLE);
  EXPECT_NE(Err.str().find("cannot open for writing: Is a directory"), std::string::npos)
      << Err.str();
  EXPECT_EQ(Listing(), std::vector<std::string>{"in.efi"});
}

// OUT as it names a file: a device is written in place, a link's target is replaced with its
// mode kept, and the input itself is never written over.
TEST_F(TeToolCli, ConvertWritesWhatOutNames) {
  const std::vector<uint8_t> Te = [] {
    std::vector<uint8_t> Bytes;
    std::string Error;
    EXPECT_TRUE(ConvertPeToTe(BuildValidPe().Bytes, &Bytes, &Error)) << Error;
    return Bytes;
  }();
  Write("in.efi", BuildValidPe().Bytes);
  Write("old.te", {1, 2, 3});
  ASSERT_EQ(chmod(Path("old.te").c_str(), 0640), 0);
  ASSERT_EQ(symlink("old.te", Path("link.te").c_str()), 0);
  ASSERT_EQ(link(Path("in.efi").c_str(), Path("alias.efi").c_str()), 0);
  struct Case {
    std::string Out;
    int Status;
    const char *Message; // in Err; empty for success
  };
  const Case Cases[] = {
      {"/dev/full", EXIT_TROUBLE, "/dev/full: cannot write: No space left on device"},
      {"/dev/null", EXIT_OK, ""},
      {Path("link.te"), EXIT_OK, ""},
      {Path("in.efi"), EXIT_TROUBLE, "in.efi: is the same file as the input "},
      {Path("alias.efi"), EXIT_TROUBLE, "alias.efi: is the same file as the input "},
      {Path("./in.efi"), EXIT_TROUBLE, "is the same file as the input "},
  };
  for (const Case &Each : Cases) {
    SCOPED_TRACE(Each.Out);
    EXPECT_EQ(Run({"convert", Path("in.efi"), Each.Out}), Each.Status);
    EXPECT_NE(Err.str().find(Each.Message), std::string::npos) << Err.str();
  }
  struct stat Device = {};
  struct stat Link = {};
  struct stat Target = {};
  ASSERT_EQ(stat("/dev/full", &Device), 0);
  EXPECT_TRUE(S_ISCHR(Device.st_mode));
  ASSERT_EQ(lstat(Path("link.te").c_str(), &Link), 0);
  EXPECT_TRUE(S_ISLNK(Link.st_mode));
  ASSERT_EQ(stat(Path("old.te").c_str(), &Target), 0);
  EXPECT_EQ(Target.st_mode & 07777, 0640u);
  EXPECT_EQ(Read("old.te"), Te);
  EXPECT_EQ(Read("in.efi"), BuildValidPe().Bytes);
  EXPECT_EQ(Listing().size(), 4u); // no temporary left behind
}

TEST_F(TeToolCli, MissingOrDamagedImagesAreRefused) {
  EXPECT_EQ(Run({"check", Path("none.te")}), EXIT_TROUBLE);
  EXPECT_NE(Err.str().find("cannot open"), std::string::npos) << Err.str();
  Write("bad.te", {'V', 'Z', 0x4C, 0x01});
  EXPECT_EQ(Run({"check", Path("bad.te")}), EXIT_FAULT);
  EXPECT_NE(Err.str().find("shorter than the 40-byte TE header"), std::string::npos) << Err.str();
  EXPECT_EQ(Run({"inspect", Path("bad.te")}), EXIT_FAULT);
  EXPECT_EQ(Out.str(), "");
  std::vector<uint8_t> Driver;
  std::string Error;
  ASSERT_TRUE(ConvertPeToTe(BuildValidPe().Bytes, &Driver, &Error)) << Error;
  Driver[offsetof(pe::EFI_TE_IMAGE_HEADER, Subsystem)] = 12;
  Write("runtime.te", Driver);
  EXPECT_EQ(Run({"inspect", Path("runtime.te")}), EXIT_FAULT);
  EXPECT_NE(Out.str().find("Check\n  failed: subsystem 12"), std::string::npos) << Out.str();
  ASSERT_EQ(mkfifo(Path("pipe.te").c_str(), 0600), 0);
  EXPECT_EQ(Run({"check", Path("pipe.te")}), EXIT_TROUBLE);
  EXPECT_NE(Err.str().find("pipe.te: is a FIFO, not a regular file"), std::string::npos)
      << Err.str();
}

struct Usage {
  std::vector<std::string> Arguments;
  int Status;
  const char *Expected; // in the output, or for a refusal the one-line error
};

TEST(TeToolUsage, CommandLines) {
  // One case per line.
  // clang-format off
  const Usage Cases[] = {
      {{"--help"}, 0, "  te-tool convert IN.efi OUT.te   convert a PE32 IA-32 image to a TE image"},
      {{"-h"}, 0, "  te-tool check IMAGE.te          verify the module's TE image"},
      {{}, EXIT_TROUBLE, "te-tool: no command (run te-tool --help)\n"},
      {{"convert", "in.efi"}, EXIT_TROUBLE, "te-tool: usage: te-tool convert IN.efi OUT.te (run te-tool --help)\n"},
      {{"check"}, EXIT_TROUBLE, "te-tool: usage: te-tool check IMAGE.te (run te-tool --help)\n"},
      {{"inspect", "a.te", "b.te"}, EXIT_TROUBLE, "te-tool: usage: te-tool inspect IMAGE.te (run te-tool --help)\n"},
      {{"frobnicate", "a.te"}, EXIT_TROUBLE, "te-tool: unknown command 'frobnicate' (run te-tool --help)\n"},
  };
  // clang-format on
  for (const Usage &Case : Cases) {
    std::ostringstream Out;
    std::ostringstream Err;
    EXPECT_EQ(RunTeTool(Case.Arguments, Out, Err), Case.Status) << Case.Expected;
    if (Case.Status == 0) {
      EXPECT_NE(Out.str().find(Case.Expected), std::string::npos) << Out.str();
      EXPECT_EQ(Err.str(), "");
    } else {
      EXPECT_EQ(Err.str(), Case.Expected);
      EXPECT_EQ(Out.str(), "");
    }
  }
}

} // namespace
