// fv-tool: writes the module's FFS file, lists firmware images, inserts the file into one.
#include <iostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "fv_cli.h"
#include "tool_version.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  if (PrintsVersion(Arguments, "fv-tool", std::cout)) {
    return EXIT_OK;
  }
  return RunFvTool(Arguments, std::cout, std::cerr);
}
