// Whole-file reads and all-or-nothing writes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Largest input the tools read, in bytes. The module's images are a few KiB.
constexpr uint64_t MAX_INPUT_SIZE = 64u << 20;

// Reads all of Path into Bytes. Refuses files above MAX_INPUT_SIZE. Error does not repeat Path.
bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes, std::string *Error);

// Writes Bytes to a new temporary file in Path's folder, then renames it over Path. On any
// failure the temporary file is removed and Path is left as it was. Error does not repeat Path.
bool ReplaceFileBytes(const std::string &Path, const std::vector<uint8_t> &Bytes,
                      std::string *Error);
