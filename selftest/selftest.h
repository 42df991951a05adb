// The kit of hvqlaunch-selftest, the benchmarks and any other Windows test
// program: the checks of hvqlaunch.dll on the machine where it runs, as a
// host loads it. What every case shares: the run (the DLL under
// test, the folder the cases work in, drive d: and the association), the
// checks and skips, and the pieces of a host (windows, processes, message
// boxes, files). The program has no C runtime: it links only system DLLs,
// so that one source serves x86, x64 and ARM64 (runtime.cpp).
#pragma once

#include <windows.h>

#include <atomic>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "desktop.h"
#include "hvqlaunch.h"
#ifndef _WIN64
#include "host_string.h"
#endif

namespace selftest {

// What the cases are given: set up by the run before the first case.
struct Run {
  std::wstring self;     // this program
  std::wstring dllPath;  // the DLL under test, full path
  HMODULE dll = nullptr;
  std::wstring root;       // the folder every case works in, under %TEMP%
  std::string rootA;       // the same in the ANSI code page, or empty
  std::wstring viewerLog;  // where the viewer records each document
  std::string templateBytes;
  std::wstring noTemplate;     // why d:\tolvern4\3d\2006.hvq cannot be had, or empty
  std::wstring noAssociation;  // why ".hvq" cannot open with this program's viewer, or empty
  std::wstring noForeground;   // why this program cannot take the foreground, or empty
  bool wine = false;
  // --require: what a run must have; without it the cases fail, not skip.
  bool requireTemplate = false, requireAssociation = false;
};
extern Run g_run;

// A case: a name "group.case" and its body, registered at start-up.
struct Case {
  const char* name;
  void (*body)();
  int seconds;  // its time limit
};
std::vector<Case>& Cases();
struct Register {
  Register(const char* name, void (*body)(), int seconds = 120) {
    Cases().push_back({name, body, seconds});
  }
};
#define HVQ_CONCAT2(a, b) a##b
#define HVQ_CONCAT(a, b) HVQ_CONCAT2(a, b)
#define CASE(name, ...)                                                                      \
  static void HVQ_CONCAT(Case, __LINE__)();                                                  \
  static ::selftest::Register HVQ_CONCAT(s_case, __LINE__)(name, HVQ_CONCAT(Case, __LINE__), \
                                                           ##__VA_ARGS__);                   \
  static void HVQ_CONCAT(Case, __LINE__)()

// Checks: a failure is noted with what was expected and what came.
bool Check(bool ok, const char* what, const char* file, int line);
bool CheckEq(const std::string& got, const std::string& wanted, const char* what, const char* file,
             int line);
#define CHECK(cond) ::selftest::Check((cond), #cond, __FILE__, __LINE__)
#define CHECK_EQ(got, wanted) \
  ::selftest::CheckEq(::selftest::Text(got), ::selftest::Text(wanted), #got, __FILE__, __LINE__)
// A failure that is no check's: the case could not do what it must.
void Fail(const std::string& why);
// The case cannot run here: it ends, skipped, with the reason.
void Skip(const std::wstring& why);
// The case runs, but some of its checks cannot here: "partial: why".
void Partial(const std::string& why);
// A line of the case's own, printed under it (measurements).
void Note(const std::string& text);

std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP);
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& text, UINT codePage = CP_ACP);
template <typename T>
std::enable_if_t<std::is_integral_v<T>, std::string> Text(T n) {
  return std::to_string(n);
}
inline std::string Text(const std::string& s) { return "\"" + s + "\""; }
inline std::string Text(const char* s) { return Text(std::string(s ? s : "(null)")); }
inline std::string Text(const std::wstring& s) { return Text(Utf8(s)); }

// Output: to the console in its own characters, else UTF-8.
void Print(const std::string& text);

// The conditions of a case: each skips the case, with the reason, when
// it is not met, and says whether it is.
bool NeedAssociation();
bool NeedAnsiRoot();
bool NeedLeadBytes();  // an ANSI code page with double-byte characters
// Whether there is a template to copy. Without one a case runs all the
// same, "partial: no template", and a launch prepares a project without
// its copy. Copied: the copy a launch made is the template's bytes, or,
// without a template, there is none.
bool HaveTemplate();
bool Copied(const std::wstring& copy);
// Whether this program may take the foreground, which its own window was
// seen to; without it a case leaves its checks of the foreground out:
// "partial: no foreground".
bool HaveForeground();

// The DLL's exports, each found by its name and its ordinal alike.
FARPROC ExportOf(const char* name, int ordinal);
template <typename Proc>
Proc Export(const char* name, int ordinal) {
  return reinterpret_cast<Proc>(reinterpret_cast<void*>(ExportOf(name, ordinal)));
}
// The search by the first export, and a narrow launch: on x86 the
// original StartVRAN3D with the host's CString, elsewhere the C entry.
int CheckPrjOpened(const char* name);
void Start(const std::string& folder, const std::string& name);

// Paths under the run's folder, wide and narrow.
std::wstring At(const std::wstring& relative);
std::string AtA(const std::string& relative);
// A path in its long form, as far as it exists (an 8.3 name is not);
// whether two texts are the same without regard to case, as file and
// registry names are compared, and two paths so in their long forms.
std::wstring LongPath(const std::wstring& path);
bool SameText(const std::wstring& a, const std::wstring& b);
bool SamePath(const std::wstring& a, const std::wstring& b);

// A unique word for this run, so that no other window on the desktop can
// hold the names a case looks for.
std::string Unique(const char* stem);

// A window that the shell put up in place of a launch (a program chooser,
// a prompt): a visible top-level window of a process this one started,
// other than its own viewers and itself. It is closed, and the case fails
// with its title; whether there was one.
bool ShellDialogClosed();
// How many of this run's viewers are running.
int Viewers();

// Pumps messages until done() or ms have passed, or the shell put up a
// window in place of a launch; whether done() came.
template <typename Done>
bool WaitFor(DWORD ms, Done done) {
  const DWORD end = GetTickCount() + ms;
  while (!done()) {
    if (int(end - GetTickCount()) <= 0 || ShellDialogClosed()) return false;
    PumpMessages(50);
  }
  return true;
}

// A title of at least `length` bytes that ends in `tail`, its start
// different for each i: "Viewer i - C:\work\" and letters.
std::string PaddedTitle(size_t length, int i, const std::string& tail);

// This program again as another process, "--child EVENT COUNT LENGTH
// TAIL": it makes `count` hidden windows, each titled PaddedTitle(length,
// i, tail) (the tail alone when length is 0), and pumps messages until it
// is ended.
class ChildProcess {
 public:
  explicit ChildProcess(const std::string& tail, int count = 1, size_t length = 0);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  DWORD Id() const { return m_pi.dwProcessId; }

