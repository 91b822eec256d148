// The folder listing of both browsers.
#include "shell/folder_list.h"

#include "resources/resource.h"
#include "shell/common_controls.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"

#include <cstring>

const char szUpItem[] = "........";

int iImageFolder;
int iImageUp;
int iImageNewFolder;

void AddFolderListItem(HWND hList, const char* pszText, int nPosition, int iImage)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nPosition;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(pszText);
    item.cchTextMax = 255;
    item.iImage = iImage;
    SendMessageA(hList, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
}

bool IsUpItem(HWND hList, int nItem)
{
    char szText[16] = {};
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = szText;
    item.cchTextMax = sizeof(szText);
    return SendMessageA(hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) && item.iImage == iImageUp &&
           lstrcmpA(szText, szUpItem) == 0;
}

bool GetFolderItemText(HWND hList, int nItem, char* pszText, int cchText)
{
    LVITEMA item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = pszText;
    item.cchTextMax = cchText;
    return SendMessageA(hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)) != 0;
}

void AttachFolderImages(HWND hList)
{
    // Loaded already: the list view itself is one of its classes.
    const CommonControls* pControls = LoadCommonControls();
    if (!pControls)
        return;
    HIMAGELIST hImages = pControls->pfnImageListCreate(16, 16, ILC_MASK, 3, 0);
    auto add = [&](int idIcon) {
        return pControls->pfnImageListReplaceIcon(hImages, -1, LoadIconA(hAppInstance, MAKEINTRESOURCEA(idIcon)));
    };
    iImageFolder = add(IDI_FOLDER);
    iImageUp = add(IDI_FOLDER_UP);
    iImageNewFolder = add(IDI_FOLDER_PRODUCT);
    SendMessageA(hList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(hImages));
}

void FillFolderList(HWND hDlg, HWND hList, char* szPath, int nKind)
{
    SendMessageA(hList, LVM_DELETEALLITEMS, 0, 0);

    size_t cchRoot = nKind == LIST_INSTALL ? INSTALL_LIST_ROOT_LENGTH : GROUP_LIST_ROOT_LENGTH;
    size_t cchPath = strnlen(szPath, WIZARD_TEXT_SIZE);
    int nPosition = 0;
    const char* pszPattern;
    if (cchPath > cchRoot) {
        AddFolderListItem(hList, szUpItem, 0, iImageUp);
        pszPattern = "\\*.*";
        nPosition = 1;
    } else {
        pszPattern = nKind == LIST_INSTALL ? "*.*" : "\\*.*";
    }
    size_t cchPattern = strlen(pszPattern);

    // The path buffer holds 512 bytes and navigation keeps paths far shorter,
    // so the pattern always fits; a path that would not take it lists nothing.
    if (StrAppend(szPath, WIZARD_TEXT_SIZE, pszPattern)) {
        WIN32_FIND_DATAA fd;
        HANDLE hFind = FindFirstFileA(szPath, &fd);
        if (hFind != INVALID_HANDLE_VALUE) {
            do {
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != '.')
                    AddFolderListItem(hList, fd.cFileName, nPosition++, iImageFolder);
            } while (FindNextFileA(hFind, &fd));
            FindClose(hFind);
        }
    }
    AddFolderListItem(hList, szProductFolder, nPosition, iImageNewFolder);
    szPath[cchPath] = '\0';

    StrFormat(szMessageText, sizeof(szMessageText), "%s%s%s", szPath, cchPattern == 4 ? "\\" : "", szProductFolder);
    SetDlgItemTextA(hDlg, nKind == LIST_INSTALL ? IDC_RESULT_PATH : IDC_GROUP_PATH, szMessageText);
}
