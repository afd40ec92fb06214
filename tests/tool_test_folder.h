// A fresh temporary folder for a test of a tool's command line, removed with what it holds when
// the test ends.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

class ToolFolder : public testing::Test {
protected:
  void SetUp() override {
    char Template[] = "/tmp/tool_test.XXXXXX";
    ASSERT_NE(mkdtemp(Template), nullptr);
    Folder = Template;
  }
  void TearDown() override {
    for (const std::string &Name : Listing()) {
      unlink(Path(Name).c_str());
    }
    rmdir(Folder.c_str());
  }

  std::string Path(const std::string &Name) const { return Folder + "/" + Name; }

  void Write(const std::string &Name, const std::vector<uint8_t> &Bytes) const {
    std::ofstream(Path(Name), std::ios::binary)
        .write(reinterpret_cast<const char *>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  }

  std::vector<uint8_t> Read(const std::string &Name) const {
    std::ifstream Stream(Path(Name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(Stream), {});
  }

  bool Exists(const std::string &Name) const { return access(Path(Name).c_str(), F_OK) == 0; }

  // The names in the folder, sorted.
  std::vector<std::string> Listing() const {
    std::vector<std::string> Names;
    if (DIR *Handle = opendir(Folder.c_str())) {
      while (const dirent *Entry = readdir(Handle)) {
        const std::string Name = Entry->d_name;
        if (Name != "." && Name != "..") {
          Names.push_back(Name);
        }
      }
      closedir(Handle);
    }
    std::sort(Names.begin(), Names.end());
    return Names;
  }

  std::string Folder;
};