 private:
  PROCESS_INFORMATION m_pi = {};
};
// This program as a host in a process of its own: "--start FOLDER NAME"
// launches with HvqStartVRAN3DExA (no message) and exits with its outcome.
int StartElsewhere(const std::string& folder, const std::string& name);

// Files, by wide paths, whole.
std::string ReadAll(const std::wstring& path);
bool WriteAll(const std::wstring& path, const std::string& bytes);
bool IsFolder(const std::wstring& path);
bool IsEmptyFolder(const std::wstring& path);
// The lines the viewer has recorded, in UTF-8, after waiting up to 10 s
// for `count` of them.
std::vector<std::string> ViewerLog(size_t count = 0);

// Every entry below a folder, by lower-case full path, with what tells a
// change: its attributes, size and time of writing. Sorted by path.
using Tree = std::vector<std::pair<std::wstring, std::wstring>>;
Tree Snapshot(const std::wstring& folder);

// ".hvq" registered to this program as the viewer (on), or to a type with
// no program (off).
void Associate(bool on);

// A message box of this process that is up, or null.
HWND FindMessageBox();

// Presses OK on every message box of this process from a second thread,
// and counts them, until it is destroyed.
class BoxDismisser {
 public:
  BoxDismisser();
  ~BoxDismisser();
  int Count() const { return m_count; }

 private:
  static DWORD WINAPI Run(void* self);
  HANDLE m_thread;
  std::atomic<bool> m_stop{false};
  std::atomic<int> m_count{0};
};

// The mode in which this program is started by the cases as another
// process that shows windows.
int RunChild(const char* event, int count, size_t length, const std::string& tail);

// What the run changes on the machine and puts back (machine.cpp).
// ClaimMachine: whether no other run of this user's is going on.
// Repair undoes what a run that was killed left, from its note; whether
// there was any, in `what`. Set up changes the machine for a run, after
// writing the note; PutBack undoes it and removes the note.
bool ClaimMachine();
bool Repair(std::wstring& what, std::wstring& error);
bool SetUp(std::wstring& error);
void PutBack();
// The viewers the run started, ended (once the cases are done).
void EndViewers();

}  // namespace selftest
