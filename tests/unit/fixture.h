// Every test starts from an empty simulated desktop and file system.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

// A string as a host passes it across the boundary: a header, then the
// characters, in a block the host owns.
class HostString {
 public:
  HostString(const char* text, long nRefs) : m_block(sizeof(HvqStringHeader) + strlen(text) + 1) {
    HvqStringHeader* header = reinterpret_cast<HvqStringHeader*>(m_block.data());
    header->nRefs = nRefs;
    header->nDataLength = int(strlen(text));
    header->nAllocLength = header->nDataLength;
    memcpy(m_block.data() + sizeof(HvqStringHeader), text, strlen(text) + 1);
  }
  HvqStringArg Arg() { return HvqStringArg{m_block.data() + sizeof(HvqStringHeader)}; }
  long Refs() const { return reinterpret_cast<const HvqStringHeader*>(m_block.data())->nRefs; }

 private:
  std::vector<char> m_block;
};
