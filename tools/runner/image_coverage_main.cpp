// image-coverage: the share of an image's code bytes the listed instructions executed.
#include <iostream>
#include <string>
#include <vector>

#include "exit_status.h"
#include "image_coverage_cli.h"
#include "tool_version.h"

int main(int Argc, char **Argv) {
  const std::vector<std::string> Arguments(Argv + (Argc > 0 ? 1 : 0), Argv + Argc);
  if (PrintsVersion(Arguments, "image-coverage", std::cout)) {
    return EXIT_OK;
  }
  return RunImageCoverage(Arguments, std::cout, std::cerr);
}
