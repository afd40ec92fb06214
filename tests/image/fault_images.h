// Script-player images of the module: one that makes exactly the expected accesses, and four
// faulty ones, each one change away from it.
#pragma once

#include <cstdint>
#include <vector>

struct PlayerFile {
  const char *Name;  // file name, e.g. "lcr_8n1.te"
  const char *About; // the change, in a few words
  std::vector<uint8_t> Image;
};

// player_ok.te first, then lcr_8n1.te, dlm_first.te, extra_fcr.te and no_poll.te.
std::vector<PlayerFile> PlayerFiles();
