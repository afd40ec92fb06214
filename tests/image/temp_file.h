// A file written for a command under test to read, removed again when the test ends.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class TempFile {
public:
  TempFile(const std::string &Name, const std::vector<uint8_t> &Bytes)
      : Path(testing::TempDir() + "image_test_" + std::to_string(getpid()) + "_" + Name) {
    std::ofstream(Path, std::ios::binary)
        .write(reinterpret_cast<const char *>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  }
  TempFile(const std::string &Name, const std::string &Text)
      : TempFile(Name, std::vector<uint8_t>(Text.begin(), Text.end())) {}
  ~TempFile() { std::remove(Path.c_str()); }
  TempFile(const TempFile &) = delete;
  TempFile &operator=(const TempFile &) = delete;

  const std::string &Name() const { return Path; }

private:
  std::string Path;
};
