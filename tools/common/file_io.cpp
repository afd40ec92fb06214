#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "messages.h"

namespace {

// What, then the reason errno gives. The callers' messages already name the file.
std::string SystemError(const std::string &What) {
  return What + ": " + std::strerror(errno);
}

// The folder holding Path, with its trailing slash; empty for a bare file name.
std::string FolderOf(const std::string &Path) {
  const size_t Slash = Path.rfind('/');
  return Slash == std::string::npos ? std::string() : Path.substr(0, Slash + 1);
}

[[nodiscard]] bool WriteAll(int Descriptor, const std::vector<uint8_t> &Bytes) {
  size_t Written = 0;
  while (Written < Bytes.size()) {
    const ssize_t Count = write(Descriptor, Bytes.data() + Written, Bytes.size() - Written);
    if (Count < 0 && errno == EINTR) {
      continue;
    }
    if (Count <= 0) {
      return false;
    }
    Written += static_cast<size_t>(Count);
  }
  return true;
}

} // namespace

std::string BaseName(const std::string &Path) {
  return Path.substr(FolderOf(Path).size());
}

bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes, std::string *Error) {
  const int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  if (Descriptor < 0) {
    return Fail(Error, SystemError("cannot open"));
  }
  std::vector<uint8_t> Data;
  uint8_t Chunk[65536];
  ssize_t Count = 0;
  while ((Count = read(Descriptor, Chunk, sizeof(Chunk))) != 0) {
    if (Count < 0 && errno == EINTR) {
      continue;
    }
    if (Count < 0 || Data.size() + static_cast<size_t>(Count) > MAX_INPUT_SIZE) {
      const std::string Reason =
          Count < 0 ? SystemError("cannot read")
                    : "larger than " + std::to_string(MAX_INPUT_SIZE >> 20) + " MiB";
      close(Descriptor);
      return Fail(Error, Reason);
    }
    Data.insert(Data.end(), Chunk, Chunk + Count);
  }
  close(Descriptor);
  *Bytes = std::move(Data);
  return true;
}

bool ReadTextLines(const std::string &Path, const LineTaker &Take, std::string *Error) {
  std::vector<uint8_t> Bytes;
  if (!ReadFileBytes(Path, &Bytes, Error)) {
    return false;
  }
  std::istringstream Lines(std::string(Bytes.begin(), Bytes.end()));
  std::string Line, Reason;
  for (size_t Number = 1; std::getline(Lines, Line); ++Number) {
    if (!Line.empty() && Line.back() == '\r') {
      Line.pop_back();
    }
    if (!Take(Line, &Reason)) {
      const size_t First = std::min(Line.find_first_not_of(" \t"), Line.size());
      std::string Message = "line " + std::to_string(Number) + ": '";
      Message += Line.substr(First, Line.find_last_not_of(" \t") + 1 - First) + "' ";
      return Fail(Error, Message + Reason);
    }
  }
  return true;
}

bool ReplaceFileBytes(const std::string &Path, const std::vector<uint8_t> &Bytes,
                      std::string *Error) {
  std::string Temporary = FolderOf(Path) + ".te-tool.XXXXXX";
  const int Descriptor = mkstemp(&Temporary[0]);
  if (Descriptor < 0) {
    return Fail(Error, SystemError("cannot create a temporary file in its folder"));
  }
  // mkstemp creates the file 0600; an image is an ordinary readable file.
  bool Written = fchmod(Descriptor, 0644) == 0 && WriteAll(Descriptor, Bytes);
  std::string Message = Written ? std::string() : SystemError("cannot write " + Temporary);
  if (close(Descriptor) != 0 && Written) {
    Written = false;
    Message = SystemError("cannot write " + Temporary);
  }
  if (Written && rename(Temporary.c_str(), Path.c_str()) != 0) {
    Written = false;
    Message = SystemError("cannot rename " + Temporary + " over it");
  }
  if (!Written) {
    unlink(Temporary.c_str());
    return Fail(Error, Message);
  }
  return true;
}
