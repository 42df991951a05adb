// hvqlaunch.exe, the console host: loads hvqlaunch.dll from beside this
// program and calls it, for scripts and people.
//
//   hvqlaunch start FOLDER NAME    prepare and open the project
//   hvqlaunch check NAME           print 1 (exit 0) when the project is open,
//                                  0 (exit 1) when it is not
//   hvqlaunch doctor FOLDER NAME   say what start would do and why, changing
//                                  nothing; exit 0 when start would find the
//                                  project open or open its document, 1 when
//                                  it would show the failure message
//   hvqlaunch --version            this program's version and the DLL's
//   hvqlaunch --help | -h | /?     the usage, on standard output
// Usage errors exit with 2; a DLL that cannot be loaded, with 3.
#include <windows.h>

#include <shlwapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hvqlaunch.h"

namespace {

const char kUsage[] =
    "usage: hvqlaunch start FOLDER NAME\n"
    "       hvqlaunch check NAME\n"
    "       hvqlaunch doctor FOLDER NAME\n"
    "       hvqlaunch --version | --help\n"
    "  start   seeds FOLDER\\3d from the template once, then opens FOLDER\\NAME.hvq\n"
    "          through the shell unless a window already shows NAME.hvq\n"
    "  check   prints 1 and exits 0 when a window shows NAME.hvq, else prints 0, exits 1\n"
    "  doctor  says what start would do and why, and changes nothing; exits 0 when\n"
    "          start would find the project open or open it, 1 when it would fail\n"
    "exit codes: 2 usage error, 3 hvqlaunch.dll cannot be loaded\n";

const char kTemplate[] = "d:\\tolvern4\\3d\\2006.hvq";

// A string the way the DLL takes it: a header, then the characters. The
// count -1 tells the DLL that nobody counts this buffer: it only reads it.
class StaticString {
 public:
  explicit StaticString(const char* text) : m_block(sizeof(HvqStringHeader) + strlen(text) + 1) {
    HvqStringHeader header = {-1, int(strlen(text)), int(strlen(text))};
    memcpy(m_block.data(), &header, sizeof header);
    memcpy(m_block.data() + sizeof header, text, strlen(text) + 1);
  }
  HvqStringArg Arg() { return HvqStringArg{m_block.data() + sizeof(HvqStringHeader)}; }

 private:
  std::vector<char> m_block;
};

std::string DllPath() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path);
  return dll.substr(0, dll.find_last_of('\\') + 1) + "hvqlaunch.dll";
}

// The FileVersion string of a file's version resource, or "".
std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), &ignored));
  if (info.empty() || !GetFileVersionInfoA(path.c_str(), 0, DWORD(info.size()), info.data()))
    return "";
  char* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\StringFileInfo\\040904B0\\FileVersion",
                      reinterpret_cast<void**>(&value), &length))
    return "";
  return std::string(value, length && !value[length - 1] ? length - 1 : length);
}

bool Exists(const std::string& path, bool* folder = nullptr, ULONGLONG* size = nullptr) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return false;
  if (folder) *folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (size) *size = (ULONGLONG(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return true;
}

// The same rules as the DLL's, for the report: the searched name, and
// whether the name is one the preparation accepts (no "\\", "/" or ":",
// on whole characters of the ANSI code page).
std::string WithExtension(const std::string& name) {
  return name.find(".hvq") == std::string::npos ? name + ".hvq" : name;
}

bool IsPlainFileName(const std::string& name) {
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' || name[i] == '/' || name[i] == ':') return false;
    if (IsDBCSLeadByte(BYTE(name[i])) && i + 1 < name.size()) ++i;
  }
  return true;
}

struct Shown {
  std::string needle;
  int count = 0;
  std::vector<WCHAR> wide = std::vector<WCHAR>(1 << 16);  // one title at a time
};

BOOL CALLBACK ReportWindow(HWND hwnd, LPARAM lParam) {
  Shown* shown = reinterpret_cast<Shown*>(lParam);
  std::vector<WCHAR>& wide = shown->wide;
  const int n = InternalGetWindowText(hwnd, wide.data(), int(wide.size()));
  std::string title(size_t(n) * 2 + 1, '\0');
  title.resize(size_t(WideCharToMultiByte(CP_ACP, 0, wide.data(), n, &title[0], int(title.size()),
                                          nullptr, nullptr)));
  const size_t at = title.find(shown->needle);
  if (at == std::string::npos) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  char program[MAX_PATH] = "?";
  if (HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid)) {
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameA(process, 0, program, &size)) strcpy(program, "?");
    CloseHandle(process);
  }
  printf("  window \"%s\"\n    process %lu, %s%s\n", title.c_str(), pid, program,
         at == 0 ? "; the name stands at the title's start, so it does not count" : "");
  ++shown->count;
  return TRUE;
}

