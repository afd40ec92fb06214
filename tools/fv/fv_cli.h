// The fv-tool command line, callable in-process (the tests drive it without a subprocess).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"

// Runs fv-tool with Arguments (argv without the program name). Results go to Out, one-line
// errors prefixed "fv-tool: " to Err. Returns the exit status: EXIT_OK, EXIT_FAULT (refused
// input) or EXIT_TROUBLE (bad command line, file I/O error).
int RunFvTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err);
