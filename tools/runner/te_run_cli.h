// te-run's command line, callable in-process (the tests drive it without a subprocess): runs a
// TE image's entry point on an emulated IA-32 CPU against the platform model, reports the port
// trace, the serial line, the result and every rule the image broke, and holds the run to the
// module's exact port script. It also holds a trace recorded elsewhere to the same script, and
// prints the script.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"

// Runs te-run with Arguments (argv without the program name). Reports go to Out, one-line
// errors prefixed "te-run: " to Err. Returns the exit status: EXIT_OK, EXIT_FAULT or EXIT_TROUBLE.
int RunTeRun(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err);
