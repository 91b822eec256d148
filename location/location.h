// Install location: the install-directory page, the drive table and its free
// space, and the directory browser. The wizard runs the page through
// DirDlgProc; the rest is for the page, its browser and their tests.
#pragma once

#include "location/location_rules.h"

#include <windows.h>

extern DriveTable driveTable;   // the drives the system lists, in its order
extern int nSelectedDrive;      // index into driveTable: the drive of dwFreeKB
extern DWORD dwFreeKB;          // free space of that drive, in units of 1000 bytes
extern DWORD dwRequiredKB;      // what the installation needs there, in the same units

// Shown by the page and the browser when the selected drive is too full.
extern const char szNoSpaceText[];

void InitInstallLocation();
// Reads the drive's free space and what the installation needs on it.
void UpdateFreeSpace(int nDrive);

// The install-directory page; the wizard runs it with DialogBoxParamA.
INT_PTR CALLBACK DirDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The page's Browse button: runs the directory browser and shows the
// resulting install directory.
LRESULT DirOnBrowse(HWND hDlg, WORD wId, WORD wNotify, LPARAM lParam);
INT_PTR CALLBACK BrowseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
