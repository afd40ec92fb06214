// The te-tool command line, callable in-process (the tests drive it without a subprocess).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"

// Runs te-tool with Arguments (argv without the program name). Results go to Out, one-line
// errors prefixed "te-tool: " to Err. Returns the exit status: EXIT_OK, EXIT_FAULT or EXIT_TROUBLE.
int RunTeTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err);
