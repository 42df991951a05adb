// The console host: loads hvqlaunch.dll from beside this program and calls
// one of its operations, for scripts and people.
//
//   hvqlaunch start FOLDER NAME   prepare and open the project
//   hvqlaunch check NAME          print 1 (exit 0) when the project is open,
//                                 0 (exit 1) when it is not
// Usage errors exit with 2; a DLL that cannot be loaded, with 3.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hvqlaunch.h"

namespace {

int Usage() {
  fputs(
      "usage: hvqlaunch start FOLDER NAME\n"
      "       hvqlaunch check NAME\n"
      "  start  seeds FOLDER\\3d from the template once, then opens FOLDER\\NAME.hvq\n"
      "         through the shell unless a window already shows NAME.hvq\n"
      "  check  prints 1 and exits 0 when a window shows NAME.hvq, else prints 0, exits 1\n",
      stderr);
  return 2;
}

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

}  // namespace

int main(int argc, char** argv) {
  const bool start = argc == 4 && strcmp(argv[1], "start") == 0;
  const bool check = argc == 3 && strcmp(argv[1], "check") == 0;
  if (!start && !check) return Usage();

  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dll(path);
  dll = dll.substr(0, dll.find_last_of('\\') + 1) + "hvqlaunch.dll";
  HMODULE module = LoadLibraryA(dll.c_str());
  if (!module) {
    fprintf(stderr, "hvqlaunch: cannot load %s (error %lu)\n", dll.c_str(), GetLastError());
    return 3;
  }
  int status = 0;
  if (start) {
    auto StartVRAN3D = reinterpret_cast<HvqStartVRAN3DProc>(
        reinterpret_cast<void*>(GetProcAddress(module, HVQ_STARTVRAN3D_NAME)));
    StaticString folder(argv[2]), name(argv[3]);
    StartVRAN3D(folder.Arg(), name.Arg());
  } else {
    auto CheckPrjOpened = reinterpret_cast<HvqCheckPrjOpenedProc>(
        reinterpret_cast<void*>(GetProcAddress(module, HVQ_CHECKPRJOPENED_NAME)));
    const int opened = CheckPrjOpened(argv[2]);
    printf("%d\n", opened);
    status = opened ? 0 : 1;
  }
  FreeLibrary(module);
  return status;
}
