// Plain reference implementations the fuzzers and unit tests hold the
// library against: a character-by-character substring search over the
// code page's characters, and the title rule written out directly.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace reference {

inline bool IsLeadByte(unsigned char ch, int codePage) {
  return codePage == 936 && ch >= 0x81 && ch <= 0xFE;
}

// The first offset that starts a whole character and where sub follows.
inline int Find(std::string_view text, std::string_view sub, int codePage) {
  for (size_t i = 0; i + sub.size() <= text.size();) {
    if (text.compare(i, sub.size(), sub) == 0) return int(i);
    i += (IsLeadByte(static_cast<unsigned char>(text[i]), codePage) && i + 1 < text.size()) ? 2 : 1;
  }
  return -1;
}

// The same over UTF-16: a match never starts on a pair's low half.
inline int Find(std::u16string_view text, std::u16string_view sub) {
  for (size_t i = 0; i + sub.size() <= text.size(); ++i) {
    const bool lowHalf = i > 0 && (text[i] & 0xFC00) == 0xDC00 && (text[i - 1] & 0xFC00) == 0xD800;
    if (!lowHalf && text.compare(i, sub.size(), sub) == 0) return int(i);
  }
  return -1;
}

// Index of the first window that shows the project, or -1.
inline int FirstShowing(const std::vector<std::string>& titles, std::string name, int codePage) {
  if (Find(name, ".hvq", codePage) < 0) name += ".hvq";
  for (size_t i = 0; i < titles.size(); ++i)
    if (Find(titles[i], name, codePage) >= 1) return int(i);
  return -1;
}

}  // namespace reference
