// The wizard: the pages in their fixed order, then one closing message. Any
// page result other than 0 (including DialogBoxParamA's -1 for a page that
// cannot be created) skips the later pages.
#include "location/location.h"
#include "payload/payload.h"
#include "setup/setup.h"
#include "shell/message.h"
#include "shell/strutil.h"
#include "shell/system_dll.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"

// The cancel message ends with the publisher's contact address.
static const char szCancelText[] =
    "Setup was canceled. Any notes or errors you can send on my email: support@quarnel.example";

// shell32 is loaded for this one call, at the very end: the pages before do
// without it and the DLLs it brings.
static void OpenFolderWindow(const char* pszFolder)
{
    using ShellExecuteAFn = HINSTANCE(WINAPI*)(HWND, LPCSTR, LPCSTR, LPCSTR, LPCSTR, INT);
    HMODULE hShell32 = LoadSystemLibrary("shell32.dll");
    if (auto pfnShellExecute = hShell32 ? DllExport<ShellExecuteAFn>(hShell32, "ShellExecuteA") : nullptr)
        pfnShellExecute(nullptr, nullptr, pszFolder, nullptr, nullptr, SW_SHOWNA);
}

LRESULT RunSetupWizard(HWND hWnd, WORD, WORD, LPARAM)
{
    bool bInstalled = ShowAgreementPage(hWnd) == 0 &&
                      DialogBoxParamA(hAppInstance, "IDD_DIR", hWnd, DirDlgProc, 0) == 0 &&
                      ShowCopyPage(hWnd) == 0;

    if (bInstalled) {
        // Cancelling the shortcut page skips only the shortcuts: the game is
        // installed all the same.
        ShowShortcutPage(hWnd);
        StrFormat(szMessageText, sizeof(szMessageText), "%s was successfully %s", pszProductName, "installed");
        ShowMessage(hWnd, szMessageText, pszSetupCaption, MB_ICONINFORMATION);
        // Opens the program group that holds the new shortcuts. After a
        // confirmed Cancel there is none, and the shell is not asked at all:
        // it would try to open an empty path.
        if (szOpenFolder[0] != '\0')
            OpenFolderWindow(szOpenFolder);
    } else {
        ShowMessage(hWnd, szCancelText, pszSetupCaption, MB_ICONWARNING);
    }
    DestroyWindow(hWnd);
    return 0;
}
