// A model's port trace held to an expected script (tools/platform/entry_script.h), with the
// first difference named in the platform's terms.
#pragma once

#include <vector>

#include <gtest/gtest.h>

#include "entry_script.h"
#include "script_check.h"

inline void ExpectTrace(const PlatformModel &Model, const std::vector<PortAccess> &Expected) {
  EXPECT_EQ(CompareWithScript(Model.Trace(), Expected, LsrValues::Compared).Detail, "");
  EXPECT_TRUE(Model.Faults().empty()) << testing::PrintToString(Model.Faults());
}
