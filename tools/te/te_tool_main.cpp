// te-tool: converts the module's PE32 image to TE, inspects and checks TE images.
#include <iostream>
#include <string>
#include <vector>

#include "te_cli.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  return RunTeTool(Arguments, std::cout, std::cerr);
}
