#include "shell/platform.h"

BOOL CreateDir(const char* pszPath)
{
    SECURITY_ATTRIBUTES sa;
    sa.nLength = sizeof(sa);
    sa.lpSecurityDescriptor = nullptr;
    sa.bInheritHandle = TRUE;
    return CreateDirectoryA(pszPath, &sa);
}
