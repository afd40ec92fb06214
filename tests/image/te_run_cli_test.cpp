// te-run as a command: exit status and message for help, bad usage, unloadable images,
// clean runs and faulting runs.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include <gtest/gtest.h>

#include "entry_script.h"
#include "fault_images.h"
#include "file_io.h"
#include "image_runner.h"
#include "messages.h"
#include "reference_board.h"
#include "te_builder.h"
#include "te_image.h"
#include "te_run_cli.h"
#include "temp_file.h"

namespace {

struct Outcome {
  int Exit;
  std::string Output; // what went to Out, then what went to Err
};

Outcome RunTool(const std::vector<std::string> &Arguments) {
  std::ostringstream Out, Err;
  const int Exit = RunTeRun(Arguments, Out, Err);
  return {Exit, Out.str() + Err.str()};
}

// A trace file of Script as a recorder might write it: short and upper-case hex, a comment,
// blank lines, and LSR reads carrying what an idle 16550 reports rather than the model's values.
std::vector<uint8_t> TraceFile(const std::vector<PortAccess> &Script) {
  std::string Text = "# recorded trace\n\n";
  for (const PortAccess &Access : Script) {
    const bool Lsr = !Access.IsWrite && Access.Port == 0x245;
    char Line[32];
    std::snprintf(Line, sizeof Line, "%s 0X%X 0x%X\n", Access.IsWrite ? "W" : "r", Access.Port,
                  Lsr ? 0x60u : Access.Value);
    Text += Line;
  }
  return std::vector<uint8_t>(Text.begin(), Text.end());
}

struct CliCase {
  std::vector<std::string> Arguments;
  int Exit;
  std::string Fragment;
};

// The built image with Patch's bytes at TE file offset At; and the TE offset of its entry.
std::vector<uint8_t> PatchedBuiltImage(const std::vector<uint8_t> &Patch, size_t At) {
  std::vector<uint8_t> Te;
  std::string Error;
  EXPECT_TRUE(ReadFileBytes(OEMCOM_TE_PATH, &Te, &Error)) << Error;
  EXPECT_LE(At + Patch.size(), Te.size());
  if (At + Patch.size() <= Te.size()) {
    std::copy(Patch.begin(), Patch.end(), Te.begin() + static_cast<std::ptrdiff_t>(At));
  }
  return Te;
}

TEST(TeRunCommand, ExitStatusAndMessage) {
  if (!ForReferenceBoard()) {
    GTEST_SKIP() << REFERENCE_BOARD_ONLY;
  }
  // xor eax,eax; ret
  const TempFile CleanFile("clean.te", BuildTe({{0x31, 0xC0, 0xC3}, {}}));
  // mov al,'A'; mov dx,0x240; out dx,al; xor eax,eax; ret
  const TempFile UnpolledFile(
      "unpolled.te", BuildTe({{0xB0, 0x41, 0x66, 0xBA, 0x40, 0x02, 0xEE, 0x31, 0xC0, 0xC3}, {}}));
  // jmp $
  const TempFile LoopFile("loop.te", BuildTe({{0xEB, 0xFE}, {}}));
  // Entry: call Helper; ret. Helper: xor eax,eax; nop; ret. With its link map, the second
  // symbol a static one, and one whose line is cut short.
  const TempFile CallsFile("calls.te",
                           BuildTe({{0xE8, 0x01, 0, 0, 0, 0xC3, 0x31, 0xC0, 0x90, 0xC3}, {}}));
  const std::string Map = "  Address   Publics by Value   Rva+Base   Lib:Object\n\n"
                          " 0001:00000000  _Entry  0000000000400200  calls.obj\n\n"
                          " entry point at  0001:00000000\n\n Static symbols\n\n"
                          " 0001:00000006  ?Helper@@YAXXZ  0000000000400206  calls.obj\n";
  const TempFile MapFile("calls.map", std::vector<uint8_t>(Map.begin(), Map.end()));
  const TempFile MapCut("cut.map", std::vector<uint8_t>(Map.begin(), Map.end() - 30));
  const TempFile CorruptFile("corrupt.te", std::vector<uint8_t>(64, 'M'));
  // The clean image with another subsystem, or with a debug directory.
  const auto Altered = [](const std::string &Name, size_t At, uint32_t Value) {
    std::vector<uint8_t> Te = BuildTe({{0x31, 0xC0, 0xC3}, {}});
    if (At == TE_AT_SUBSYSTEM) {
      Te[At] = static_cast<uint8_t>(Value);
    } else {
      PutU32(Te, At, Value);
      PutU32(Te, At + 4, 28);
    }
    return TempFile(Name, Te);
  };
  const TempFile Subsystem0 = Altered("subsystem0.te", TE_AT_SUBSYSTEM, 0);
  const TempFile Application = Altered("application.te", TE_AT_SUBSYSTEM, 10);
  const TempFile Subsystem8b = Altered("subsystem8b.te", TE_AT_SUBSYSTEM, 0x8B);
  const TempFile SubsystemFf = Altered("subsystemff.te", TE_AT_SUBSYSTEM, 0xFF);
  const TempFile Debug = Altered("debug.te", TE_AT_DEBUG_DIRECTORY, 0x200);
  const std::string Fifo = testing::TempDir() + "te_run_" + std::to_string(getpid()) + ".fifo";
  std::remove(Fifo.c_str());
  ASSERT_EQ(mkfifo(Fifo.c_str(), 0600), 0);
  const std::string Escape = "W \x1b[31m 0x243 0x07\n";
  const TempFile TraceEscape("trace_escape.txt", Escape);
  const TempFile TraceLong("trace_long.txt", std::vector<uint8_t>(1 << 20, 'A'));
  const TempFile TraceNul("trace_nul.txt",
                          std::vector<uint8_t>{'W', 0, ' ', '0', 'x', '4', '3', '\n'});
  const std::string &Clean = CleanFile.Name();
  const std::string &Unpolled = UnpolledFile.Name();
  const std::string &Loop = LoopFile.Name();
  const std::string Built = OEMCOM_TE_PATH;
  // The built image faulting at its entry (ud2), and writing 8N1 to the LCR instead of 8N2
  // (mov al,0x07; mov dx,0x243 made mov al,0x03): with the debug twin te-run names the source.
  std::vector<uint8_t> BuiltBytes;
  std::string Error;
  ASSERT_TRUE(ReadFileBytes(Built, &BuiltBytes, &Error)) << Error;
  TeImage BuiltImage;
  ASSERT_TRUE(ParseTeImage(BuiltBytes, &BuiltImage, &Error)) << Error;
  const uint32_t EntryAt = BuiltImage.AddressOfEntryPoint - BuiltImage.Displacement();
  const TempFile EntryUd2("entry_ud2.te", PatchedBuiltImage({0x0F, 0x0B}, EntryAt));
  const std::vector<uint8_t> LcrWrite = {0xB0, 0x07, 0x66, 0xBA, 0x43, 0x02};
  const auto LcrAt =
      std::search(BuiltBytes.begin(), BuiltBytes.end(), LcrWrite.begin(), LcrWrite.end()) -
      BuiltBytes.begin();
  ASSERT_LT(static_cast<size_t>(LcrAt), BuiltBytes.size());
  const TempFile Lcr8n1Built("lcr_8n1_built.te",
                             PatchedBuiltImage({0xB0, 0x03}, static_cast<size_t>(LcrAt)));
  const std::string Twin = OEMCOM_DEBUG_PE_PATH;
  const std::string Source = OEMCOM_SOURCE_DIR;
  const std::vector<PlayerFile> Players = PlayerFiles();
  const TempFile PlayerOk(Players[0].Name, Players[0].Image);
  const TempFile Lcr8n1(Players[1].Name, Players[1].Image);
  const TempFile DlmFirst(Players[2].Name, Players[2].Image);
  const TempFile ExtraFcr(Players[3].Name, Players[3].Image);
  const TempFile NoPoll(Players[4].Name, Players[4].Image);
  std::vector<PortAccess> Script = EntryScript(0x00, 0);
  const TempFile TraceOk("trace_ok.txt", TraceFile(Script));
  Script[28].Value = 0x03;
  const TempFile Trace8n1("trace_8n1.txt", TraceFile(Script));
  const TempFile TraceBad("trace_bad.txt",
                          std::vector<uint8_t>{'#', '\n', 'W', ' ', '0', 'x', '2', '4', '3', '\n'});
  // clang-format off
  const CliCase Cases[] = {
      {{"--help"}, 0, "Usage: te-run [options] IMAGE.te"},
      {{}, 2, "te-run: no image given"},
      {{"--bogus", "1", Clean}, 2, "te-run: unknown option --bogus"},
      {{"--probe", "0x100", Clean}, 2, "--probe needs a number up to 255, not '0x100'"},
      {{"--busy", "-1", Clean}, 2, "--busy needs a number"},
      {{Clean, Loop}, 2, "more than one image given"},
      {{"--base"}, 2, "--base needs a value"},
      {{"/nonexistent/oemcom.te"}, 2, "te-run: /nonexistent/oemcom.te: cannot open: "},
      {{CorruptFile.Name()}, 1, "corrupt.te: bad TE signature 0x4d4d"},
      {{Subsystem0.Name()}, 1, "subsystem 0 (unknown) is not an EFI boot service driver"},
      {{Application.Name()}, 1, "subsystem 10 (EFI application) is not an EFI boot service"},
      {{"--no-script", Subsystem8b.Name()}, 1, "subsystem 139 (unknown) is not an EFI"},
      {{SubsystemFf.Name()}, 1, "subsystem 255 (unknown) is not an EFI boot service driver"},
      {{Debug.Name()}, 1, "debug.te: debug directory present (RVA 0x200, 28 bytes)"},
      {{Fifo}, 2, ".fifo: is a FIFO, not a regular file"},
      {{"--check-trace", Fifo}, 2, ".fifo: is a FIFO, not a regular file"},
      {{"--busy", "10001", Clean}, 2, "--busy needs a number up to 10000, not '10001'"},
      {{"--probe", "0x00", "--busy", "10000", Built},
       0,
       "verdict: PASS: board reference: 190067 port accesses"},
      {{"--probe", "0x00", "--busy", "10000", Built}, 0, "UART LSR (10000 times)\n"},
      {{"--busy", "10000", Loop}, 1, "does not return within 1000000 instructions"},
      {{"--base", "0xffffff00", Clean}, 2, "does not fit below 4 GiB"},
      {{"--no-script", Clean}, 0, "result: EAX 0x00000000 (EFI_SUCCESS)\n"},
      {{Clean},
       1,
       "verdict: FAIL: board reference: trace ends after 0 accesses, expected 43; UART no divisor "
       "5N1"},
      {{"--busy=1", Unpolled},
       1,
       "serial line (1 bytes): \"A\"\nresult: EAX 0xaaaaaa41\n"
       "instructions: 3\npeak stack: 4 bytes\n"
       "FAULT: the image writes THR while LSR reports busy (byte 0x41) (EIP 0x00810206)\n"
       "run: 1 fault\n"},
      {{"--max-instructions", "500", Loop}, 1, "does not return within 500 instructions"},
      {{"--executed", "/nonexistent/run.executed", Clean},
       2,
       "te-run: /nonexistent/run.executed: cannot open for appending: "},
      {{"--no-script", "--map", MapFile.Name(), CallsFile.Name()},
       0,
       "calls.map):\n  Helper               3\n  Entry                2\n"},
      {{"--map", MapCut.Name(), Clean},
       2,
       "cut.map: line 9: '0001:00000006  ?Helper@@YAXXZ' is not a symbol line"},
      {{"--probe", "0x00", "--map", OEMCOM_MAP_PATH, Built},
       0,
       "EFI_SUCCESS\ninstructions by function (oemcom.map):\n  "},
      {{"--probe", "0x00", "--busy", "2", Built},
       0,
       "serial line (19 bytes): \"\\r\\nOEM_Init_COM OK\\r\\n\""},
      {{"--probe", "0xff", "--base", "0x7ff00000", Built}, 0, "run: clean\n"},
      {{"--probe", "0xff", Built},
       0,
       "verdict: PASS: board reference: 43 port accesses match the script; UART 115200 8N2; "
       "EFI_SUCCESS\n"},
      {{"--probe", "0x00", Built},
       0,
       "verdict: PASS: board reference: 67 port accesses match the script; UART 115200 8N2; "
       "EFI_SUCCESS\n"},
      {{"--probe", "0xfe", Built},
       0,
       "verdict: PASS: board reference: 67 port accesses match the script; UART 115200 8N2; "
       "EFI_SUCCESS\n"},
      {{"--probe", "0xfe", "--busy", "3", PlayerOk.Name()},
       0,
       "verdict: PASS: board reference: 124 port accesses"},
      {{"--probe", "0x00", Lcr8n1.Name()},
       1,
       "step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR\n"
       "verdict: FAIL: board reference: step 29 differs from the script; UART 115200 8N1, expected "
       "115200 8N2\n"},
      {{"--probe", "0x00", DlmFirst.Name()},
       1,
       "step 27: expected W 0x0240 <- 0x01  UART DLL, got W 0x0241 <- 0x00  UART DLM\n"},
      {{"--probe", "0x00", ExtraFcr.Name()},
       1,
       "step 30: expected R 0x0245 -> 0x20  UART LSR, got W 0x0242 <- 0x07  UART FCR\n"},
      {{"--probe", "0x00", NoPoll.Name()},
       1,
       "step 30: expected R 0x0245 -> 0x20  UART LSR, got W 0x0240 <- 0x0d  UART THR \\r\n"},
      {{"--probe", "0xff", "--print-script"}, 0, "R 0x0259 0xff\nW 0x0243 0x87\nW 0x0240 0x01\n"},
      {{"--probe", "0x00", "--check-trace", TraceOk.Name()},
       0,
       "  R 0x0245 -> 0x60  UART LSR\n  W 0x0240 <- 0x0d  UART THR \\r\n"},
      {{"--probe", "0x00", "--check-trace", TraceOk.Name()},
       0,
       "verdict: PASS: board reference: 67 port accesses match the script\n"},
      {{"--probe", "0x00", "--busy", "1", "--check-trace", TraceOk.Name()},
       1,
       "step 31: expected R 0x0245 -> 0x20  UART LSR, got W 0x0240 <- 0x0d  UART THR \\r\n"},
      {{"--probe", "0x00", "--check-trace", Trace8n1.Name()},
       1,
       "verdict: FAIL: board reference: step 29 differs from the script\n"},
      {{"--probe", "0xfe", "--check-trace", TraceOk.Name()},
       1,
       "step 1: expected R 0x0259 -> 0xfe"},
      {{"--check-trace", TraceBad.Name()}, 2, "line 2: 'W 0x243' is not an access"},
      {{"--check-trace", TraceEscape.Name()}, 2, "line 1: 'W \\x1b[31m 0x243 0x07' is not"},
      {{"--check-trace", TraceLong.Name()}, 2, "AAAAAAAAAA...' is not an access"},
      {{"--check-trace", TraceNul.Name()}, 2, "line 1: 'W\\x00 0x43' is not an access"},
      {{"--probe", "0x00", "--busy", "2", "--print-script"},
       0,
       "R 0x0245 0xdf x2\nR 0x0245 0x20\n"},
      {{"--check-trace", "/nonexistent/trace.txt"},
       2,
       "te-run: /nonexistent/trace.txt: cannot open: "},
      {{"--check-trace", TraceOk.Name(), Built}, 2, "--check-trace takes no image"},
      {{"--print-script", "--stack", "8192"}, 2, "--stack applies only to a run of an image"},
      {{"--debug-image", Twin, EntryUd2.Name()},
       1,
       "invalid instruction (EIP " + Hex(DEFAULT_LOAD_BASE + BuiltImage.AddressOfEntryPoint, 8) +
           ", "},
      // clang 19 inlines the probe read there: "PortRead8 at ... in OemInitComEntry at ...".
      {{"--debug-image", Twin, EntryUd2.Name()},
       1,
       "OemInitComEntry at " + Source + "/entry/oem_init_com.cpp:"},
      {{"--probe", "0x00", "--debug-image", Twin, Lcr8n1Built.Name()},
       1,
       " in OemInitComEntry at " + Source + "/entry/oem_init_com.cpp:"},
      {{"--probe", "0x00", "--debug-image", Twin, Lcr8n1Built.Name()},
       1,
       "step 29: expected W 0x0243 <- 0x07  UART LCR, got W 0x0243 <- 0x03  UART LCR\n"},
      {{"--debug-image", Clean, Clean},
       2,
       "te-run: --debug-image: " + Clean + ": not a PE image: no MZ signature"},
      {{"--debug-image", "/nonexistent/oemcom.debug.efi", Clean},
       2,
       "te-run: --debug-image: /nonexistent/oemcom.debug.efi: cannot open: "},
  };
  // clang-format on
  for (const CliCase &Case : Cases) {
    std::string Line;
    for (const std::string &Word : Case.Arguments) {
      Line += " " + Word;
    }
    SCOPED_TRACE("te-run" + Line);
    const Outcome Got = RunTool(Case.Arguments);
    EXPECT_EQ(Got.Exit, Case.Exit) << Got.Output.substr(0, 4096);
    EXPECT_NE(Got.Output.find(Case.Fragment), std::string::npos) << Got.Output.substr(0, 4096);
  }
  std::remove(Fifo.c_str());
}

} // namespace
