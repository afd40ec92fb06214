// Whole-file reads and all-or-nothing writes. Errors give what failed and errno's reason
// ("cannot open: No such file or directory") without the path, which the caller puts first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Largest input the tools read, in bytes. The module's images are a few KiB.
constexpr uint64_t MAX_INPUT_SIZE = 64u << 20;

// The file's name without its folder: "oemcom.te" for "build/image/oemcom.te".
std::string BaseName(const std::string &Path);

// Reads all of Path into Bytes. Refuses files above MAX_INPUT_SIZE.
[[nodiscard]] bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes,
                                 std::string *Error);

// Reads the text file at Path and passes each line, without its line end, to Take. When Take
// refuses a line, returning false with a reason such as "is not an access", stops and sets Error
// to "line N: 'LINE' REASON", the line without its outer blanks; a file that cannot be read
// gives "cannot open: ...".
using LineTaker = std::function<bool(const std::string &Line, std::string *Reason)>;
[[nodiscard]] bool ReadTextLines(const std::string &Path, const LineTaker &Take,
                                 std::string *Error);

// Writes Bytes to a new temporary file in Path's folder, then renames it over Path. On any
// failure the temporary file is removed and Path is left as it was.
[[nodiscard]] bool ReplaceFileBytes(const std::string &Path, const std::vector<uint8_t> &Bytes,
                                    std::string *Error);
