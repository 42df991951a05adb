// CString::Find against the reference search, under code pages 1252 and
// 936. Input: a flags byte (bit 0: code page 936; bit 1: two-way matching
// from the start; bit 2: a pattern of up to 300 bytes, the second byte then
// counting in fives), the pattern's length, the pattern, then the text;
// both end at their first NUL, as C strings do.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cstring.h"
#include "reference.h"
#include "sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int codePage = (data[0] & 1) ? 936 : 1252;
  const size_t wanted = (data[0] & 4) ? data[1] * 300 / 255 : data[1] % 32;
  const size_t subLength = wanted < size - 2 ? wanted : size - 2;
  std::string sub(reinterpret_cast<const char*>(data + 2), subLength);
  std::string text(reinterpret_cast<const char*>(data + 2 + subLength), size - 2 - subLength);
  sub = sub.c_str();
  text = text.c_str();

  sim::SetCodePage(codePage);
  const int found = (data[0] & 2)
                        ? FindOnCharacterStart(text.data(), text.size(), sub.data(), sub.size(), 0)
                        : CString(text.c_str()).Find(sub.c_str());
  if (found != reference::Find(text, sub, codePage)) abort();
  return 0;
}
