// fv-tool's command line: usage errors and unreadable files (exit status 2, one line), and the
// listing of a crafted image.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fv_builder.h"
#include "tool_folder.h"

namespace {

using namespace fv_test;

struct UsageCase {
  std::vector<std::string> Arguments;
  std::string Message; // the whole line
};

TEST_F(FvToolFolder, UsageErrorsExit2) {
  Write("module.te", ModuleTe());
  Write("fw.fd", Firmware());
  const std::string None = Path("none");
  const UsageCase CASES[] = {
      {{}, "fv-tool: no command (run fv-tool --help)"},
      {{"merge"}, "fv-tool: unknown command 'merge' (run fv-tool --help)"},
      {{"ffs", "@module.te"},
       "fv-tool: ffs: usage: fv-tool ffs IMAGE.te OUT.ffs [--guid GUID] [--name TEXT] (run "
       "fv-tool --help)"},
      {{"list", "@fw.fd", "@fw.fd"},
       "fv-tool: list: usage: fv-tool list FIRMWARE (run fv-tool --help)"},
      {{"insert", "@fw.fd", "@a", "@b", "--replace", "--bogus"},
       "fv-tool: insert: unknown option '--bogus' (run fv-tool --help)"},
      {{"list", "@fw.fd", "--replace"},
       "fv-tool: list: unknown option '--replace' (run fv-tool --help)"},
      {{"ffs", "@module.te", "@out.ffs", "--guid"},
       "fv-tool: ffs: --guid needs a value (run fv-tool --help)"},
      {{"ffs", "@module.te", "@out.ffs", "--guid", "56f26cba-0844-463d-87ba-395d00c5c76"},
       "fv-tool: ffs: --guid: wants a GUID such as 56f26cba-0844-463d-87ba-395d00c5c762, not "
       "'56f26cba-0844-463d-87ba-395d00c5c76'"},
      {{"ffs", "@module.te", "@out.ffs", "--guid", "56f26cba+0844-463d-87ba-395d00c5c762"},
       "fv-tool: ffs: --guid: wants a GUID such as 56f26cba-0844-463d-87ba-395d00c5c762, not "
       "'56f26cba+0844-463d-87ba-395d00c5c762'"},
      {{"ffs", "@module.te", "@out.ffs", "--name", ""},
       "fv-tool: ffs: --name: wants 1 to 64 printable ASCII characters"},
      {{"ffs", "@module.te", "@out.ffs", "--name", "tab\there"},
       "fv-tool: ffs: --name: wants 1 to 64 printable ASCII characters"},
      {{"insert", "@fw.fd", "@a", "@b", "--base", "0x100000000"},
       "fv-tool: insert: --base: wants an address below 4 GiB (decimal or 0x hexadecimal), not "
       "'0x100000000'"},
      {{"insert", "@fw.fd", "@a", "@b", "--base", "-1"},
       "fv-tool: insert: --base: wants an address below 4 GiB (decimal or 0x hexadecimal), not "
       "'-1'"},
      {{"list", "@none"}, "fv-tool: list: " + None + ": cannot open: No such file or directory"},
      {{"ffs", "@none", "@out.ffs"},
       "fv-tool: ffs: " + None + ": cannot open: No such file or directory"},
      {{"insert", "@fw.fd", "@none", "@out.fd"},
       "fv-tool: insert: " + None + ": cannot open: No such file or directory"},
      {{"ffs", "@module.te", "@nowhere/out.ffs"},
       "fv-tool: ffs: " + Path("nowhere/out.ffs") +
           ": cannot create a temporary file in its folder: No such file or directory"},
  };
  for (const UsageCase &Case : CASES) {
    SCOPED_TRACE(Case.Message);
    EXPECT_EQ(Run(Case.Arguments), 2);
    EXPECT_EQ(Err.str(), Case.Message + "\n");
    EXPECT_EQ(Out.str(), "");
  }
  EXPECT_EQ(Listing(), (std::vector<std::string>{"fw.fd", "module.te"}));
}

TEST_F(FvToolFolder, ListShowsTheTree) {
  Write("fw.fd", Firmware());
  ASSERT_EQ(Run({"list", "@fw.fd"}), 0) << Err.str();
  const std::string Lines[] = {
      "image: 0x11000 bytes, 2 volumes\n",
      "volume 00000001-1111-2222-3344-5566778899aa at 0x0: 0x10000 bytes, FFS2, erased bytes "
      "0xff, 1 file, free 0x",
      "\n  file 0000000b-1111-2222-3344-5566778899aa at 0x60: volume image (0x0b), 0x",
      "\n    section at 0x78: GUID-defined (0x02), 0x",
      " bytes, ee4e5898-3914-4259-9d6e-dc7bd79403cf LZMA, decodes to 0x",
      "\n        volume 000009e1-1111-2222-3344-5566778899aa at 0x80: 0x4000 bytes, FFS2, erased "
      "bytes 0xff, 2 files, free 0x3e70 bytes from 0x190, runs in place at 0x00820000 (from 2 "
      "images)\n",
      "\n          file 0000c0de-1111-2222-3344-5566778899aa at 0x60: PEI core (0x04), 0xe8 "
      "bytes, \"PeiCore\"\n",
      "\n            section at 0x78: PE32 image (0x10), 0xbc bytes, image base 0x0082007c, "
      "machine 0x14c\n",
      "\n          file 0000007e-1111-2222-3344-5566778899aa at 0x148: PEIM (0x06), 0x44 bytes, "
      "data checksum\n",
      "\n            section at 0x160: TE image (0x12), 0x2c bytes, image base 0x0082008c, machine "
      "0x14c\n",
      "\nvolume 00000002-1111-2222-3344-5566778899aa at 0x10000: 0x1000 bytes",
  };
  for (const std::string &Line : Lines) {
    EXPECT_NE(Out.str().find(Line), std::string::npos) << Line << "\nin:\n" << Out.str();
  }
}

} // namespace
