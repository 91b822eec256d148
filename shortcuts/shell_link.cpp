// Shortcut files through the shell's own shell-link object.
#include "shell/comguard.h"
#include "shortcuts/shortcuts.h"

#include <shlobj.h>

HRESULT CreateShellLink(const char* pszTarget, const char* pszLinkFile, const char* pszDescription)
{
    const Ole32* pOle = LoadOle32();
    if (!pOle)
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    // Per call, so that no object outlives one link; the guards release the
    // interfaces before COM is uninitialised, on every way out.
    ComInitGuard com(*pOle);
    ComPtrGuard<IShellLinkA> pLink;
    HRESULT hr = pOle->pfnCoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, pLink.Out());
    if (FAILED(hr))
        return hr;
    // Only the target and the description: everything else keeps the
    // object's defaults. Save writes whatever the object holds.
    pLink->SetPath(pszTarget);
    pLink->SetDescription(pszDescription);

    ComPtrGuard<IPersistFile> pFile;
    hr = pLink->QueryInterface(IID_IPersistFile, pFile.Out());
    if (FAILED(hr))
        return hr;
    WCHAR wszLinkFile[LINK_PATH_WIDE_CHARS];
    if (!MultiByteToWideChar(CP_ACP, 0, pszLinkFile, -1, wszLinkFile, LINK_PATH_WIDE_CHARS)) {
        // A path that does not fit is refused rather than saved under a
        // shortened name.
        DWORD dwError = GetLastError();
        if (dwError == ERROR_INSUFFICIENT_BUFFER)
            return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
        return dwError ? HRESULT_FROM_WIN32(dwError) : E_FAIL;
    }
    return pFile->Save(wszLinkFile, TRUE);
}
