// The shortcut-folder browser: walks the folders below the group parent and
// changes szGroupParent in place with every double-click, so Cancel keeps
// the folder reached, exactly as OK does.
#include "resources/resource.h"
#include "shell/folder_list.h"
#include "shell/msgmap.h"
#include "shell/shell.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"

#include <commctrl.h>

HWND hGroupList;

static LRESULT GroupBrowseOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT GroupBrowseOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT GroupBrowseOnNotify(HWND hDlg, UINT, WPARAM, LPARAM lParam);
static LRESULT GroupBrowseOnButton(HWND hDlg, WORD, WORD, LPARAM);

static constexpr MessageMapEntry aGroupBrowseMessages[] = {
    {WM_COMMAND, GroupBrowseOnCommand},
    {WM_INITDIALOG, GroupBrowseOnInitDialog},
    {WM_NOTIFY, GroupBrowseOnNotify},
};
static constexpr MessageMap GroupBrowseMessageMap = MakeMessageMap(aGroupBrowseMessages, DEFAULT_NONE);

// Enter, Escape and the close box arrive as these two.
static constexpr CommandMapEntry aGroupBrowseCommands[] = {
    {IDOK, GroupBrowseOnButton},
    {IDCANCEL, GroupBrowseOnButton},
};
static constexpr CommandMap GroupBrowseCommandMap = MakeCommandMap(aGroupBrowseCommands, DEFAULT_NONE);

INT_PTR CALLBACK GroupBrowseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&GroupBrowseMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT GroupBrowseOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&GroupBrowseCommandMap, hDlg, wParam, lParam);
}

static LRESULT GroupBrowseOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    hGroupList = GetDlgItem(hDlg, IDC_GROUP_LIST);
    AttachFolderImages(hGroupList);
    FillFolderList(hDlg, hGroupList, szGroupParent, LIST_GROUP);
    return 1;
}

static LRESULT GroupBrowseOnNotify(HWND hDlg, UINT, WPARAM, LPARAM lParam)
{
    const NMHDR* pHeader = reinterpret_cast<const NMHDR*>(lParam);
    if (pHeader->hwndFrom != hGroupList || pHeader->code != static_cast<UINT>(NM_DBLCLK))
        return 0;
    int nItem = static_cast<int>(SendMessageA(hGroupList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    if (nItem >= 0) {
        // The up item by what it is: a folder sorting ahead of it is entered.
        if (IsUpItem(hGroupList, nItem)) {
            GroupNavigateUp(szGroupParent);
        } else {
            // Every other item is entered, the product folder's too, whether
            // it exists or not; a path too long for the group's shortcuts is
            // refused.
            char szName[256] = {};
            if (GetFolderItemText(hGroupList, nItem, szName, sizeof(szName)) &&
                !GroupNavigateInto(szGroupParent, sizeof(szGroupParent), szName))
                MessageBeep(MB_BEEP);
        }
    }
    FillFolderList(hDlg, hGroupList, szGroupParent, LIST_GROUP);
    return 0;
}

static LRESULT GroupBrowseOnButton(HWND hDlg, WORD, WORD, LPARAM)
{
    EndDialog(hDlg, 0);
    return 1;
}
