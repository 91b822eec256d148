#include "shell/message.h"

#ifndef _WIN32
static int WINAPI HostMessageBox(HWND, LPCSTR pszText, LPCSTR pszCaption, UINT)
{
    std::fprintf(stderr, "[%s] %s\n", pszCaption ? pszCaption : "Error", pszText);
    return IDOK;
}
MESSAGEBOXPROC pfnMessageBox = HostMessageBox;
#else
MESSAGEBOXPROC pfnMessageBox = MessageBoxA;
#endif

int ShowMessage(HWND hOwner, LPCSTR pszText, LPCSTR pszCaption, UINT uStyle)
{
    return pfnMessageBox(hOwner, pszText, pszCaption, uStyle);
}
