// The plain C entry points, narrow and wide, and the wide CheckPrjOpened
// exports: a folder and a name outside the code page found, prepared and
// opened exactly, a climbing wide name that writes nothing, a folder past
// the plain file calls' limits, the reporting entry points' outcomes and
// flags, and launches still starting as other processes see them.
#include <algorithm>

#include "selftest.h"

namespace selftest {
namespace {

struct Entries {
  HvqCheckPrjOpenedAProc checkA =
      Export<HvqCheckPrjOpenedAProc>("HvqCheckPrjOpenedA", HVQ_CHECKPRJOPENEDA_ORDINAL);
  HvqCheckPrjOpenedWProc checkW =
      Export<HvqCheckPrjOpenedWProc>("HvqCheckPrjOpenedW", HVQ_CHECKPRJOPENEDW_ORDINAL);
  HvqStartVRAN3DAProc startA =
      Export<HvqStartVRAN3DAProc>("HvqStartVRAN3DA", HVQ_STARTVRAN3DA_ORDINAL);
  HvqStartVRAN3DWProc startW =
      Export<HvqStartVRAN3DWProc>("HvqStartVRAN3DW", HVQ_STARTVRAN3DW_ORDINAL);
  HvqStartVRAN3DExAProc startExA =
      Export<HvqStartVRAN3DExAProc>("HvqStartVRAN3DExA", HVQ_STARTVRAN3DEXA_ORDINAL);
  HvqStartVRAN3DExWProc startExW =
      Export<HvqStartVRAN3DExWProc>("HvqStartVRAN3DExW", HVQ_STARTVRAN3DEXW_ORDINAL);
};

// A name outside every code page, unique to the run.
std::wstring WideName() {
  const std::string unique = Unique("");
  return L"模型" + std::wstring(unique.begin(), unique.end());
}

CASE("entry.wide-titles") {
  // A title outside the code page shows the project, past its start only.
  Entries e;
  const HvqCheckPrjOpenedWideProc checkWide[] = {
      Export<HvqCheckPrjOpenedWideProc>(HVQ_CHECKPRJOPENED_WCHAR_NAME,
                                        HVQ_CHECKPRJOPENED_WCHAR_ORDINAL),
      Export<HvqCheckPrjOpenedWideProc>(HVQ_CHECKPRJOPENED_USHORT_NAME,
                                        HVQ_CHECKPRJOPENED_USHORT_ORDINAL)};
  const std::wstring name = WideName();
  HWND window = MakeWindow("", true);
  SetWindowTextW(window, (L"Viewer - C:\\работа\\" + name + L".hvq").c_str());
  CHECK_EQ(e.checkW(name.c_str()), 1);
  CHECK_EQ(checkWide[0](reinterpret_cast<const HvqWChar*>(name.c_str())), 1);
  CHECK_EQ(checkWide[1](reinterpret_cast<const HvqWChar*>((name + L".hvq").c_str())), 1);
  SetWindowTextW(window, (name + L".hvq - Viewer").c_str());
  CHECK_EQ(e.checkW(name.c_str()), 0);
  const std::string unique = Unique("deck");
  SetWindowTextA(window, ("Viewer - " + unique + ".hvq").c_str());
  CHECK_EQ(e.checkA(unique.c_str()), 1);
  DestroyWindow(window);
}

CASE("entry.wide-launch") {
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  Entries e;
  // A wide folder and name are prepared and opened exactly.
  const std::wstring name = WideName();
  const std::wstring folder = At(L"u\\работа");
  CreateDirectoryW(At(L"u").c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteAll(folder + L"\\" + name + L".hvq", "document");
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");
  const size_t before = ViewerLog().size();
  e.startW(folder.c_str(), name.c_str());
  std::vector<std::string> log = ViewerLog(before + 1);
  CHECK(log.size() == before + 1 &&
        SamePath(Wide(log.back(), CP_UTF8), folder + L"\\" + name + L".hvq"));
  std::wstring dir = folder + L"\\3d", lower = folder;
  CharLowerW(&lower[0]);
  CHECK(Copied(dir + L"\\" + name + L".hvq"));
  std::vector<std::wstring> paths;
  for (const auto& entry : Snapshot(folder)) paths.push_back(entry.first);
  std::wstring lowerName = name;
  CharLowerW(&lowerName[0]);
  std::vector<std::wstring> wanted = {lower + L"\\3d", lower + L"\\3d\\images",
                                      lower + L"\\3d\\treepics",
                                      lower + L"\\" + lowerName + L".hvq"};
  if (HaveTemplate()) wanted.push_back(lower + L"\\3d\\" + lowerName + L".hvq");
  std::sort(wanted.begin(), wanted.end());
  CHECK(paths == wanted);

  // A climbing wide name writes nothing; the failed open shows the message once.
  const Tree untouched = Snapshot(At(L"u"));
  {
    BoxDismisser dismisser;
    e.startW(folder.c_str(), L"..\\..\\злой");
    PumpMessages(100);
    CHECK_EQ(dismisser.Count(), 1);
  }
  CHECK(Snapshot(At(L"u")) == untouched);

  // The A forms behave as the original exports.
  const std::string plain = AtA("u\\plain");
  CreateDirectoryA(plain.c_str(), nullptr);
  WriteAll(Wide(plain + "\\deck.hvq"), "document");
  e.startA(plain.c_str(), "deck");
  log = ViewerLog(before + 2);
  CHECK(log.size() == before + 2 &&
        SamePath(Wide(log.back(), CP_UTF8), Wide(plain + "\\deck.hvq")));
  CHECK(Copied(Wide(plain + "\\3d\\deck.hvq")));

  // A folder past the plain file calls' limits is prepared whole.
  std::wstring deep = Wide(plain);
  for (wchar_t c = 'a'; c < 'f'; ++c)
    CreateDirectoryW((L"\\\\?\\" + (deep += L"\\" + std::wstring(50, c))).c_str(), nullptr);
  CHECK_EQ(e.startExA(Narrow(deep).c_str(), "deck", HVQ_NO_MESSAGE), HVQ_E_OPEN_FAILED);
  CHECK(Copied(L"\\\\?\\" + deep + L"\\3d\\deck.hvq"));
  CHECK_EQ(GetFileAttributesW((L"\\\\?\\" + deep + L"\\3d\\treepics").c_str()),
           DWORD(FILE_ATTRIBUTE_DIRECTORY));
}

// The folder spelled as hosts spell it: another case, forward slashes, a
// trailing backslash, a ".." segment, its 8.3 name.
std::vector<std::wstring> Spellings(const std::wstring& folder) {
  std::wstring upper = folder, slashes = folder;
  CharUpperW(&upper[0]);
  for (wchar_t& c : slashes) c = c == L'\\' ? L'/' : c;
  const std::wstring last = folder.substr(folder.find_last_of(L'\\'));
  std::vector<std::wstring> all = {upper, slashes, folder + L"\\", folder + L"\\.." + last};
  wchar_t shortPath[MAX_PATH] = L"";
  if (GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH) && folder != shortPath)
    all.push_back(shortPath);
  else
    Note("not checked here: an 8.3 name of " + Utf8(folder) + ", which has none");
  return all;
}

// A drive letter of this session onto the folder, as subst makes one, or 0.
wchar_t MapDrive(const std::wstring& folder) {
  const DWORD used = GetLogicalDrives();
  for (wchar_t letter = L'Z'; letter > L'E'; --letter) {
    const wchar_t drive[] = {letter, L':', 0};
    wchar_t device[MAX_PATH];
    if (!(used & (1u << (letter - L'A'))) && !QueryDosDeviceW(drive, device, MAX_PATH))
      return DefineDosDeviceW(0, drive, folder.c_str()) ? letter : 0;
  }
  return 0;
}

CASE("entry.opening") {
  // The reporting entry points: a second call while the viewer starts
  // opens nothing, here or in another process, after its launcher exited,
  // however the document's folder is spelled. The viewer shows its window
  // only once the case lets it.
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  Entries e;
  const std::wstring name = WideName();
  const std::wstring folder = At(L"opening");
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteAll(folder + L"\\" + name + L".hvq", "document");
  const std::wstring started = Wide(Unique("hvqviewerwait"));
  HANDLE show = CreateEventW(nullptr, TRUE, FALSE, started.c_str());
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"60");
  SetEnvironmentVariableW(L"HVQ_VIEWER_WAIT", started.c_str());
  const size_t before = ViewerLog().size();
  CHECK_EQ(e.startExW(folder.c_str(), name.c_str(), 0), HVQ_OPENED);
  CHECK_EQ(e.startExA(AtA("opening").c_str(), "deck", 4), HVQ_E_INVALID_FLAGS);
  CHECK_EQ(e.startExW(folder.c_str(), name.c_str(), HVQ_NO_MESSAGE), HVQ_OPENING);
  for (const std::wstring& spelling : Spellings(folder))
    if (!CHECK_EQ(e.startExW(spelling.c_str(), name.c_str(), HVQ_NO_MESSAGE), HVQ_OPENING))
      Note("spelled " + Utf8(spelling));
  if (g_run.wine) {
    Note(
        "not checked here: another drive letter (Wine's file calls do not follow "
        "DefineDosDevice)");
  } else if (const wchar_t letter = MapDrive(folder)) {
    const wchar_t drive[] = {letter, L':', 0};
    CHECK_EQ(e.startExW(drive, name.c_str(), HVQ_NO_MESSAGE), HVQ_OPENING);
    DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, drive, folder.c_str());
  } else {
    Note("not checked here: another drive letter, none could be defined");
  }
  SetEvent(show);
  CHECK(WaitFor(30000, [&] { return e.checkW(name.c_str()) == 1; }));
  CHECK_EQ(e.startExW(folder.c_str(), name.c_str(), 0), HVQ_ALREADY_OPEN);
  CHECK_EQ(ViewerLog(before + 1).size(), before + 1);  // one viewer started, not two

