// image-coverage's command line, callable in-process: the share of an image's code bytes that
// the instructions listed in executed-code files cover (te-run --executed and the format rows
// write them), with every run of bytes none covers.
#pragma once

#include <ostream>
#include <string>
#include <vector>

extern const char IMAGE_COVERAGE_USAGE[];

// Runs image-coverage with Arguments (argv without the program name). The report goes to Out,
// one-line errors prefixed "image-coverage: " to Err. Returns EXIT_OK, EXIT_FAULT (below the
// --min share) or EXIT_TROUBLE.
int RunImageCoverage(const std::vector<std::string> &Arguments, std::ostream &Out,
                     std::ostream &Err);
