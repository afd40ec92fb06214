// fv-tool's command line run in-process on files in a fresh temporary folder.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tool_test_folder.h"

class FvToolFolder : public ToolFolder {
protected:
  // Runs fv-tool; names in Arguments starting with '@' become paths in the folder.
  int Run(const std::vector<std::string> &Arguments);

  std::ostringstream Out;
  std::ostringstream Err;
};
