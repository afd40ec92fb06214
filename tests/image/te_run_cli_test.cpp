// te-run as a command: exit status and message for help, bad usage, unloadable images,
// clean runs and faulting runs.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "te_builder.h"

namespace {

struct Outcome {
  int Exit;
  std::string Output; // stdout and stderr
};

Outcome RunTool(const std::string &Arguments) {
  const std::string Command = std::string("'") + TE_RUN_PATH + "' " + Arguments + " 2>&1";
  Outcome Result{-1, ""};
  FILE *Pipe = popen(Command.c_str(), "r");
  if (Pipe == nullptr) {
    return Result;
  }
  char Buffer[4096];
  size_t Got;
  while ((Got = fread(Buffer, 1, sizeof Buffer, Pipe)) > 0) {
    Result.Output.append(Buffer, Got);
  }
  const int Status = pclose(Pipe);
  Result.Exit = WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
  return Result;
}

// An image written for the command to read, removed again when the test ends.
class ImageFile {
public:
  ImageFile(const std::string &Name, const std::vector<uint8_t> &Bytes)
      : Path(testing::TempDir() + "te_run_" + std::to_string(getpid()) + "_" + Name) {
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char *>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  }
  ~ImageFile() { std::remove(Path.c_str()); }
  ImageFile(const ImageFile &) = delete;
  ImageFile &operator=(const ImageFile &) = delete;

  std::string Quoted() const { return "'" + Path + "'"; }

private:
  std::string Path;
};

struct CliCase {
  std::string Arguments;
  int Exit;
  const char *Fragment;
};

TEST(TeRunCommand, ExitStatusAndMessage) {
  // xor eax,eax; ret
  const ImageFile CleanFile("clean.te", BuildTe({{0x31, 0xC0, 0xC3}, {}}));
  // mov al,'A'; mov dx,0x240; out dx,al; xor eax,eax; ret
  const ImageFile UnpolledFile(
      "unpolled.te", BuildTe({{0xB0, 0x41, 0x66, 0xBA, 0x40, 0x02, 0xEE, 0x31, 0xC0, 0xC3}, {}}));
  // jmp $
  const ImageFile LoopFile("loop.te", BuildTe({{0xEB, 0xFE}, {}}));
  const ImageFile CorruptFile("corrupt.te", std::vector<uint8_t>(64, 'M'));
  const std::string Clean = CleanFile.Quoted();
  const std::string Unpolled = UnpolledFile.Quoted();
  const std::string Loop = LoopFile.Quoted();
  const std::string Corrupt = CorruptFile.Quoted();
  const std::string Built = std::string("'") + OEMCOM_TE_PATH + "'";
  const CliCase Cases[] = {
      {"--help", 0, "usage: te-run [options] IMAGE.te"},
      {"", 2, "te-run: no image given"},
      {"--bogus 1 " + Clean, 2, "te-run: unknown option --bogus"},
      {"--probe 0x100 " + Clean, 2, "--probe needs a number up to 255, not '0x100'"},
      {"--busy -1 " + Clean, 2, "--busy needs a number"},
      {Clean + " " + Loop, 2, "more than one image given"},
      {"--base", 2, "--base needs a value"},
      {"/nonexistent/oemcom.te", 2, "te-run: cannot open /nonexistent/oemcom.te"},
      {Corrupt, 2, "not a valid TE image: bad TE signature 0x4d4d"},
      {"--base 0xffffff00 " + Clean, 2, "does not fit below 4 GiB"},
      {Clean, 0, "result: EAX 0x00000000 (EFI_SUCCESS)\n"},
      {"--busy=1 " + Unpolled, 1, "FAULT: the image port access: THR written while LSR"},
      {"--max-instructions 500 " + Loop, 1, "does not return within 500 instructions"},
      {"--probe 0x00 --busy 2 " + Built, 0,
       "serial line (19 bytes): \"\\r\\nOEM_Init_COM OK\\r\\n\""},
      {"--probe 0xff --base 0x7ff00000 " + Built, 0, "run: clean\n"},
  };
  for (const CliCase &Case : Cases) {
    SCOPED_TRACE(Case.Arguments);
    const Outcome Got = RunTool(Case.Arguments);
    EXPECT_EQ(Got.Exit, Case.Exit) << Got.Output;
    EXPECT_NE(Got.Output.find(Case.Fragment), std::string::npos) << Got.Output;
  }
}

} // namespace
