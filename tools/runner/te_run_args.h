// te-run's command line: what to do (run an image, check a trace file, print the script) and
// the options of each.
#pragma once

#include <string>
#include <vector>

#include "image_runner.h"

extern const char TE_RUN_USAGE[];

struct TeRunArguments {
  RunOptions Run;
  PlatformOptions Platform;
  bool Help = false;
  bool NoScript = false;    // run the image without holding it to the script
  bool PrintScript = false; // print the expected script and stop
  std::string TracePath;    // --check-trace: hold this trace file to the script
  std::string MapPath;      // --map: the image's link map, for the instructions by function
  std::string ExecutedPath; // --executed: add the instructions executed to this file
  std::string DebugPath;    // --debug-image: the image's debug twin, for source places
  std::string ImagePath;
};

// Parses Arguments (argv without the program name). On bad usage returns false and sets Error
// to a one-line reason.
[[nodiscard]] bool ParseTeRunArguments(const std::vector<std::string> &Arguments,
                                       TeRunArguments *Args, std::string *Error);
