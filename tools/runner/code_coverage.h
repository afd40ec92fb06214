// Which of an image's code bytes runs executed: the code range read from the image's link map,
// the instructions executed kept in a text file that several runs add to, and the report of the
// share executed with every byte range that was not.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "link_map.h"

// Instructions executed inside an image: their length in bytes by RVA.
using ExecutedCode = std::map<uint32_t, uint32_t>;

// The image's code as its link map lays it out: from the start of the section holding .text to
// where the first .rdata contribution of that section begins (constant data merged into .text
// follows the code), or to the end of .text when none does.
struct CodeExtent {
  uint32_t PreferredBase = 0; // the linked ImageBase
  uint32_t Low = 0, High = 0; // RVAs: [Low, High)
  uint32_t TextEnd = 0;       // RVA where the section's .text contributions end: up to High,
                              // the linker's padding before the constant data
};

// Reads the code extent from the lld-link map at Path. On failure returns false and sets Error:
// "no .text contribution", "no symbol in section 0001 to place it".
[[nodiscard]] bool ReadCodeExtent(const std::string &Path, CodeExtent *Extent, std::string *Error);

// Adds Code to the file at Path, one instruction a line, "RVA LENGTH" ("0x000001c0 2"),
// creating the file when it does not exist.
[[nodiscard]] bool AppendExecutedCode(const std::string &Path, const ExecutedCode &Code,
                                      std::string *Error);
// Adds the instructions listed in the file at Path to *Code; an instruction listed more than once
// counts once. Error names the line that is not "RVA LENGTH".
[[nodiscard]] bool ReadExecutedCode(const std::string &Path, ExecutedCode *Code,
                                    std::string *Error);

struct CoverageFigures {
  uint32_t CodeBytes = 0;
  uint32_t ExecutedBytes = 0; // code bytes some executed instruction covers
};
CoverageFigures MeasureCoverage(const CodeExtent &Extent, const ExecutedCode &Code);

// "code bytes executed (MAP): 1530 of 1548 (98.8%)", then a line for each run of bytes no
// instruction covered, split where a symbol starts, with its linked address, its length and its
// place: "  0x00400352  5 bytes  PutDirective+0x39", or "padding after .text" past TextEnd.
std::string CoverageReport(const std::string &MapName, const CodeExtent &Extent,
                           const LinkMap &Symbols, const ExecutedCode &Code);
