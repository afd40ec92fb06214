// te-tool: converts the module's PE32 image to TE, inspects and checks TE images.
#include <iostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "te_cli.h"
#include "tool_version.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  if (PrintsVersion(Arguments, "te-tool", std::cout)) {
    return EXIT_OK;
  }
  return RunTeTool(Arguments, std::cout, std::cerr);
}