  ResetEvent(show);
  const std::string late = Unique("late");
  WriteAll(folder + L"\\" + Wide(late) + L".hvq", "document");
  CHECK_EQ(StartElsewhere(AtA("opening"), late), HVQ_OPENED);
  CHECK_EQ(StartElsewhere(AtA("opening"), late), HVQ_OPENING);
  CHECK_EQ(e.startExW(folder.c_str(), Wide(late).c_str(), HVQ_NO_MESSAGE), HVQ_OPENING);
  SetEvent(show);
  CHECK(WaitFor(30000, [&] { return e.checkA(late.c_str()) == 1; }));
  CHECK_EQ(StartElsewhere(AtA("opening"), late), HVQ_ALREADY_OPEN);
  CHECK_EQ(ViewerLog(before + 2).size(), before + 2);
  EndViewers();
  CloseHandle(show);
  SetEnvironmentVariableW(L"HVQ_VIEWER_WAIT", nullptr);
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");
}

CASE("entry.outcomes") {
  // Failures say why, with a box or without; HVQ_ACTIVATE brings an open
  // project forward.
  if (!NeedAnsiRoot()) return;
  Entries e;
  const std::string folder = AtA("outcomes");
  CreateDirectoryA(folder.c_str(), nullptr);
  for (const unsigned flags : {0u, unsigned(HVQ_NO_MESSAGE)}) {
    BoxDismisser dismisser;
    CHECK_EQ(e.startExA(folder.c_str(), "missing", flags), HVQ_E_OPEN_FAILED);
    CHECK_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    PumpMessages(100);
    CHECK_EQ(dismisser.Count(), flags ? 0 : 1);
  }
  const std::string name = Unique("front");
  HWND window = MakeWindow("Viewer - " + folder + "\\" + name + ".hvq", true);
  ShowWindow(window, SW_MINIMIZE);
  CHECK_EQ(e.startExA(folder.c_str(), name.c_str(), HVQ_ACTIVATE), HVQ_ALREADY_OPEN);
  CHECK(!IsIconic(window));
  if (HaveForeground()) CHECK(GetForegroundWindow() == window);
  DestroyWindow(window);
}

}  // namespace
}  // namespace selftest

