#include "launch.h"

// Constant-initialised: loading the library allocates nothing. The runtime
// releases the searched names' buffers, and lets go of the launch records
// this process holds, when the library unloads.
static CStringLiteral<char, 12> s_templateRoot = MakeCStringLiteral<char>("d:\\tolvern4");
static CStringLiteral<WideChar, 12> s_templateRootW = MakeCStringLiteral<WideChar>("d:\\tolvern4");

CString g_strPrjName;
CStringW g_strPrjNameW;
int32_t g_nPrjOpened = 0;
CString g_strTemplateRoot(s_templateRoot);
CStringW g_strTemplateRootW(s_templateRootW);

HeldLaunches g_heldLaunches;

HeldLaunches::~HeldLaunches() {
  for (auto& held : a)
    if (held.hRecord) PlatformCloseRecord(held.hRecord, held.pView);
}
