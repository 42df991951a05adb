#include "launch.h"

// Constant-initialised: loading the library allocates nothing. The runtime
// releases g_strPrjName's buffer when the library unloads.
static CStringLiteral<12> s_templateRoot = MakeCStringLiteral("d:\\tolvern4");

CString g_strPrjName;
int32_t g_nPrjOpened = 0;
CString g_strTemplateRoot(s_templateRoot);

const char c_szHvqExt[] = ".hvq";
const char c_szSep[] = "\\";
