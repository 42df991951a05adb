// CheckPrjOpened on arbitrary titles and names against the title rule
// written out directly. Input: a flags byte (bit 0: code page 936, bit 1:
// a null name), the name's length, the name, then titles separated by '\n'.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "launch.h"
#include "reference.h"
#include "sim.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int codePage = (data[0] & 1) ? 936 : 1252;
  const bool nullName = (data[0] & 2) != 0;
  const size_t nameLength = data[1] % 64 < size - 2 ? data[1] % 64 : size - 2;
  std::string name(reinterpret_cast<const char*>(data + 2), nameLength);
  name = name.c_str();
  std::vector<std::string> titles;
  std::string rest(reinterpret_cast<const char*>(data + 2 + nameLength), size - 2 - nameLength);
  for (size_t start = 0; start <= rest.size() && titles.size() < 16;) {
    const size_t end = rest.find('\n', start);
    const std::string title = rest.substr(start, end == std::string::npos ? end : end - start);
    titles.push_back(title.c_str());
    if (end == std::string::npos) break;
    start = end + 1;
  }

  g_strPrjName = CString();
  sim::Reset();
  sim::SetCodePage(codePage);
  for (const std::string& t : titles) sim::AddWindow(t);
  const int opened = CheckPrjOpened(nullName ? nullptr : name.c_str());
  const int first = reference::FirstShowing(titles, nullName ? "" : name, codePage);
  if (opened != (first >= 0 ? 1 : 0)) abort();
  if (sim::WindowsExamined() != (first >= 0 ? first + 1 : int(titles.size()))) abort();
  return 0;
}
