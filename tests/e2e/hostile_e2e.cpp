// Hostile input end to end: names and folders of 32 KiB, GBK names, a name
// whose last byte is a lead byte, names holding separators and "..", an
// empty working folder. No call crashes, writes only land on the paths the
// call names (the "3d" folder, the copy, "images" and "treepics", as
// Windows resolves them), names that are not plain file names and an empty
// folder write nothing, and no file that existed is ever changed. Runs
// with code page 936.
#include "e2e.h"

using namespace e2e;

namespace {

std::wstring Full(const std::string& path) {
  std::vector<wchar_t> wide(path.size() + 1), full(path.size() + MAX_PATH);
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), int(wide.size()));
  GetFullPathNameW(wide.data(), DWORD(full.size()), full.data(), nullptr);
  std::wstring key = full.data();
  CharLowerW(&key[0]);
  while (key.size() > 3 && key.back() == L'\\') key.pop_back();
  return key;
}

struct Result {
  int changed = 0;  // files that existed and are no longer the same
  int stray = 0;    // entries that appeared outside the named paths
  int created = 0;  // entries that appeared on the named paths
};

// One launch; the project is never open, so every call reaches the shell,
// which fails: no program is registered for the type.
Result Launch(const Hvq& hvq, const std::string& folder, const std::string& name) {
  const Tree before = Snapshot(L"d:");
  Start(hvq, folder, name);
  const Tree after = Snapshot(L"d:");
  const std::string dir = folder + "\\3d";
  const std::wstring named[] = {Full(dir), Full(dir + "\\" + name + ".hvq"), Full(dir + "\\images"),
                                Full(dir + "\\treepics")};
  Result r;
  for (const auto& [path, bytes] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second != bytes) ++r.changed;
  }
  for (const auto& [path, bytes] : after) {
    if (before.count(path)) continue;
    bool ok = false;
    for (const std::wstring& n : named) ok = ok || n == path;
    if (ok) {
      ++r.created;
    } else {
      ++r.stray;
      wprintf(L"   stray entry: %ls\n", path.c_str());
    }
  }
  return r;
}

}  // namespace

int main() {
  CHECK(GetACP() == 936u);
  Hvq hvq = LoadHvq();
  if (!hvq.module) return Summary();
  RegisterViewer(false);
  CreateDirectoryA("d:\\tolvern4", nullptr);
  CreateDirectoryA("d:\\tolvern4\\3d", nullptr);
  WriteFile("d:\\tolvern4\\3d\\2006.hvq", "template");
  CreateDirectoryA("d:\\h", nullptr);
  WriteFile("d:\\h\\victim.hvq", "the user's own document");
  WriteFile("d:\\victim.hvq", "another document of the user's");
  for (int i = 1; i <= 10; ++i) CreateDirectoryA(("d:\\h\\w" + std::to_string(i)).c_str(), nullptr);
  CreateDirectoryA("d:\\h\\w7\\sub", nullptr);
  WriteFile("d:\\h\\w7\\sub\\deck.hvq", "existing document in sub");

  SetCurrentDirectoryA("d:\\h\\w10");  // where an empty folder's paths would land
  BoxDismisser dismisser;
  struct Case {
    const char* what;
    std::string folder, name;
    int created;  // entries expected on the named paths
  };
  const Case cases[] = {
      {"a 32 KiB name", "d:\\h\\w1", std::string(32 * 1024, 'n'), 0},  // no copy: nothing
      {"a 32 KiB folder", "d:\\h\\" + std::string(32 * 1024, 'f'), "deck", 0},
      {"a GBK name", "d:\\h\\w2", "\xB0\xA1\xB2\xE9\xBF\xB4", 4},
      // The lead byte swallows the dot: the copy's name is not a valid one.
      {"a lead byte as the name's last byte", "d:\\h\\w3", "deck\xB0", 3},
      // Names that are not plain file names, and an empty folder: nothing.
      {"a name that climbs onto an existing file", "d:\\h\\w4", "..\\..\\victim", 0},
      {"a name that climbs to the drive's root", "d:\\h\\w5", "..\\..\\..\\victim", 0},
      {"a name that climbs with forward slashes", "d:\\h\\w5", "../../victim", 0},
      {"a name with a missing sub-folder", "d:\\h\\w6", "missing\\deck", 0},
      {"a name onto an existing file in a sub-folder", "d:\\h\\w7", "..\\sub\\deck", 0},
      {"a name that names a program", "d:\\h\\w8", "..\\..\\..\\windows\\notepad.exe", 0},
      {"a name that is a full path", "d:\\h\\w8", "d:\\h\\abs", 0},
      {"an empty working folder", "", "deck", 0},
      {"a folder that climbs", "d:\\h\\w9\\..\\w9", "deck", 4},
      {"separators only", "d:\\h\\w9\\\\\\", "\\\\", 0},
  };
  int boxes = 0;
  for (const Case& c : cases) {
    Log(c.what);
    const Result r = Launch(hvq, c.folder, c.name);
    ++boxes;
    CHECK(r.changed == 0);
    CHECK(r.stray == 0);
    CHECK(r.created == c.created);
  }
  PumpMessages(300);
  CHECK(dismisser.Count() == boxes);  // every open failed: nothing was run
  CHECK(ReadFile("d:\\h\\victim.hvq") == "the user's own document");
  CHECK(ReadFile("d:\\victim.hvq") == "another document of the user's");
  FreeLibrary(hvq.module);
  return Summary();
}
