#include "launch.h"

// Constant-initialised: loading the library allocates nothing. The runtime
// releases the searched names' buffers, and the launch records' processes,
// when the library unloads.
static CStringLiteral<char, 12> s_templateRoot = MakeCStringLiteral<char>("d:\\tolvern4");
static CStringLiteral<WideChar, 12> s_templateRootW = MakeCStringLiteral<WideChar>("d:\\tolvern4");

CString g_strPrjName;
CStringW g_strPrjNameW;
int32_t g_nPrjOpened = 0;
CString g_strTemplateRoot(s_templateRoot);
CStringW g_strTemplateRootW(s_templateRootW);

LaunchRecords<char> g_launches;
LaunchRecords<WideChar> g_launchesW;

template <typename TChar>
LaunchRecords<TChar>::~LaunchRecords() {
  for (LaunchRecord<TChar>& record : a)
    if (record.hProcess) PlatformCloseProcess(record.hProcess);
}
