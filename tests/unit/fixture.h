// Every test starts from an empty simulated desktop and file system.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host_string.h"
#include "hvqlaunch.h"
#include "launch.h"
#include "sim.h"

class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_strPrjName = CString();  // let go of the last search before counting
    sim::Reset();
  }
};
