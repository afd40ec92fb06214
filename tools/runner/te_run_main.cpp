// te-run: an image's entry on the emulated CPU, held to the module's port script.
#include <iostream>
#include <string>
#include <vector>

#include "te_run_cli.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  return RunTeRun(Arguments, std::cout, std::cerr);
}
