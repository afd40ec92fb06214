#include "fault_images.h"

#include <algorithm>
#include <functional>

#include "entry_script.h"
#include "script_player.h"

namespace {

using Script = std::vector<PortAccess>;

bool IsWrite(const PortAccess &Access, uint16_t Port) {
  return Access.IsWrite && Access.Port == Port;
}

// The last LCR write of the line setup: the one that leaves the divisor latch.
Script::iterator FinalLcr(Script &Steps) {
  return std::find_if(Steps.rbegin(), Steps.rend(),
                      [](const PortAccess &Access) { return IsWrite(Access, 0x243); })
             .base() -
         1;
}

struct Change {
  const char *Name;
  const char *About;
  std::function<void(Script &)> Apply;
};

} // namespace

std::vector<PlayerFile> PlayerFiles() {
  const Change Changes[] = {
      {"player_ok.te", "the expected accesses", [](Script &) {}},
      {"lcr_8n1.te", "final LCR 0x03 (8N1) instead of 0x07",
       [](Script &Steps) { FinalLcr(Steps)->Value = 0x03; }},
      {"dlm_first.te", "DLM written before DLL",
       [](Script &Steps) {
         const auto Dll = std::find_if(Steps.begin(), Steps.end(), [](const PortAccess &Access) {
           return IsWrite(Access, 0x240);
         });
         std::iter_swap(Dll, Dll + 1);
       }},
      {"extra_fcr.te", "0x07 written to the FIFO control register after the line setup",
       [](Script &Steps) {
         const auto AfterLineSetup = FinalLcr(Steps) + 1;
         Steps.insert(AfterLineSetup, {true, 0x242, 0x07, {}});
       }},
      {"no_poll.te", "no LSR poll before each byte",
       [](Script &Steps) {
         Steps.erase(std::remove_if(Steps.begin(), Steps.end(),
                                    [](const PortAccess &Access) {
                                      return !Access.IsWrite && Access.Port == 0x245;
                                    }),
                     Steps.end());
       }},
  };
  std::vector<PlayerFile> Files;
  for (const Change &Each : Changes) {
    Script Steps = EntryScript(0x00, 0);
    Each.Apply(Steps);
    Files.push_back({Each.Name, Each.About, PlayerImage(Steps)});
  }
  return Files;
}
