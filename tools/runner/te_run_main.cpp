// te-run: an image's entry on the emulated CPU, held to the module's port script.
#include <iostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "te_run_cli.h"
#include "tool_version.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  if (PrintsVersion(Arguments, "te-run", std::cout)) {
    return EXIT_OK;
  }
  return RunTeRun(Arguments, std::cout, std::cerr);
}
