// Where the copy page stages its temporary files. The install-directory page
// asks too: staged on the chosen drive, they count against its free space.
#pragma once

#include "shell/platform.h"

#include <cstddef>

// The temporary directory without a trailing backslash: the system's
// (dwReported as GetTempPathA returned it for szReported), or the setup
// directory when the system has none that fits. False when neither fits
// szTempDir[cchTempDir]; the temporary files cannot be made then.
bool ChooseTempDir(char* szTempDir, size_t cchTempDir, const char* szReported, DWORD dwReported,
                   const char* pszSetupDir);
