// fv-tool's command line run in-process on files in a fresh temporary folder.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "edit_check.h"
#include "tool_test_folder.h"

class FvToolFolder : public ToolFolder {
protected:
  // Runs fv-tool; names in Arguments starting with '@' become paths in the folder. Hook plants
  // faults in an edit (edit_check.h).
  int Run(const std::vector<std::string> &Arguments, const FaultHook &Hook = {});

  std::ostringstream Out;
  std::ostringstream Err;
};
