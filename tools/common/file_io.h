// Whole-file reads and all-or-nothing writes. Errors give what failed and errno's reason
// ("cannot open: No such file or directory") without the path, which the caller puts first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Largest input the tools read, in bytes. The module's images are a few KiB.
constexpr uint64_t MAX_INPUT_SIZE = 64u << 20;

// Reads all of Path into Bytes. Refuses files above MAX_INPUT_SIZE.
[[nodiscard]] bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes,
                                 std::string *Error);

// Writes Bytes to a new temporary file in Path's folder, then renames it over Path. On any
// failure the temporary file is removed and Path is left as it was.
[[nodiscard]] bool ReplaceFileBytes(const std::string &Path, const std::vector<uint8_t> &Bytes,
                                    std::string *Error);
