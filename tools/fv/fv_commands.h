// fv-tool's commands, each run on its operands and options as the command line gave them:
// results to Out, one-line refusals prefixed "fv-tool: COMMAND: " to Err, the exit status
// returned.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "edit_check.h"

// The operands and options after the command's name.
struct Parsed {
  std::vector<std::string> Operands;
  std::string Guid, Name, Base, Volume;
  bool HasGuid = false, HasName = false, HasBase = false, HasVolume = false, Replace = false,
       Early = false;
};

int RunFfs(const Parsed &Line, std::ostream &Out, std::ostream &Err);
int RunList(const Parsed &Line, std::ostream &Out, std::ostream &Err);
int RunInsert(const Parsed &Line, std::ostream &Out, std::ostream &Err, const FaultHook &Hook);
// remove and extract: FIRMWARE GUID OUT.
int RunRemoveOrExtract(const std::string &Command, const Parsed &Line, std::ostream &Out,
                       std::ostream &Err, const FaultHook &Hook);
