// Install location: the install-directory page, the drive table and its free
// space, and the folder listing that both browsers share.
#pragma once

#include "location/location_rules.h"

#include <windows.h>

extern DriveTable driveTable;   // the drives the system lists, in its order
extern int nSelectedDrive;      // index into driveTable: the drive of dwFreeKB
extern DWORD dwFreeKB;          // free space of that drive, in units of 1000 bytes

// Shown by the page and the browser when the selected drive is too full.
extern const char szNoSpaceText[];

void InitInstallLocation();
void UpdateFreeSpace(int nDrive);

// The install-directory page; the wizard runs it with DialogBoxParamA.
INT_PTR CALLBACK DirDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Folder listing of the browsers.
enum FolderListKind { LIST_INSTALL = 0, LIST_GROUP = 1 };
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
// Whether the item at nItem is the up item (by its image, not its position).
bool IsUpItem(HWND hList, int nItem);
