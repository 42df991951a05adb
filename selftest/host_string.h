// A string as a host passes it to StartVRAN3D: a header, then the
// characters, in a block the host owns, with the reference count the test
// chooses.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "hvqlaunch.h"

class HostString {
 public:
  HostString(const std::string& text, long refs)
      : m_block(sizeof(HvqStringHeader) + text.size() + 1) {
    HvqStringHeader header = {refs, int(text.size()), int(text.size())};
    memcpy(m_block.data(), &header, sizeof header);
    memcpy(m_block.data() + sizeof header, text.c_str(), text.size() + 1);
  }
  HvqStringArg Arg() { return HvqStringArg{m_block.data() + sizeof(HvqStringHeader)}; }
  long Refs() const { return reinterpret_cast<const HvqStringHeader*>(m_block.data())->nRefs; }

 private:
  std::vector<char> m_block;
};
