// The folder listing that both browsers share: the up item, the subfolders of
// a path and the product-folder item, in a sorted list view with three small
// images.
#pragma once

#include <windows.h>

#include <cstddef>

enum FolderListKind { LIST_INSTALL = 0, LIST_GROUP = 1 };

// A path longer than its kind's root length gets the up item: the install
// browser stops at a drive root ("C:\"), the shortcut-folder browser at a
// path of 21 characters (such as "C:\WINDOWS\Start Menu").
constexpr size_t INSTALL_LIST_ROOT_LENGTH = 3;
constexpr size_t GROUP_LIST_ROOT_LENGTH = 21;

// The up item's text. No folder can have this name (Windows drops trailing
// dots), so the text and image together tell the item apart.
extern const char szUpItem[];

extern int iImageFolder;
extern int iImageUp;
extern int iImageNewFolder;

// Lists the up item (below the kind's root), the subdirectories of szPath and
// the product folder, and shows the resulting folder in control 102 or 211.
// szPath is a 512-byte buffer; it is extended during the call and restored.
void FillFolderList(HWND hDlg, HWND hList, char* szPath, int nKind);
void AddFolderListItem(HWND hList, const char* pszText, int nPosition, int iImage);
// Loads the three folder images into a new image list for hList.
void AttachFolderImages(HWND hList);
// Whether the item at nItem is the up item (by its text and image, not its
// position: a folder whose name sorts ahead of the dots can stand first).
bool IsUpItem(HWND hList, int nItem);
// The text of the item at nItem, at most cchText - 1 characters; false when
// there is no such item.
bool GetFolderItemText(HWND hList, int nItem, char* pszText, int cchText);
