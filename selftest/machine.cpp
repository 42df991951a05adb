// What a run changes on the machine, and how it is put back, whatever
// happens to the run:
// - one folder under %TEMP% holds every project folder of the cases;
// - ".hvq" opens with this program while it runs: under the user's own
//   classes (HKCU\Software\Classes), which Windows reads without
//   elevation, or, under Wine, which reads only the machine's, under
//   HKLM\Software\Classes. What was there before, values and subkeys, is
//   saved first and put back exactly;
// - drive d:, when the session has none, is mapped for the run to a folder
//   of its own that holds the template (DefineDosDevice, as subst does),
//   and unmapped afterwards. A d: that exists is only read: its template
//   when it has one, else the cases that need one are skipped.
// Before anything changes, a note beside the folder says how to undo it
// all; the next run repairs from it what a run that was ended halfway
// left, and says so. A note is trusted only as far as it names what a run
// changes: this user's folder of the run, the keys a run saves, a drive
// mapped onto a folder inside that folder. Deleting never follows a link.
#include "selftest.h"
// after windows.h
#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>

namespace selftest {

namespace {

const wchar_t c_progId[] = L"HvqSelftest.Document";
const wchar_t c_noProgram[] = L"HvqSelftest.NoProgram";
const wchar_t c_noteHeader[] = L"hvqlaunch-selftest note 1";

// One line of the note: a kind, then fields, tab-separated; registry names
// and data in hex, so that any of them survives the text.
struct Line {
  std::wstring kind;
  std::vector<std::wstring> fields;
};

// %TEMP% in its long form: Windows often hands it over as an 8.3 name.
std::wstring Temp() {
  wchar_t temp[MAX_PATH + 1] = L"";
  GetTempPathW(MAX_PATH + 1, temp);
  return LongPath(temp);
}
std::wstring NotePath() { return Temp() + L"hvqlaunch-selftest.note"; }
std::wstring RootPath() { return Temp() + L"hvqlaunch-selftest"; }

std::wstring Hex(const void* data, size_t size) {
  static const wchar_t digits[] = L"0123456789abcdef";
  std::wstring out;
  for (size_t i = 0; i < size; ++i) {
    const BYTE b = static_cast<const BYTE*>(data)[i];
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}
std::wstring Hex(const std::wstring& text) { return Hex(text.data(), text.size() * 2); }

bool Unhex(const std::wstring& hex, std::string& bytes) {
  bytes.clear();
  if (hex.size() % 2) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    int b = 0;
    for (size_t j = i; j < i + 2; ++j) {
      const wchar_t c = hex[j];
      const int d = c >= L'0' && c <= L'9' ? c - L'0' : c >= L'a' && c <= L'f' ? c - L'a' + 10 : -1;
      if (d < 0) return false;
      b = b * 16 + d;
    }
    bytes += char(b);
  }
  return true;
}
std::wstring UnhexText(const std::string& bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

std::wstring Classes(const std::wstring& key) { return L"Software\\Classes\\" + key; }

// A key under Software\Classes, as lines: whether it exists, then each of
// its subkeys (parents first) and values.
void SaveKey(HKEY hive, const std::wstring& name, const std::wstring& sub,
             std::vector<Line>& lines) {
  const std::wstring path = Classes(name) + (sub.empty() ? L"" : L"\\" + sub);
  HKEY key;
  if (RegOpenKeyExW(hive, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    if (sub.empty()) lines.push_back({L"key", {name, L"absent"}});
    return;
  }
  lines.push_back(sub.empty() ? Line{L"key", {name, L"present"}} : Line{L"sub", {name, Hex(sub)}});
  std::vector<BYTE> data;
  std::vector<wchar_t> value(16384);
  for (DWORD i = 0;; ++i) {
    DWORD valueSize = 16384, type = 0, dataSize = 0;
    if (RegEnumValueW(key, i, value.data(), &valueSize, nullptr, &type, nullptr, &dataSize) !=
        ERROR_SUCCESS)
      break;
    data.resize(dataSize + 1);
    valueSize = 16384;
    RegEnumValueW(key, i, value.data(), &valueSize, nullptr, &type, data.data(), &dataSize);
    lines.push_back({L"val",
                     {name, Hex(sub), Hex(std::wstring(value.data(), valueSize)),
                      Wide(std::to_string(type)), Hex(data.data(), dataSize)}});
  }
  std::vector<std::wstring> subkeys;
  for (DWORD i = 0;; ++i) {
    wchar_t child[256];
    DWORD size = 256;
    if (RegEnumKeyExW(key, i, child, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.push_back(sub.empty() ? child : sub + L"\\" + child);
  }
  RegCloseKey(key);
  for (const std::wstring& s : subkeys) SaveKey(hive, name, s, lines);
}

bool SameLines(const std::vector<Line>& a, const std::vector<Line>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].kind != b[i].kind || a[i].fields != b[i].fields) return false;
  return true;
}

// Puts back the keys the lines describe, exactly: whatever is there now
// goes first. A key that is as it was is not written at all.
bool RestoreKeys(HKEY hive, const std::vector<Line>& lines, bool& changed, std::wstring& error) {
  bool ok = true, skipping = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& l = lines[i];
    std::string sub, value, data;
    if (l.kind == L"key") {
      size_t end = i + 1;
      while (end < lines.size() && lines[end].kind != L"key") ++end;
      std::vector<Line> now;
      SaveKey(hive, l.fields[0], L"", now);
      skipping = SameLines(now, std::vector<Line>(lines.begin() + i, lines.begin() + end));
    }
    if (skipping) continue;
    changed = true;
    if (l.kind == L"key") {
      const LSTATUS gone = RegDeleteTreeW(hive, Classes(l.fields[0]).c_str());
      if (gone != ERROR_SUCCESS && gone != ERROR_FILE_NOT_FOUND) ok = false;
      if (l.fields[1] == L"absent") continue;
    } else if (!Unhex(l.fields[1], sub)) {
      ok = false;
      continue;
    }
    const std::wstring path = Classes(l.fields[0]) + (sub.empty() ? L"" : L"\\" + UnhexText(sub));
    HKEY key;
    if (RegCreateKeyExW(hive, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS) {
      ok = false;
      continue;
    }
    if (l.kind == L"val" &&
        (!Unhex(l.fields[2], value) || !Unhex(l.fields[4], data) ||
         RegSetValueExW(key, UnhexText(value).c_str(), 0, DWORD(_wtoi(l.fields[3].c_str())),
                        reinterpret_cast<const BYTE*>(data.data()),
                        DWORD(data.size())) != ERROR_SUCCESS))
      ok = false;
    RegCloseKey(key);
  }
  if (!ok) error = L"the association of .hvq could not be put back in full";
  return ok;
}

// Removes one entry that is not a folder to descend into: a file, or a
// link (junction or symbolic link) itself, never what it points at. Wine
// has no call that removes a link to a folder: each removes the folder it
// points at when that is empty, so there such a link stays.
bool RemoveEntry(const std::wstring& path, DWORD attributes) {
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    return !g_run.wine && RemoveDirectoryW(path.c_str());
  if ((attributes & FILE_ATTRIBUTE_READONLY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    SetFileAttributesW(path.c_str(), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
  return DeleteFileW(path.c_str()) != FALSE;
}

bool DeleteTree(const std::wstring& path) {
  const std::wstring full = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
    return RemoveEntry(full, attributes);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((full + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring entry = full + L"\\" + name;
      const DWORD a = data.dwFileAttributes;
      if ((a & FILE_ATTRIBUTE_DIRECTORY) && !(a & FILE_ATTRIBUTE_REPARSE_POINT))
        DeleteTree(entry);
      else
        RemoveEntry(entry, a);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return RemoveDirectoryW(full.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND ||
         GetLastError() == ERROR_PATH_NOT_FOUND;
}

const DWORD c_rawDrive = DDD_RAW_TARGET_PATH;
bool Unmap(const std::wstring& target) {
  return DefineDosDeviceW(c_rawDrive | DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, L"D:",
                          (L"\\??\\" + target).c_str()) != FALSE;
}

// Ends the viewers that recorded themselves beside the log, each by its id
// once its time of creation shows it is that viewer.
void EndViewersIn(const std::wstring& root) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((root + L"\\viewer.log.*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring file = root + L"\\" + data.cFileName;
    HANDLE process =
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE,
                    DWORD(_wtoi(data.cFileName + 11)));
    if (process && ReadAll(file) == CreationTime(process) &&
        WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
    }
    if (process) CloseHandle(process);
    DeleteFileW(file.c_str());
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// What this run changed, as its note says it.
struct State {
  bool active = false;
  std::wstring root;
  HKEY hive = HKEY_CURRENT_USER;
  std::vector<Line> keys;
  std::wstring drive;  // the folder d: was mapped to, or empty
} g_state;
// Held while the machine is set up, while the association changes, and
// while it is put back, which the console's handler or the watchdog may do
// on a thread of their own while a case runs.
SRWLOCK g_lock = SRWLOCK_INIT;

const wchar_t* const c_keys[] = {L".hvq", c_progId, c_noProgram};

std::wstring NoteText(const State& s) {
  std::wstring text = std::wstring(c_noteHeader) + L"\nroot\t" + s.root + L"\nhive\t" +
                      (s.hive == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU") + L"\n";
  if (!s.drive.empty()) text += L"drive\t" + s.drive + L"\n";
  for (const Line& l : s.keys) {
    text += l.kind;
    for (const std::wstring& f : l.fields) text += L"\t" + f;
    text += L"\n";
  }
  return text;
}

// Reads a note and checks every line before any is acted on: only what a
// run of this user changes may stand in it. Else the line that is not.
bool ReadNote(const std::wstring& text, State& s, std::wstring& refused) {
  std::vector<Line> lines;
  for (size_t at = 0, end; (end = text.find(L'\n', at)) != std::wstring::npos; at = end + 1) {
    const std::wstring line = text.substr(at, end - at) + L"\t";
    Line l;
    for (size_t f = 0, tab; (tab = line.find(L'\t', f)) != std::wstring::npos; f = tab + 1)
      (f == 0 ? l.kind : (l.fields.emplace_back(), l.fields.back())) = line.substr(f, tab - f);
    lines.push_back(l);
  }
  if (lines.empty() || lines[0].kind != c_noteHeader) {
    refused = L"it is not a note of this program";
    return false;
  }
  for (size_t i = 1; i < lines.size(); ++i) {
    const Line& l = lines[i];
    const size_t want = l.kind == L"key" || l.kind == L"sub" ? 2 : l.kind == L"val" ? 5 : 1;
    std::string bytes;
    bool ok = l.fields.size() == want;
    if (ok && l.kind == L"root") {
      s.root = l.fields[0];
      ok = SamePath(s.root, RootPath());
    } else if (ok && l.kind == L"hive") {
      s.hive = l.fields[0] == L"HKLM" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
      ok = l.fields[0] == L"HKCU" || (l.fields[0] == L"HKLM" && g_run.wine);
    } else if (ok && l.kind == L"drive") {
      s.drive = l.fields[0];
    } else if (ok && want > 1) {
      bool known = false;
      for (const wchar_t* key : c_keys) known = known || l.fields[0] == key;
      ok = known && (l.kind == L"key" ? l.fields[1] == L"absent" || l.fields[1] == L"present"
                                      : Unhex(l.fields[1], bytes));
      for (size_t f = 2; ok && f < want; ++f)
        ok = f == 3 ? l.fields[3].find_first_not_of(L"0123456789") == std::wstring::npos
                    : Unhex(l.fields[f], bytes);
      s.keys.push_back(l);
    } else {
      ok = false;
    }
    if (!ok) {
      refused = L"its line " + Wide(std::to_string(i + 1)) + L" names what no run changes";
      return false;
    }
  }
  // The drive's folder is one inside the run's own.
  const std::wstring inside = s.root + L"\\";
  if (s.root.empty() || (!s.drive.empty() && (!SameText(s.drive.substr(0, inside.size()), inside) ||
                                              s.drive.find(L"..") != std::wstring::npos ||
                                              s.drive.find(L'/') != std::wstring::npos))) {
    refused = s.root.empty() ? L"it names no folder" : L"its drive is outside the run's folder";
    return false;
  }
  return true;
}

void AssociationChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

// Undoes what the state says; what was undone, in words. The registry and
// the drive go first: closing the console leaves a few seconds.
bool Undo(const State& s, std::wstring& what, std::wstring& error) {
  bool ok = true, changed = false;
  if (!s.keys.empty() && RestoreKeys(s.hive, s.keys, changed, error)) {
    if (changed) what += L"the association of .hvq";
  } else if (!s.keys.empty()) {
    ok = false;
  }
  if (changed) AssociationChanged();
  if (!s.drive.empty() && Unmap(s.drive))
    what += std::wstring(what.empty() ? L"" : L", ") + L"drive d:";
  EndViewersIn(s.root);
  if (GetFileAttributesW(s.root.c_str()) != INVALID_FILE_ATTRIBUTES) {
    if (DeleteTree(s.root)) {
      what += std::wstring(what.empty() ? L"" : L", ") + L"the folder " + s.root;
    } else {
      ok = false;
      error = L"the folder " + s.root +
              L" could not be removed (something in it is in use, or, under Wine, it holds a link "
              L"to a folder); remove it by hand";
    }
  }
  if (ok) DeleteFileW(NotePath().c_str());
  return ok;
}

bool WriteNote(const State& s) {
  const std::string text = Utf8(NoteText(s));
  HANDLE file = CreateFileW(NotePath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_WRITE_THROUGH, nullptr);
  DWORD written = 0;
  const bool ok = file != INVALID_HANDLE_VALUE &&
                  WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
                  written == text.size();
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return ok;
}

bool SetDefault(const std::wstring& key, const std::wstring& value) {
  HKEY hkey;
  if (RegCreateKeyExW(g_state.hive, Classes(key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &hkey,
                      nullptr) != ERROR_SUCCESS)
    return false;
  const LSTATUS set =
      RegSetValueExW(hkey, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     DWORD(value.size() + 1) * 2);
  RegCloseKey(hkey);
  return set == ERROR_SUCCESS;
}

// The ANSI name of a path, or its short form's, or empty.
std::string Ansi(const std::wstring& path) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    std::wstring p = path;
    if (attempt) {
      wchar_t shortPath[MAX_PATH * 2] = L"";
      if (!GetShortPathNameW(path.c_str(), shortPath, MAX_PATH * 2)) break;
      p = shortPath;
    }
    BOOL lossy = FALSE;
    char text[MAX_PATH * 4] = "";
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, p.c_str(), -1, text, sizeof text, nullptr,
                            &lossy) &&
        !lossy)
      return text;
  }
  return std::string();
}

}  // namespace

bool ClaimMachine() {
  // One run per user, across all of that user's sessions: HKCU and %TEMP%
  // are theirs alike. A mutex that cannot be had counts as another run.
  std::wstring sid = L"unknown";
  HANDLE token;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    BYTE buffer[256];
    DWORD got = 0;
    wchar_t* text = nullptr;
    if (GetTokenInformation(token, TokenUser, buffer, sizeof buffer, &got) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
      sid = text;
      LocalFree(text);
    }
    CloseHandle(token);
  }
  HANDLE one = CreateMutexW(nullptr, FALSE, (L"Global\\hvqlaunch-selftest-" + sid).c_str());
  if (!one) return false;
  const DWORD wait = WaitForSingleObject(one, 0);
  return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;  // held until the process ends
}

bool Repair(std::wstring& what, std::wstring& error) {
  const std::string note = ReadAll(NotePath());
  State s;
  if (GetFileAttributesW(NotePath().c_str()) == INVALID_FILE_ATTRIBUTES) {
    s.root = RootPath();  // a folder without a note: nothing else was changed
    return GetFileAttributesW(s.root.c_str()) == INVALID_FILE_ATTRIBUTES || Undo(s, what, error);
  }
  std::wstring refused;
  if (!ReadNote(Wide(note, CP_UTF8), s, refused)) {
    error = L"its note " + NotePath() + L" cannot be trusted (" + refused +
            L"), and nothing was touched; look at it, put back by hand what it names, and "
            L"remove it";
    return false;
  }
  return Undo(s, what, error);
}

void Associate(bool on) {
  AcquireSRWLockExclusive(&g_lock);
  if (g_state.active) {  // never once putting back has begun
    SetDefault(L".hvq", on ? c_progId : c_noProgram);
    AssociationChanged();
  }
  ReleaseSRWLockExclusive(&g_lock);
}

namespace {

// Drive d: is read, never written, and never mapped over: a drive without
// a disk raises no box. Only where the session has no d: is one mapped,
// to a folder inside the run's, which the note names first.
void FindTemplate(State& s) {
  const UINT mode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
  const wchar_t* const templatePath = L"D:\\tolvern4\\3d\\2006.hvq";
  wchar_t device[MAX_PATH];
  const bool drive =
      GetDriveTypeW(L"D:\\") != DRIVE_NO_ROOT_DIR || QueryDosDeviceW(L"D:", device, MAX_PATH);
  if (drive && GetFileAttributesW(templatePath) != INVALID_FILE_ATTRIBUTES) {
    g_run.templateBytes = ReadAll(templatePath);
  } else if (drive) {
    g_run.noTemplate =
        L"drive d: is there (a disk, or a drive without one) without tolvern4\\3d\\2006.hvq, "
        L"and is never written to";
  } else if (s.drive.empty()) {
    s.drive = s.root + L"\\drive";  // the note says so before the drive is mapped
  } else {
    std::string bytes;
    for (int i = 0; i < 100 * 1024; ++i) bytes += char((i * 7919) >> 3);
    std::wstring folder = s.drive;
    for (const wchar_t* sub : {L"", L"\\tolvern4", L"\\3d"})
      CreateDirectoryW((folder += sub).c_str(), nullptr);
    WriteAll(folder + L"\\2006.hvq", bytes);
    DefineDosDeviceW(c_rawDrive, L"D:", (L"\\??\\" + s.drive).c_str());
    if (ReadAll(templatePath) == bytes) {
      g_run.templateBytes = bytes;
    } else {
      Unmap(s.drive);
      g_run.noTemplate =
          L"drive d: could not be mapped for the run (file calls here do not follow "
          L"DefineDosDevice); give d: a folder that holds tolvern4\\3d\\2006.hvq";
    }
  }
  SetErrorMode(mode);
}

// Registers the viewer for ".hvq" open, then asks the shell what it will
// run: a choice made in Explorer, or anything else, may come first.
void RegisterViewer(const State& s) {
  const std::wstring viewer =
      g_run.self.substr(0, g_run.self.find_last_of(L'\\') + 1) + L"hvqlaunch-selftest-viewer.exe";
  const std::wstring command = L"\"" + viewer + L"\" --dll \"" + g_run.dllPath + L"\" \"%1\"";
  const wchar_t* const hive = s.hive == HKEY_LOCAL_MACHINE ? L"HKLM" : L"HKCU";
  if (GetFileAttributesW(viewer.c_str()) == INVALID_FILE_ATTRIBUTES) {
    g_run.noAssociation = L"no viewer beside this program: " + viewer;
    return;
  }
  const bool registered = SetDefault(c_progId + std::wstring(L"\\shell\\open\\command"), command) &&
                          SetDefault(L".hvq", c_progId);
  AssociationChanged();
  if (!registered) {
    g_run.noAssociation =
        L"cannot register .hvq under " + std::wstring(hive) + L"\\Software\\Classes";
    return;
  }
  std::wstring shell(4096, L'\0');
  DWORD size = DWORD(shell.size());
  if (AssocQueryStringW(ASSOCF_NONE, ASSOCSTR_COMMAND, L".hvq", L"open", &shell[0], &size) != S_OK)
    shell[0] = L'\0';
  shell.resize(size_t(lstrlenW(shell.c_str())));
  if (SameText(shell, command)) return;
  std::wstring why;
  HKEY choice;
  for (const wchar_t* key : {L"UserChoice", L"UserChoiceLatest"}) {
    if (RegOpenKeyExW(HKEY_CURRENT_USER,
                      (std::wstring(L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\"
                                    L"FileExts\\.hvq\\") +
                       key)
                          .c_str(),
                      0, KEY_READ, &choice) == ERROR_SUCCESS) {
      RegCloseKey(choice);
      why = std::wstring(L" (a choice made in Explorer, ") + key + L", comes first)";
    }
  }
  g_run.noAssociation = L"the shell would open .hvq with " +
                        (shell.empty() ? std::wstring(L"nothing") : L"\"" + shell + L"\"") +
                        L", not with this program's viewer" + why + L"; it is left as it is";
}

}  // namespace

bool SetUp(std::wstring& error) {
  AcquireSRWLockExclusive(&g_lock);
  State& s = g_state;
  s.root = RootPath();
  s.hive = g_run.wine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  g_run.root = s.root;
  g_run.viewerLog = s.root + L"\\viewer.log";
  FindTemplate(s);
  for (const wchar_t* key : c_keys) SaveKey(s.hive, key, L"", s.keys);
  bool ok = WriteNote(s);
  if (!ok) error = L"cannot write its note " + NotePath();
  s.active = ok;
  if (ok && !CreateDirectoryW(s.root.c_str(), nullptr)) {
    ok = false;
    error = L"cannot create " + s.root;
  }
  if (ok && !s.drive.empty()) FindTemplate(s);
  if (ok) RegisterViewer(s);
  ReleaseSRWLockExclusive(&g_lock);
  SetEnvironmentVariableW(L"HVQ_VIEWER_LOG", g_run.viewerLog.c_str());
  g_run.rootA = Ansi(s.root);
  return ok;
}

void EndViewers() {
  if (g_state.active) EndViewersIn(g_state.root);
}

void PutBack() {
  AcquireSRWLockExclusive(&g_lock);  // once, whichever thread comes first
  std::wstring what, error;
  if (g_state.active && !Undo(g_state, what, error))
    Print("could not put everything back: " + Utf8(error) + "; the next run tries again\n");
  g_state.active = false;
  ReleaseSRWLockExclusive(&g_lock);
}

}  // namespace selftest
