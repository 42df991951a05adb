#include <atomic>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

#include "cstring.h"
#include "sim.h"

namespace sim {
namespace {

struct Window {
  std::u16string title;
  bool visible;
  bool readable;
};

struct Entry {
  bool folder;
  std::string contents;
  uint64_t volume = 1, id = 0;  // id 0: none; every entry made gets one
};

struct Record {
  std::vector<uint64_t> memory;
  std::multiset<int> holders;  // hosts -1, -2, ...; programs 1, 2, ...
};

struct RecordHandle {
  std::u16string name;
  int holder;
  bool open;
};

struct State {
  int codePage = 1252;
  std::vector<Window> windows;
  int examined = 0;
  std::atomic<long> failAt{0};
  std::atomic<long> allocations{0};
  std::atomic<long> live{0};
  std::set<std::string> drives;
  std::map<std::string, Entry> entries;  // by normalised path
  long writes = 0;
  std::set<std::string> types;
  std::vector<ShellRequest> requests;
  std::vector<std::string> boxes;
  int boxCodePage = 0;
  std::vector<std::string> fileCalls;
  std::string race;  // normalised
  std::set<int> running;
  int processes = 0, handles = 0;
  uint32_t now = 0;
  std::vector<PlatformWindow> activated;
  bool noProcess = false, declined = false;
  std::set<std::string> emptyDrives;
  std::map<std::u16string, Record> records;
  std::vector<RecordHandle> recordHandles;
  int host = -1;
  bool failRecords = false, collideRecords = false;
  uint64_t ids = 0;
  int volumeQueries = 0;
};

thread_local unsigned t_lastError = 0;
thread_local uint32_t t_errorMode = 0;

// Never destroyed: the library's own objects outlive it at exit.
State& S() {
  static State& state = *new State;
  return state;
}

// Lower case, one separator per run, no trailing separator.
std::string Normalise(const std::string& path) {
  std::string out;
  for (char ch : path) {
    if ((ch == '\\' || ch == '/') && !out.empty() && out.back() == '\\') continue;
    out += (ch == '/') ? '\\' : char(tolower(static_cast<unsigned char>(ch)));
  }
  while (!out.empty() && out.back() == '\\') out.pop_back();
  return out;
}

std::string Parent(const std::string& normalised) {
  const size_t at = normalised.rfind('\\');
  return at == std::string::npos ? std::string() : normalised.substr(0, at);
}

bool IsDrive(const std::string& normalised) { return S().drives.count(normalised) != 0; }

// False for a path past Windows' limits or, when it is used, on a drive
// with no disk.
bool Usable(const std::string& path, bool bUsed = true) {
  if (bUsed && S().emptyDrives.count(Normalise(path.substr(0, 2)))) {
    if (!(t_errorMode & 1)) S().boxes.push_back("There is no disk in the drive.");
    return false;
  }
  size_t name = 0;
  for (char ch : path)
    if ((name = (ch == '\\' || ch == '/') ? 0 : name + 1) > 255) return false;
  return path.size() <= 32767 - 4;  // with "\\?\" before it
}

const Entry* Find(const std::string& path) {
  auto it = S().entries.find(Normalise(path));
  return it == S().entries.end() ? nullptr : &it->second;
}

bool FolderExists(const std::string& normalised) {
  if (IsDrive(normalised)) return true;
  auto it = S().entries.find(normalised);
  return it != S().entries.end() && it->second.folder;
}

}  // namespace

std::recursive_mutex g_lock;

void Reset() {
  State& s = S();
  s.codePage = 1252;
  s.windows.clear();
  s.examined = 0;
  s.failAt = 0;
  s.allocations = 0;
  s.live = 0;
  s.drives = {"c:"};
  s.entries.clear();
  s.writes = 0;
  s.types.clear();
  s.requests.clear();
  s.boxes.clear();
  s.boxCodePage = 0;
  s.fileCalls.clear();
  s.race.clear();
  s.running.clear();
  s.now += 86400000;  // so that no launch of an earlier test is still starting
  s.activated.clear();
  s.noProcess = s.declined = false;
  s.emptyDrives.clear();
  s.records.clear();
  for (RecordHandle& h : s.recordHandles) h.open = false;  // never given out again
  s.host = -1;
  s.failRecords = s.collideRecords = false;
}

// Lets go of one hold; the record goes with the last.
void Drop(RecordHandle& h) {
  if (!h.open) return;
  h.open = false;
  Record& r = S().records.at(h.name);
  r.holders.erase(r.holders.find(h.holder));
  if (r.holders.empty()) S().records.erase(h.name);
}

template <typename Test>
void DropHolds(Test test) {
  for (RecordHandle& h : S().recordHandles)
    if (test(h.holder)) Drop(h);
}

void SetHost(int nHost) { S().host = -1 - nHost; }
void EndHost(int nHost) {
  DropHolds([=](int holder) { return holder == -1 - nHost; });
}
int RecordHolds(bool bPrograms) {
  int n = 0;
  for (const RecordHandle& h : S().recordHandles) n += h.open && (h.holder > 0) == bPrograms;
  return n;
}
void FailRecords(bool fail) { S().failRecords = fail; }
void CollideRecords(bool collide) { S().collideRecords = collide; }

void SetFileId(const std::string& path, uint64_t volume, uint64_t id) {
  Entry& e = S().entries.at(Normalise(path));
  e.volume = volume;
  e.id = id;
}
int VolumeQueries() { return S().volumeQueries; }
void StartNoProcess(bool no) { S().noProcess = no; }
void DeclineElevation(bool no) { S().declined = no; }
void EmptyDrive(const std::string& drive) { S().emptyDrives.insert(Normalise(drive)); }

void RaceOnCreate(const std::string& path) { S().race = Normalise(path); }

void SetCodePage(int nCodePage) { S().codePage = nCodePage; }

PlatformWindow AddWindow(const std::string& title, bool visible, bool readable) {
  S().windows.push_back({std::u16string(title.begin(), title.end()), visible, readable});
  for (char16_t& ch : S().windows.back().title) ch &= 0xFF;
  return reinterpret_cast<PlatformWindow>(S().windows.size());
}

PlatformWindow AddWindow(const std::u16string& title) {
  S().windows.push_back({title, true, true});
  return reinterpret_cast<PlatformWindow>(S().windows.size());
}

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if ((c & 0xFC00) == 0xD800 && i + 1 < text.size() && (text[i + 1] & 0xFC00) == 0xDC00)
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    if (c < 0x80) {
      out += char(c);
    } else if (c < 0x800) {
      out += {char(0xC0 | c >> 6), char(0x80 | (c & 0x3F))};
    } else if (c < 0x10000) {
      out += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    } else {
      out += {char(0xF0 | c >> 18), char(0x80 | (c >> 12 & 0x3F)), char(0x80 | (c >> 6 & 0x3F)),
              char(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

int WindowsExamined() { return S().examined; }

void FailAllocation(long k) {
  S().failAt = k;
  S().allocations = 0;
}

long Allocations() { return S().allocations; }
long LiveAllocations() { return S().live; }

void AddDrive(const std::string& drive) { S().drives.insert(Normalise(drive)); }

void AddFolder(const std::string& path) {
  const std::string key = Normalise(path);
  if (key.empty() || IsDrive(key)) return;
  AddFolder(Parent(key));
  S().entries[key] = Entry{true, "", 1, ++S().ids};
}

void AddFile(const std::string& path, const std::string& contents) {
  const std::string key = Normalise(path);
  AddFolder(Parent(key));
  S().entries[key] = Entry{false, contents, 1, ++S().ids};
}

bool IsFolder(const std::string& path) {
  const Entry* e = Find(path);
  return e && e->folder;
}

bool IsFile(const std::string& path) {
  const Entry* e = Find(path);
  return e && !e->folder;
}

std::string Contents(const std::string& path) {
  const Entry* e = Find(path);
  return e ? e->contents : std::string();
}

std::vector<std::string> Entries() {
  std::vector<std::string> out;
  for (const auto& [key, entry] : S().entries) out.push_back(entry.folder ? key + "\\" : key);
  return out;
}

long FileSystemWrites() { return S().writes; }

void RegisterType(const std::string& ext) { S().types.insert(Normalise(ext)); }

const std::vector<ShellRequest>& ShellRequests() { return S().requests; }
const std::vector<std::string>& MessageBoxes() { return S().boxes; }
int MessageBoxCodePage() { return S().boxCodePage; }
const std::vector<std::string>& FileCalls() { return S().fileCalls; }
void EndProcesses() {
  S().running.clear();
  DropHolds([](int holder) { return holder > 0; });
}
int ProcessHandlesOpen() { return S().handles; }
void Advance(uint32_t nMs) { S().now += nMs; }
unsigned LastError() { return t_lastError; }
const std::vector<PlatformWindow>& Activated() { return S().activated; }

}  // namespace sim

using sim::S;

void* PlatformAlloc(size_t cb) noexcept {
  if (++S().allocations == S().failAt) return nullptr;
  void* p = malloc(cb);
  if (p) ++S().live;
  return p;
}

void PlatformFree(void* p) noexcept {
  if (p) --S().live;
  free(p);
}

// Each byte a unit, which is exact for ASCII.
int PlatformAnsiToWide(const char* pch, int nLength, WideChar* pwch, int nRoom) noexcept {
  if (nLength <= 0 || nLength > nRoom) return 0;
  for (int i = 0; i < nLength; ++i) pwch[i] = WideChar(static_cast<unsigned char>(pch[i]));
  return nLength;
}

PlatformRecord PlatformOpenRecord(const WideChar* pszName, size_t cb, bool bCreate,
                                  void** ppView) noexcept {
  *ppView = nullptr;
  if (S().collideRecords) pszName = u"every name";
  auto it = S().records.find(pszName);
  if (S().failRecords || (it == S().records.end() && !bCreate)) return nullptr;
  if (it == S().records.end()) it = S().records.emplace(pszName, sim::Record{}).first;
  if (it->second.memory.empty()) it->second.memory.resize((cb + 7) / 8);
  it->second.holders.insert(S().host);
  S().recordHandles.push_back({pszName, S().host, true});
  *ppView = it->second.memory.data();
  return reinterpret_cast<PlatformRecord>(S().recordHandles.size());
}

bool PlatformGiveRecord(PlatformRecord hRecord, PlatformProcess hProcess) noexcept {
  const sim::RecordHandle h = S().recordHandles.at(reinterpret_cast<size_t>(hRecord) - 1);
  const int program = int(reinterpret_cast<intptr_t>(hProcess));
  if (!h.open || !S().running.count(program)) return false;
  S().records.at(h.name).holders.insert(program);
  S().recordHandles.push_back({h.name, program, true});
  return true;
}

// A handle its process's end has already let go of is left as it is.
void PlatformCloseRecord(PlatformRecord hRecord, void*) noexcept {
  sim::Drop(S().recordHandles.at(reinterpret_cast<size_t>(hRecord) - 1));
}

// A handle holds what the file was when it was opened, as a real one
// stays with its file.
PlatformFile PlatformOpenIdentity(const char* pszPath) noexcept {
  const sim::Entry* e = sim::Usable(pszPath) ? sim::Find(pszPath) : nullptr;
  if (!e) return nullptr;
  auto* pFile = new PlatformFileId{e->volume, {}};
  memcpy(pFile->abId, &e->id, sizeof e->id);
  return reinterpret_cast<PlatformFile>(pFile);
}

PlatformFile PlatformOpenIdentity(const WideChar* pszPath) noexcept {
  return PlatformOpenIdentity(sim::Utf8(pszPath).c_str());
}

uint64_t PlatformFileIndex(PlatformFile hFile) noexcept {
  uint64_t nIndex;
  memcpy(&nIndex, reinterpret_cast<PlatformFileId*>(hFile)->abId, sizeof nIndex);
  return nIndex;
}

bool PlatformFileIdentity(PlatformFile hFile, PlatformFileId& id) noexcept {
  ++S().volumeQueries;
  id = *reinterpret_cast<PlatformFileId*>(hFile);
  return PlatformFileIndex(hFile) != 0;
}

void PlatformCloseFile(PlatformFile hFile) noexcept {
  delete reinterpret_cast<PlatformFileId*>(hFile);
}

void PlatformUpperCase(WideChar* pwch, int nLength) noexcept {
  for (int i = 0; i < nLength; ++i)
    if (pwch[i] >= 'a' && pwch[i] <= 'z') pwch[i] = WideChar(pwch[i] - 'a' + 'A');
}

bool PlatformIsLeadByte(unsigned char ch) noexcept {
  return S().codePage == 936 && ch >= 0x81 && ch <= 0xFE;
}

void PlatformLock() noexcept { sim::g_lock.lock(); }

void PlatformUnlock() noexcept { sim::g_lock.unlock(); }

void PlatformEnumWindows(PlatformEnumWindowsProc proc, intptr_t lParam) noexcept {
  S().examined = 0;
  for (size_t i = 0; i < S().windows.size(); ++i) {
    ++S().examined;
    if (proc(reinterpret_cast<PlatformWindow>(i + 1), lParam) == 0) return;
  }
}

bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<char>& title) noexcept {
  const sim::Window& w = S().windows.at(reinterpret_cast<size_t>(hWnd) - 1);
  std::string text;
  for (char16_t ch : w.title) text += ch < 0x100 ? char(ch) : '?';
  title.strText = w.readable ? text.c_str() : "";
  return !title.strText.IsOutOfMemory();
}

bool PlatformGetWindowText(PlatformWindow hWnd, PlatformTitle<WideChar>& title) noexcept {
  const sim::Window& w = S().windows.at(reinterpret_cast<size_t>(hWnd) - 1);
  title.strText = w.readable ? w.title.c_str() : u"";
  return !title.strText.IsOutOfMemory();
}

bool PlatformPathExists(const WideChar* pszPath) noexcept {
  return PlatformPathExists(sim::Utf8(pszPath).c_str());
}

bool PlatformCreateDirectory(const WideChar* pszPath) noexcept {
  return PlatformCreateDirectory(sim::Utf8(pszPath).c_str());
}

bool PlatformCopyFile(const WideChar* pszSource, const WideChar* pszTarget) noexcept {
  return PlatformCopyFile(sim::Utf8(pszSource).c_str(), sim::Utf8(pszTarget).c_str());
}

unsigned PlatformShellExecute(PlatformWindow hWndOwner, const WideChar* pszVerb,
                              const WideChar* pszFile, PlatformProcess* phProcess) noexcept {
  return PlatformShellExecute(hWndOwner, sim::Utf8(pszVerb).c_str(), sim::Utf8(pszFile).c_str(),
                              phProcess);
}

uint32_t PlatformQuietErrorMode() noexcept {
  const uint32_t nPrevious = sim::t_errorMode;
  sim::t_errorMode = 3;
  return nPrevious;
}

void PlatformRestoreErrorMode(uint32_t nPrevious) noexcept { sim::t_errorMode = nPrevious; }

bool PlatformCanHoldPath(const char* pszPath) noexcept { return sim::Usable(pszPath, false); }

bool PlatformCanHoldPath(const WideChar* pszPath) noexcept {
  return sim::Usable(sim::Utf8(pszPath), false);
}

bool PlatformPathExists(const char* pszPath) noexcept {
  S().fileCalls.push_back(std::string("exists ") + pszPath);
  const std::string key = sim::Normalise(pszPath);
  return sim::Usable(pszPath) && S().entries.count(key) != 0;
}

bool PlatformCreateDirectory(const char* pszPath) noexcept {
  S().fileCalls.push_back(std::string("mkdir ") + pszPath);
  if (!sim::Usable(pszPath)) return false;
  const std::string key = sim::Normalise(pszPath);
  if (key == S().race) {
    S().race.clear();
    S().entries[key] = sim::Entry{true, "", 1, ++S().ids};
  }
  if (S().entries.count(key) || sim::IsDrive(key) || !sim::FolderExists(sim::Parent(key)))
    return false;
  S().entries[key] = sim::Entry{true, "", 1, ++S().ids};
  ++S().writes;
  return true;
}

bool PlatformCopyFile(const char* pszSource, const char* pszTarget) noexcept {
  S().fileCalls.push_back(std::string("copy ") + pszSource + " " + pszTarget);
  if (!sim::Usable(pszSource) || !sim::Usable(pszTarget)) return false;
  const sim::Entry* source = sim::Find(pszSource);
  const std::string target = sim::Normalise(pszTarget);
  if (!source || source->folder || S().entries.count(target) ||
      !sim::FolderExists(sim::Parent(target)))
    return false;
  S().entries[target] = sim::Entry{false, source->contents, 1, ++S().ids};
  ++S().writes;
  return true;
}

unsigned PlatformShellExecute(PlatformWindow hWndOwner, const char* pszVerb, const char* pszFile,
                              PlatformProcess* phProcess) noexcept {
  S().requests.push_back({hWndOwner, pszVerb ? pszVerb : "", pszFile});
  *phProcess = nullptr;
  const sim::Entry* e = sim::Find(pszFile);
  if (!e || e->folder) return 2;  // ERROR_FILE_NOT_FOUND
  const std::string key = sim::Normalise(pszFile);
  const size_t dot = key.rfind('.');
  const size_t sep = key.rfind('\\');
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep) ||
      !S().types.count(key.substr(dot)))
    return 1155;                  // ERROR_NO_ASSOCIATION
  if (S().declined) return 1223;  // ERROR_CANCELLED
  if (S().noProcess) return 0;
  S().running.insert(++S().processes);
  ++S().handles;
  *phProcess = reinterpret_cast<PlatformProcess>(intptr_t(S().processes));
  return 0;
}

bool PlatformProcessExited(PlatformProcess hProcess) noexcept {
  return S().running.count(int(reinterpret_cast<intptr_t>(hProcess))) == 0;
}

void PlatformCloseProcess(PlatformProcess) noexcept { --S().handles; }

uint32_t PlatformTickCount() noexcept { return S().now; }

void PlatformSetLastError(unsigned nError) noexcept { sim::t_lastError = nError; }

bool PlatformIsWindowVisible(PlatformWindow hWnd) noexcept {
  return S().windows.at(reinterpret_cast<size_t>(hWnd) - 1).visible;
}

void PlatformActivateWindow(PlatformWindow hWnd) noexcept { S().activated.push_back(hWnd); }

// A box, like any system call, may leave another last error behind.
void PlatformMessageBox(const char* pszText, unsigned nCodePage) noexcept {
  S().boxes.push_back(pszText);
  S().boxCodePage = int(nCodePage);
  sim::t_lastError = 0;
}
