// The te-tool command line, callable in-process (the tests drive it without a subprocess).
#pragma once

#include <ostream>
#include <string>
#include <vector>

constexpr int EXIT_REFUSED = 1; // bad input or I/O failure
constexpr int EXIT_USAGE = 2;   // bad command line

// The text of `te-tool --help`.
std::string TeToolUsage();

// Runs te-tool with Arguments (argv without the program name). Results go to Out, one-line
// errors prefixed "te-tool: " to Err. Returns the exit status: 0, EXIT_REFUSED or EXIT_USAGE.
int RunTeTool(const std::vector<std::string> &Arguments, std::ostream &Out, std::ostream &Err);
