// fault-images OUTDIR: makes OUTDIR if needed and writes the script-player images (player_ok.te and
// the four faulty ones), and hang.te, which never returns, for the tests that boot them in real
// firmware.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fault_images.h"
#include "te_builder.h"

int main(int Count, char **Values) {
  if (Count != 2 || Values[1][0] == '-') {
    std::fputs("usage: fault-images OUTDIR\n"
               "Writes player_ok.te, lcr_8n1.te, dlm_first.te, extra_fcr.te, no_poll.te and\n"
               "hang.te.\n",
               stderr);
    return 2;
  }
  std::error_code Ignored; // a folder that cannot be made shows as a file that cannot be written
  std::filesystem::create_directories(Values[1], Ignored);
  std::vector<PlayerFile> Files = PlayerFiles();
  // jmp $, then nop: OVMF's LoadImage refuses a file as short as 240 bytes (EFI_UNSUPPORTED).
  std::vector<uint8_t> Hang(256, 0x90);
  Hang[0] = 0xEB;
  Hang[1] = 0xFE;
  Files.push_back({"hang.te", "jmp $: never returns", BuildTe({Hang, {}})});
  for (const PlayerFile &File : Files) {
    const std::string Path = std::string(Values[1]) + "/" + File.Name;
    std::ofstream Out(Path, std::ios::binary);
    Out.write(reinterpret_cast<const char *>(File.Image.data()),
              static_cast<std::streamsize>(File.Image.size()));
    if (!Out.flush()) {
      std::fprintf(stderr, "fault-images: cannot write %s\n", Path.c_str());
      return 1;
    }
    std::printf("%s  %s\n", Path.c_str(), File.About);
  }
  return 0;
}
