// Whole-file reads and all-or-nothing writes. Errors give what failed and errno's reason
// ("cannot open: No such file or directory") without the path, which the caller puts first.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "struct_io.h"

// Largest input the tools read, in bytes. The module's images are a few KiB.
constexpr uint64_t MAX_INPUT_SIZE = 64u << 20;

// The file's name without its folder: "oemcom.te" for "build/image/oemcom.te".
std::string BaseName(const std::string &Path);

// Reads all of Path into Bytes. Refuses anything but a regular file (a FIFO is not waited on),
// and files above MAX_INPUT_SIZE.
[[nodiscard]] bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes,
                                 std::string *Error);

// Reads the text file at Path and passes each line, without its line end, to Take. When Take
// refuses a line, returning false with a reason such as "is not an access", stops and sets Error
// to "line N: 'LINE' REASON", the line without its outer blanks, escaped and cut (VisibleText);
// a file that cannot be read gives "cannot open: ...".
using LineTaker = std::function<bool(const std::string &Line, std::string *Reason)>;
[[nodiscard]] bool ReadTextLines(const std::string &Path, const LineTaker &Take,
                                 std::string *Error);

// Appends Bytes to the file at Path, made (0644) when there is none. They go out in one write
// where the system allows, so that runs appending to one file at once keep theirs whole.
[[nodiscard]] bool AppendFileBytes(const std::string &Path, ByteView Bytes, std::string *Error);

// True when both paths name one existing file (the same device and inode), through any path or
// link.
bool SameFile(const std::string &First, const std::string &Second);

// Writes Bytes to the file Path names, following symbolic links. A regular file, or a name with
// no file yet, gets a new temporary file in its folder, renamed over it once whole: on any
// failure the temporary file is removed and the old file stays as it was; the old file's mode
// and owner carry over (a new file is 0644). Anything else (a device, a FIFO, a terminal) is
// written in place.
[[nodiscard]] bool ReplaceFileBytes(const std::string &Path, ByteView Bytes, std::string *Error);
