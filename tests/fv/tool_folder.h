// fv-tool's command line run in-process on files in a fresh temporary folder.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fv_builder.h"

class FvToolFolder : public testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  std::string Path(const std::string &Name) const { return Folder + "/" + Name; }
  void Write(const std::string &Name, const fv_test::Bytes &Bytes) const;
  fv_test::Bytes Read(const std::string &Name) const;
  bool Exists(const std::string &Name) const;
  // The names in the folder, sorted.
  std::vector<std::string> Listing() const;

  // Runs fv-tool; names in Arguments starting with '@' become paths in the folder.
  int Run(const std::vector<std::string> &Arguments);

  std::string Folder;
  std::ostringstream Out;
  std::ostringstream Err;
};