// The newer CString's forms (cstringt.cpp), then a Unicode ATL host's
// launch of names outside the code page through the association to this
// program as the viewer, which, as another process while the launch that
// started it is still starting, launches the same document and is told so.
extern "C" void __cdecl HvqSelftestCStringT(void* dll, const char* folderA, const wchar_t* folderW,
                                            const wchar_t* folder2, const wchar_t* doc,
                                            void(__cdecl* check)(int ok, const char* what,
                                                                 int line));

namespace selftest {
namespace {

void __cdecl CheckForms(int ok, const char* what, int line) {
  Check(ok != 0, what, "cstringt.cpp", line);
}

CASE("cstringt.forms") {
  if (!NeedAnsiRoot() || !NeedAssociation()) return;
  for (INT_PTR i = 1; i <= 22; ++i)  // every export, 2 on x86 only
    CHECK(GetProcAddress(g_run.dll, reinterpret_cast<const char*>(i)) || (i == 2 && sizeof i == 8));
  const std::wstring newer = At(L"newer"), folder = At(L"работа"), name = L"模型";
  CreateDirectoryW(newer.c_str(), nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  WriteAll(folder + L"\\" + name + L".hvq", "document");
  HWND open = MakeWindow("Viewer - " + AtA("newer") + "\\newdeck.hvq", false);
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"10");
  SetEnvironmentVariableW(L"HVQ_VIEWER_RELAUNCH", L"1");
  const size_t before = ViewerLog().size();
  HvqSelftestCStringT(g_run.dll, AtA("newer").c_str(), newer.c_str(), folder.c_str(), name.c_str(),
                      CheckForms);
  CHECK(IsFolder(newer + L"\\3d\\treepics"));
  CHECK_EQ(CheckPrjOpened("newdeck"), 1);  // its own window
  auto startExA = Export<HvqStartVRAN3DExAProc>("HvqStartVRAN3DExA", HVQ_STARTVRAN3DEXA_ORDINAL);
  auto startExW = Export<HvqStartVRAN3DExWProc>("HvqStartVRAN3DExW", HVQ_STARTVRAN3DEXW_ORDINAL);
  CHECK_EQ(startExA(AtA("newer").c_str(), "newdeck", 0), HVQ_ALREADY_OPEN);
  DestroyWindow(open);

  CHECK(IsFolder(folder + L"\\3d\\images"));
  auto checkWide = Export<HvqCheckPrjOpenedWideProc>(HVQ_CHECKPRJOPENED_WCHAR_NAME,
                                                     HVQ_CHECKPRJOPENED_WCHAR_ORDINAL);
  const std::wstring path = folder + L"\\" + name;
  CHECK(WaitFor(30000, [&] { return checkWide(reinterpret_cast<const HvqWChar*>(path.c_str())); }));
  CHECK_EQ(startExW(folder.c_str(), name.c_str(), 0), HVQ_ALREADY_OPEN);
  const std::vector<std::string> log = ViewerLog(before + 1);
  CHECK_EQ(log.size(), before + 1);  // exactly one viewer, which was told it was opening
  const std::string told = "told " + std::to_string(HVQ_OPENING) + " ";
  CHECK(log.size() == before + 1 && log.back().compare(0, told.size(), told) == 0 &&
        SamePath(Wide(log.back().substr(told.size()), CP_UTF8), path + L".hvq"));
  SetEnvironmentVariableW(L"HVQ_VIEWER_RELAUNCH", nullptr);
  SetEnvironmentVariableW(L"HVQ_VIEWER_SECONDS", L"0");
}

}  // namespace
}  // namespace selftest
