#include "tool_folder.h"

#include "fv_cli.h"

int FvToolFolder::Run(const std::vector<std::string> &Arguments, const FaultHook &Hook) {
  std::vector<std::string> Resolved;
  for (const std::string &Word : Arguments) {
    Resolved.push_back(!Word.empty() && Word[0] == '@' ? Path(Word.substr(1)) : Word);
  }
  Out.str("");
  Err.str("");
  return RunFvTool(Resolved, Out, Err, Hook);
}
