// The fv-tool command line, callable in-process (the tests drive it without a subprocess).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "edit_check.h"
#include "exit_status.h"

// Runs fv-tool with Arguments (argv without the program name). Results go to Out, one-line
// errors prefixed "fv-tool: " to Err. Returns the exit status: EXIT_OK, EXIT_FAULT (refused
// input), EXIT_TROUBLE (bad command line, file I/O error) or EXIT_INTERNAL (the check of an
// edit's result failed). Hook, for tests, plants faults in an edit (edit_check.h).
int RunFvTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err,
              const FaultHook &Hook = {});
