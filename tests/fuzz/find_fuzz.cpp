// CString::Find against the reference search, under code pages 1252 and
// 936. Input: a flags byte (bit 0: code page 936; bit 1: two-way matching
// from the start; bit 2: a pattern of up to 300 bytes, the second byte then
// counting in fives; bit 3: UTF-16, each pair of bytes one unit), the
// pattern's length, the pattern, then the text; both end at their first
// NUL, as C strings do.
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

  if (data[0] & 8) {
    std::u16string wideSub, wideText;
    for (size_t i = 0; i + 1 < sub.size(); i += 2)
      wideSub += char16_t(uint8_t(sub[i]) << 8 | uint8_t(sub[i + 1]));
    for (size_t i = 0; i + 1 < text.size(); i += 2)
      wideText += char16_t(uint8_t(text[i]) << 8 | uint8_t(text[i + 1]));
    wideSub = wideSub.c_str();
    wideText = wideText.c_str();
    const int wideFound = (data[0] & 2) ? FindOnCharacterStart(wideText.data(), wideText.size(),
                                                               wideSub.data(), wideSub.size(), 0)
                                        : CStringW(wideText.c_str()).Find(wideSub.c_str());
    if (wideFound != reference::Find(wideText, wideSub)) abort();
    return 0;
  }
  sim::SetCodePage(codePage);
  const int found = (data[0] & 2)
                        ? FindOnCharacterStart(text.data(), text.size(), sub.data(), sub.size(), 0)
                        : CString(text.c_str()).Find(sub.c_str());
  if (found != reference::Find(text, sub, codePage)) abort();
  return 0;
}
