#include "tool_folder.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "fv_cli.h"

void FvToolFolder::SetUp() {
  char Template[] = "/tmp/fv_tool_test.XXXXXX";
  ASSERT_NE(mkdtemp(Template), nullptr);
  Folder = Template;
}

void FvToolFolder::TearDown() {
  for (const std::string &Name : Listing()) {
    unlink(Path(Name).c_str());
  }
  rmdir(Folder.c_str());
}

void FvToolFolder::Write(const std::string &Name, const fv_test::Bytes &Bytes) const {
  std::ofstream(Path(Name), std::ios::binary)
      .write(reinterpret_cast<const char *>(Bytes.data()),
             static_cast<std::streamsize>(Bytes.size()));
}

fv_test::Bytes FvToolFolder::Read(const std::string &Name) const {
  std::ifstream Stream(Path(Name), std::ios::binary);
  return fv_test::Bytes(std::istreambuf_iterator<char>(Stream), {});
}

bool FvToolFolder::Exists(const std::string &Name) const {
  return access(Path(Name).c_str(), F_OK) == 0;
}

std::vector<std::string> FvToolFolder::Listing() const {
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

int FvToolFolder::Run(const std::vector<std::string> &Arguments) {
  std::vector<std::string> Resolved;
  for (const std::string &Word : Arguments) {
    Resolved.push_back(!Word.empty() && Word[0] == '@' ? Path(Word.substr(1)) : Word);
  }
  Out.str("");
  Err.str("");
  return RunFvTool(Resolved, Out, Err);
}
