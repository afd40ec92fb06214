#include "file_io.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>
#include <unistd.h>
#include <utility>
#include <vector>

#include "messages.h"
#include "struct_io.h"

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

// "a directory", "a FIFO", ... for a file that is not a regular one.
std::string KindOf(mode_t Mode) {
  if (S_ISDIR(Mode)) {
    return "a directory";
  }
  if (S_ISFIFO(Mode)) {
    return "a FIFO";
  }
  if (S_ISCHR(Mode)) {
    return "a character device";
  }
  if (S_ISBLK(Mode)) {
    return "a block device";
  }
  return S_ISSOCK(Mode) ? "a socket" : "a special file";
}

[[nodiscard]] bool WriteAll(int Descriptor, ByteView Bytes) {
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

// The file Path names once the symbolic links it is are followed, whether it exists or not.
[[nodiscard]] bool FollowLinks(const std::string &Path, std::string *Target, std::string *Error) {
  constexpr int MAX_LINKS = 40; // as the kernel's ELOOP limit
  std::string Name = Path;
  for (int Links = 0; Links <= MAX_LINKS; ++Links) {
    struct stat Status = {};
    if (lstat(Name.c_str(), &Status) != 0 || !S_ISLNK(Status.st_mode)) {
      *Target = Name;
      return true;
    }
    std::error_code Failure;
    std::string Link = std::filesystem::read_symlink(Name, Failure).string();
    if (Failure || Link.empty()) {
      return Fail(Error, "cannot read the symbolic link " + Name + ": " + Failure.message());
    }
    if (Link[0] != '/') {
      Link.insert(0, FolderOf(Name));
    }
    Name = Link;
  }
  return Fail(Error, "more than 40 symbolic links to follow");
}

// Opens Path with Flags (and O_WRONLY), writes Bytes and closes it; How names the opening in
// a refusal ("cannot open for writing").
[[nodiscard]] bool WriteOpened(const std::string &Path, int Flags, const char *How, ByteView Bytes,
                               std::string *Error) {
  const int Descriptor = open(Path.c_str(), O_WRONLY | O_CLOEXEC | Flags, 0644);
  if (Descriptor < 0) {
    return Fail(Error, SystemError(How));
  }
  const bool Written = WriteAll(Descriptor, Bytes);
  const std::string Message = Written ? std::string() : SystemError("cannot write");
  if (close(Descriptor) != 0 && Written) {
    return Fail(Error, SystemError("cannot write"));
  }
  if (!Written) {
    return Fail(Error, Message);
  }
  return true;
}

// A new file in Path's folder, renamed over Path once whole. It takes Old's mode and owner when
// Path existed, and mode 0644 otherwise.
[[nodiscard]] bool WriteByRename(const std::string &Path, const struct stat *Old, ByteView Bytes,
                                 std::string *Error) {
  std::string Temporary = FolderOf(Path) + "." + Path.substr(FolderOf(Path).size()) + ".XXXXXX";
  const int Descriptor = mkstemp(Temporary.data());
  if (Descriptor < 0) {
    return Fail(Error, SystemError("cannot create a temporary file in its folder"));
  }
  if (Old != nullptr) {
    // Only root may give the file another owner; the mode is kept either way.
    const int Owned = fchown(Descriptor, Old->st_uid, Old->st_gid);
    (void)Owned;
  }
  bool Written = fchmod(Descriptor, Old != nullptr ? Old->st_mode & 07777 : 0644) == 0 &&
                 WriteAll(Descriptor, Bytes);
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

} // namespace

std::string BaseName(const std::string &Path) {
  return Path.substr(FolderOf(Path).size());
}

bool ReadFileBytes(const std::string &Path, std::vector<uint8_t> *Bytes, std::string *Error) {
  // Non-blocking, so that a FIFO is refused rather than waited on.
  const int Descriptor = open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (Descriptor < 0) {
    return Fail(Error, SystemError("cannot open"));
  }
  struct stat Status = {};
  if (fstat(Descriptor, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    const std::string Reason = S_ISREG(Status.st_mode) || Status.st_mode == 0
                                   ? SystemError("cannot read")
                                   : "is " + KindOf(Status.st_mode) + ", not a regular file";
    close(Descriptor);
    return Fail(Error, Reason);
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
      const std::string Trimmed = Line.substr(First, Line.find_last_not_of(" \t") + 1 - First);
      return Fail(Error, "line " + std::to_string(Number) + ": '" +
                             VisibleText(Trimmed, MAX_QUOTED_INPUT) + "' " + Reason);
    }
  }
  return true;
}

bool AppendFileBytes(const std::string &Path, ByteView Bytes, std::string *Error) {
  return WriteOpened(Path, O_APPEND | O_CREAT, "cannot open for appending", Bytes, Error);
}

bool SameFile(const std::string &First, const std::string &Second) {
  struct stat A = {};
  struct stat B = {};
  return stat(First.c_str(), &A) == 0 && stat(Second.c_str(), &B) == 0 && A.st_dev == B.st_dev &&
         A.st_ino == B.st_ino;
}

bool ReplaceFileBytes(const std::string &Path, ByteView Bytes, std::string *Error) {
  std::string Target;
  if (!FollowLinks(Path, &Target, Error)) {
    return false;
  }
  struct stat Old = {};
  if (stat(Target.c_str(), &Old) != 0) {
    return WriteByRename(Target, nullptr, Bytes, Error);
  }
  // Devices, FIFOs and terminals are written as they are, not replaced.
  return S_ISREG(Old.st_mode)
             ? WriteByRename(Target, &Old, Bytes, Error)
             : WriteOpened(Target, O_NOCTTY, "cannot open for writing", Bytes, Error);
}
