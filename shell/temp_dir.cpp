#include "shell/temp_dir.h"

#include "shell/strutil.h"

#include <cstring>

bool ChooseTempDir(char* szTempDir, size_t cchTempDir, const char* szReported, DWORD dwReported,
                   const char* pszSetupDir)
{
    // GetTempPathA returns 0 on failure and the size it needs when the path
    // does not fit; neither leaves a usable path.
    bool bReported = dwReported > 0 && dwReported < cchTempDir && std::strlen(szReported) == dwReported;
    if (!StrCopy(szTempDir, cchTempDir, bReported ? szReported : pszSetupDir)) {
        szTempDir[0] = '\0';
        return false;
    }
    size_t cch = std::strlen(szTempDir);
    if (cch > 0 && szTempDir[cch - 1] == '\\')
        szTempDir[cch - 1] = '\0';
    return true;
}
