// The shortcut page, the wizard's last: where the program group will be made
// (changed only through the browser), the desktop shortcut's box, and on
// Finish or Cancel the registry entries; Finish also makes the shortcuts.
// Nothing here reports a failure: a shortcut that cannot be made is missing.
#include "resources/resource.h"
#include "shell/common_controls.h"
#include "shell/message.h"
#include "shell/msgmap.h"
#include "shell/platform.h"
#include "shell/shell.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"

#include <cstring>

char szLinkFile[SHORTCUT_TEXT_SIZE];
char szLinkTarget[SHORTCUT_TEXT_SIZE];

static LRESULT ShortcutOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT ShortcutOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT ShortcutOnButton(HWND hDlg, WORD wId, WORD, LPARAM);

static constexpr MessageMapEntry aShortcutMessages[] = {
    {WM_COMMAND, ShortcutOnCommand},
    {WM_INITDIALOG, ShortcutOnInitDialog},
    {WM_PAINT, PaintPageBitmap},
};
static constexpr MessageMap ShortcutMessageMap = MakeMessageMap(aShortcutMessages, DEFAULT_NONE);

// Any command from these controls counts as a press, whatever its code.
static constexpr CommandMapEntry aShortcutCommands[] = {
    {IDOK, ShortcutOnButton},
    {IDCANCEL, ShortcutOnButton},
    {IDC_BROWSE, ShortcutOnBrowse},
};
static constexpr CommandMap ShortcutCommandMap = MakeCommandMap(aShortcutCommands, DEFAULT_NONE);

INT_PTR ShowShortcutPage(HWND hOwner)
{
    return DialogBoxParamA(hAppInstance, "IDD_SHORTCUT", hOwner, ShortcutDlgProc, 0);
}

INT_PTR CALLBACK ShortcutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&ShortcutMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT ShortcutOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&ShortcutCommandMap, hDlg, wParam, lParam);
}

// The edit shows the parent alone; it is never read back, so what the user
// types there goes nowhere.
static LRESULT ShortcutOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    std::memset(szGroupParent, 0, sizeof(szGroupParent));
    if (!ReadShellFolder(szGroupParent, "Common Programs"))
        StrCopy(szGroupParent, "C:");
    SetDlgItemTextA(hDlg, IDC_TARGET_EDIT, szGroupParent);
    SendDlgItemMessageA(hDlg, IDC_DESKTOP_CHECK, BM_SETCHECK, BST_CHECKED, 0);
    return 1;
}

// The wanted shortcuts of one folder, in table order; results are ignored.
static void MakeLinks(LinkFolder folder, const char* pszFolder, bool bDesktopChecked, bool bDesktopFound)
{
    for (const LinkRow& row : aLinkRows)
        if (row.folder == folder && LinkWanted(row, bDesktopChecked, bDesktopFound) &&
            ComposeLink(row, pszFolder, szInstallDir, szLinkFile, sizeof(szLinkFile), szLinkTarget,
                        sizeof(szLinkTarget)))
            CreateShellLink(szLinkTarget, szLinkFile, row.pszDescription);
}

// The group's folder and every missing level above it, outermost first: the
// browser may have entered folders that do not exist. Existing folders are
// used as they are; one that cannot be made leaves its shortcuts to fail one
// by one.
static void MakeGroupFolders(const char* pszGroup)
{
    char szLevel[SHORTCUT_TEXT_SIZE];
    for (size_t cch = NextGroupLevel(pszGroup, 0); cch != 0; cch = NextGroupLevel(pszGroup, cch))
        if (StrFormat(szLevel, sizeof(szLevel), "%.*s", static_cast<int>(cch), pszGroup))
            CreateDir(szLevel);
}

static void ShortcutOnFinish(HWND hDlg)
{
    // Sized for any folder ReadShellFolder returns: a desktop path too long
    // for a link is refused by the link itself, never cut here.
    char szDesktop[SHORTCUT_TEXT_SIZE] = {};
    bool bDesktopChecked = SendDlgItemMessageA(hDlg, IDC_DESKTOP_CHECK, BM_GETCHECK, 0, 0) == BST_CHECKED;
    bool bDesktopFound = bDesktopChecked && ReadShellFolder(szDesktop, "Common Desktop");
    MakeLinks(LINK_IN_DESKTOP, szDesktop, bDesktopChecked, bDesktopFound);
    MakeGroupFolders(szProgramGroup);
    MakeLinks(LINK_IN_GROUP, szProgramGroup, bDesktopChecked, bDesktopFound);
    StrCopy(szOpenFolder, szProgramGroup);
    EndDialog(hDlg, 0);
}

// Finish and Cancel both write the registry entries first; composed afresh
// each time, the group names the product folder exactly once.
static LRESULT ShortcutOnButton(HWND hDlg, WORD wId, WORD, LPARAM)
{
    ComposeProgramGroup(szProgramGroup, sizeof(szProgramGroup), szGroupParent);
    WriteAppPathEntry();
    WriteUninstallEntry(szProgramGroup);
    if (wId == IDOK)
        ShortcutOnFinish(hDlg);
    else if (ShowMessage(hDlg, "Cancel creating the shortcuts?", "Confirmation", MB_YESNO | MB_ICONQUESTION) == IDYES)
        EndDialog(hDlg, 1);
    return 0;
}

LRESULT ShortcutOnBrowse(HWND hDlg, WORD, WORD, LPARAM)
{
    LoadCommonControls();  // its folder list; without them the browser does not open
    DialogBoxParamA(hAppInstance, "IDD_BROWSE_SHORTCUT", hDlg, GroupBrowseDlgProc, 0);
    // A parent too long to show with the product folder is shown alone.
    SetDlgItemTextA(hDlg, IDC_TARGET_EDIT,
                    PathJoin(szLinkFile, szGroupParent, szGroupFolder) ? szLinkFile : szGroupParent);
    return 0;
}