int Doctor(HvqCheckPrjOpenedProc CheckPrjOpened, const std::string& folder,
           const std::string& name) {
  ULONGLONG size = 0;
  bool isFolder = false;
  printf("template %s: ", kTemplate);
  if (Exists(kTemplate, &isFolder, &size) && !isFolder)
    printf("present, %llu bytes\n", size);
  else
    printf("missing: a new project's 3d folder would get no copy\n");

  const std::string dir = folder + "\\3d";
  const bool plain = !folder.empty() && IsPlainFileName(name);
  if (!plain) {
    printf("preparation: none (%s)\n",
           folder.empty() ? "the working folder is empty" : "the name is not a plain file name");
  } else if (Exists(dir)) {
    printf("%s exists: the project is prepared and nothing in it is created again\n", dir.c_str());
    int missing = 0;
    for (const std::string& part : {name + ".hvq", std::string("images"), std::string("treepics")})
      if (!Exists(dir + "\\" + part)) {
        printf("  missing: %s\\%s (not restored; remove %s to prepare again)\n", dir.c_str(),
               part.c_str(), dir.c_str());
        ++missing;
      }
    if (!missing) printf("  it holds %s.hvq, images and treepics\n", name.c_str());
  } else if (!Exists(folder)) {
    printf("%s does not exist: nothing would be prepared\n", folder.c_str());
  } else {
    printf("%s would be created with %s.hvq (a copy of the template), images and treepics\n",
           dir.c_str(), name.c_str());
  }

  const std::string needle = WithExtension(name);
  const int opened = CheckPrjOpened(name.c_str());
  printf("open: %s (windows whose title contains %s:)\n", opened ? "yes" : "no", needle.c_str());
  Shown shown{needle};
  EnumWindows(ReportWindow, reinterpret_cast<LPARAM>(&shown));
  if (!shown.count) printf("  none\n");
  if (opened) {
    printf("start would open nothing: the project is shown open\n");
    return 0;
  }

  std::string document = folder + "\\" + name;
  if (document.size() < 4 || document.compare(document.size() - 4, 4, ".hvq") != 0)
    document += ".hvq";
  printf("document %s: %s\n", document.c_str(), Exists(document) ? "present" : "missing");
  char program[MAX_PATH * 2] = "";
  DWORD length = sizeof program;
  const bool registered = SUCCEEDED(
      AssocQueryStringA(ASSOCF_NONE, ASSOCSTR_EXECUTABLE, ".hvq", "open", program, &length));
  if (registered)
    printf("program for .hvq: %s\n", program);
  else
    printf("program for .hvq: none registered\n");
  if (registered && Exists(document)) {
    printf("start would ask the shell to open %s\n", document.c_str());
    return 0;
  }
  printf("start would ask the shell to open %s, which would fail and show the message\n",
         document.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (argc == 2 && (command == "--help" || command == "-h" || command == "/?")) {
    fputs(kUsage, stdout);
    return 0;
  }
  const bool version = argc == 2 && command == "--version";
  const bool start = argc == 4 && command == "start";
  const bool check = argc == 3 && command == "check";
  const bool doctor = argc == 4 && command == "doctor";
  if (!version && !start && !check && !doctor) {
    fputs(kUsage, stderr);
    return 2;
  }

  const std::string dll = DllPath();
  HMODULE module = LoadLibraryA(dll.c_str());
  if (!module) {
    if (version) printf("hvqlaunch.exe %s\n", HVQLAUNCH_VERSION_STRING);
    fprintf(stderr, "hvqlaunch: cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
    return 3;
  }
  auto CheckPrjOpened = reinterpret_cast<HvqCheckPrjOpenedProc>(
      reinterpret_cast<void*>(GetProcAddress(module, HVQ_CHECKPRJOPENED_NAME)));
  auto StartVRAN3D = reinterpret_cast<HvqStartVRAN3DProc>(
      reinterpret_cast<void*>(GetProcAddress(module, HVQ_STARTVRAN3D_NAME)));
  int status = 0;
  if (version) {
    const std::string dllVersion = FileVersion(dll);
    printf("hvqlaunch.exe %s\nhvqlaunch.dll %s (%s)\n", HVQLAUNCH_VERSION_STRING,
           dllVersion.empty() ? "without a version resource" : dllVersion.c_str(), dll.c_str());
  } else if (start) {
    StaticString folder(argv[2]), name(argv[3]);
    StartVRAN3D(folder.Arg(), name.Arg());
  } else if (check) {
    const int opened = CheckPrjOpened(argv[2]);
    printf("%d\n", opened);
    status = opened ? 0 : 1;
  } else {
    status = Doctor(CheckPrjOpened, argv[2], argv[3]);
  }
  FreeLibrary(module);
  return status;
}
