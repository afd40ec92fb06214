#include "image_coverage_cli.h"

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "code_coverage.h"
#include "command_line.h"
#include "exit_status.h"
#include "file_io.h"
#include "link_map.h"

const char IMAGE_COVERAGE_USAGE[] =
    "Usage: image-coverage [--min PERCENT] MAP EXECUTED...\n"
    "Prints the share of the image's code bytes that the instructions listed in the EXECUTED\n"
    "files cover (each instruction counted once, however often it is listed), then every run\n"
    "of code bytes none covers, with the function it lies in. MAP is the image's lld-link map:\n"
    "the code runs from the start of .text's section to its first .rdata contribution.\n"
    "An EXECUTED file holds one instruction a line, 'RVA LENGTH', as te-run --executed and the\n"
    "format rows (OEMCOM_EXECUTED) write them.\n"
    "\n"
    "Options:\n"
    "  --min PERCENT   exit 1 when less than PERCENT (0 to 100) of the code bytes are covered\n"
    "  --help          print this text\n"
    "  --version       print the version (alone on the command line)\n"
    "\n"
    "Exit status: 0 done, 1 below --min, 2 bad usage or unreadable input\n";

namespace {

int Trouble(std::ostream &Err, const std::string &Error) {
  Err << "image-coverage: " << Error << "\n";
  return EXIT_TROUBLE;
}

} // namespace

int RunImageCoverage(const std::vector<std::string> &Arguments, std::ostream &Out,
                     std::ostream &Err) {
  std::vector<CommandWord> Words;
  std::string Error;
  const auto TakesValue = [](const std::string &Name) { return Name == "--min"; };
  if (!SplitCommandLine(Arguments, TakesValue, &Words, &Error)) {
    return Trouble(Err, Error);
  }
  uint64_t Minimum = 0;
  std::vector<std::string> Files;
  for (const CommandWord &Word : Words) {
    if (Word.Name == "--help") {
      Out << IMAGE_COVERAGE_USAGE;
      return EXIT_OK;
    }
    if (Word.Name == "--min") {
      if (!ParseOptionNumber(Word, 100, &Minimum, &Error)) {
        return Trouble(Err, Error);
      }
    } else if (!Word.Name.empty()) {
      return Trouble(Err, "unknown option " + Word.Name);
    } else {
      Files.push_back(Word.Value);
    }
  }
  if (Files.size() < 2) {
    Err << "image-coverage: " << (Files.empty() ? "no map given" : "no executed-code file given")
        << "\n"
        << IMAGE_COVERAGE_USAGE;
    return EXIT_TROUBLE;
  }
  CodeExtent Extent;
  LinkMap Symbols;
  if (!ReadCodeExtent(Files[0], &Extent, &Error) || !ReadLinkMap(Files[0], &Symbols, &Error)) {
    return Trouble(Err, Files[0] + ": " + Error);
  }
  ExecutedCode Code;
  for (size_t Index = 1; Index < Files.size(); ++Index) {
    if (!ReadExecutedCode(Files[Index], &Code, &Error)) {
      return Trouble(Err, Files[Index] + ": " + Error);
    }
  }
  Out << CoverageReport(BaseName(Files[0]), Extent, Symbols, Code);
  const CoverageFigures Figures = MeasureCoverage(Extent, Code);
  if (uint64_t{Figures.ExecutedBytes} * 100 < Minimum * Figures.CodeBytes) {
    Out << "below the minimum of " << Minimum << "%\n";
    return EXIT_FAULT;
  }
  return EXIT_OK;
}
