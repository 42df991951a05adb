// Prints WinVerifyTrust's answer for each file named, in hex, a line each.
#include <windows.h>

#include <softpub.h>
#include <wintrust.h>

#include <cstdio>

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    wchar_t path[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, argv[i], -1, path, MAX_PATH);
    WINTRUST_FILE_INFO file = {sizeof file, path, nullptr, nullptr};
    WINTRUST_DATA data = {};
    data.cbStruct = sizeof data;
    data.dwUIChoice = WTD_UI_NONE;
    data.fdwRevocationChecks = WTD_REVOKE_NONE;
    data.dwUnionChoice = WTD_CHOICE_FILE;
    data.pFile = &file;
    data.dwStateAction = WTD_STATEACTION_VERIFY;
    GUID action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    const LONG answer = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    data.dwStateAction = WTD_STATEACTION_CLOSE;
    WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &action, &data);
    printf("0x%08lX\n", static_cast<unsigned long>(answer));
  }
  return 0;
}
