// The directory browser: drive choice with free space, folder navigation and
// the product-folder name. It works on the shared location values directly,
// so Cancel keeps every change, exactly as OK does.
#include "location/location.h"
#include "resources/resource.h"
#include "shell/common_controls.h"
#include "shell/folder_list.h"
#include "shell/message.h"
#include "shell/msgmap.h"
#include "shell/shell.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"

#include <commctrl.h>

static HWND hNameEdit;
static HWND hFolderList;
static HWND hDriveCombo;
static BOOL bNameEditBusy;

// Longest product-folder name: the name edit's limit less the terminator.
constexpr int PRODUCT_FOLDER_MAX = 99;

static LRESULT BrowseOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT BrowseOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT BrowseOnNotify(HWND hDlg, UINT, WPARAM, LPARAM lParam);
static LRESULT BrowseOnButton(HWND hDlg, WORD wId, WORD, LPARAM);
static LRESULT BrowseOnNameEdit(HWND hDlg, WORD, WORD wNotify, LPARAM);
static LRESULT BrowseOnDriveSelect(HWND hDlg, WORD, WORD wNotify, LPARAM);

static constexpr MessageMapEntry aBrowseMessages[] = {
    {WM_INITDIALOG, BrowseOnInitDialog},
    {WM_COMMAND, BrowseOnCommand},
    {WM_NOTIFY, BrowseOnNotify},
};
static constexpr MessageMap BrowseMessageMap = MakeMessageMap(aBrowseMessages, DEFAULT_NONE);

static constexpr CommandMapEntry aBrowseCommands[] = {
    {IDOK, BrowseOnButton},
    {IDCANCEL, BrowseOnButton},
    {IDC_FOLDER_NAME, BrowseOnNameEdit},
    {IDC_DRIVE_COMBO, BrowseOnDriveSelect},
};
static constexpr CommandMap BrowseCommandMap = MakeCommandMap(aBrowseCommands, DEFAULT_NONE);

INT_PTR CALLBACK BrowseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&BrowseMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT BrowseOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&BrowseCommandMap, hDlg, wParam, lParam);
}

// The Browse button of the install-directory page.
LRESULT DirOnBrowse(HWND hDlg, WORD, WORD, LPARAM)
{
    LoadCommonControls();  // its folder list; without them the browser does not open
    DialogBoxParamA(hAppInstance, "IDD_BROWSE", hDlg, BrowseDlgProc, 0);
    ComposeInstallDir(szInstallDir, sizeof(szInstallDir), szInstallParent, szProductFolder);
    SetDlgItemTextA(hDlg, IDC_TARGET_EDIT, szInstallDir);
    return 0;
}

static void ShowFreeSpaceLine(HWND hDlg)
{
    StrFormat(szMessageText, sizeof(szMessageText), " Available: %lu KB, Required: %lu KB",
              static_cast<unsigned long>(dwFreeKB), static_cast<unsigned long>(dwRequiredKB));
    SetDlgItemTextA(hDlg, IDC_FREE_SPACE, szMessageText);
}

static LRESULT BrowseOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    hNameEdit = GetDlgItem(hDlg, IDC_FOLDER_NAME);
    hFolderList = GetDlgItem(hDlg, IDC_FOLDER_LIST);
    hDriveCombo = GetDlgItem(hDlg, IDC_DRIVE_COMBO);

    for (int n = 0; n < driveTable.nCount; ++n) {
        if (driveTable.szRoots[n][0] == '\0')
            continue;
        LRESULT nItem = SendMessageA(hDriveCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(driveTable.szRoots[n]));
        SendMessageA(hDriveCombo, CB_SETITEMDATA, static_cast<WPARAM>(nItem), n);
    }
    SendMessageA(hDriveCombo, CB_SETCURSEL, static_cast<WPARAM>(nSelectedDrive), 0);
    ShowFreeSpaceLine(hDlg);

    AttachFolderImages(hFolderList);
    FillFolderList(hDlg, hFolderList, szInstallParent, LIST_INSTALL);
    SetDlgItemTextA(hDlg, IDC_FOLDER_NAME, pszProductName);
    return 1;
}

static LRESULT BrowseOnNameEdit(HWND hDlg, WORD, WORD wNotify, LPARAM)
{
    if (wNotify != EN_UPDATE || bNameEditBusy)
        return 1;
    char szName[WIZARD_TEXT_SIZE];
    GetDlgItemTextA(hDlg, IDC_FOLDER_NAME, szName, sizeof(szName));
    if (strlen(szName) <= PRODUCT_FOLDER_MAX) {
        StrCopy(szProductFolder, szName);
    } else {
        bNameEditBusy = TRUE;
        SetWindowTextA(hNameEdit, szProductFolder);
        MessageBeep(MB_BEEP);
        bNameEditBusy = FALSE;
    }
    return 1;
}

static LRESULT BrowseOnDriveSelect(HWND hDlg, WORD, WORD wNotify, LPARAM)
{
    if (wNotify != CBN_SELENDOK)
        return 0;
    LRESULT nSel = SendMessageA(hDriveCombo, CB_GETCURSEL, 0, 0);
    if (nSel < 0 || nSel >= driveTable.nCount)
        return 0;
    nSelectedDrive = static_cast<int>(nSel);
    StrCopy(szInstallParent, driveTable.szRoots[nSelectedDrive]);
    CharUpperA(szInstallParent);
    FillFolderList(hDlg, hFolderList, szInstallParent, LIST_INSTALL);
    UpdateFreeSpace(nSelectedDrive);
    ShowFreeSpaceLine(hDlg);
    return 0;
}

static LRESULT BrowseOnNotify(HWND hDlg, UINT, WPARAM, LPARAM lParam)
{
    const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
    if (pHeader->hwndFrom != hFolderList || pHeader->code != static_cast<UINT>(NM_DBLCLK))
        return 0;
    int nItem = static_cast<int>(SendMessageA(hFolderList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (nItem >= 0) {
        if (IsUpItem(hFolderList, nItem)) {
            NavigateUp(szInstallParent);
        } else {
            char szName[256] = {};
            if (GetFolderItemText(hFolderList, nItem, szName, sizeof(szName)) &&
                !NavigateInto(szInstallParent, sizeof(szInstallParent), szName, szProductFolder))
                MessageBeep(MB_BEEP);
        }
    }
    FillFolderList(hDlg, hFolderList, szInstallParent, LIST_INSTALL);
    return 0;
}

static LRESULT BrowseOnButton(HWND hDlg, WORD wId, WORD, LPARAM)
{
    if (wId == IDCANCEL) {
        EndDialog(hDlg, 0);
        return 0;
    }
    SendMessageA(hNameEdit, WM_GETTEXT, PRODUCT_FOLDER_MAX + 1, reinterpret_cast<LPARAM>(szProductFolder));
    if (szProductFolder[0] == '\0') {
        ShowMessage(hDlg, "You forget to select a directory", "Warning", MB_ICONWARNING);
        SetFocus(hNameEdit);
    } else if (dwFreeKB < dwRequiredKB) {
        ShowMessage(hDlg, szNoSpaceText, nullptr, MB_ICONERROR | MB_YESNO);
    } else {
        EndDialog(hDlg, 0);
    }
    return 0;
}
