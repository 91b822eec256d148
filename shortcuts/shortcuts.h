// Shortcuts and system entries: the wizard's last page, which writes the
// product's registry entries and makes the program group with its shortcuts
// (and one on the desktop), and its shortcut-folder browser. The wizard runs
// the page through ShowShortcutPage; the rest is for the page, its browser
// and their tests.
#pragma once

#include "shortcuts/shortcut_rules.h"

#include <windows.h>

// Scratch of the page: the shortcut being made (also the text shown after
// browsing) and its target.
extern char szLinkFile[SHORTCUT_TEXT_SIZE];
extern char szLinkTarget[SHORTCUT_TEXT_SIZE];
// The shortcut-folder browser's list view while it is open.
extern HWND hGroupList;

// The shortcut page: 0 after Finish, 1 after a confirmed Cancel
// (DialogBoxParamA's -1 when it cannot open).
INT_PTR ShowShortcutPage(HWND hOwner);
INT_PTR CALLBACK ShortcutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The page's Browse button: runs the shortcut-folder browser, which changes
// szGroupParent in place, and shows the resulting program group.
LRESULT ShortcutOnBrowse(HWND hDlg, WORD wId, WORD wNotify, LPARAM lParam);
INT_PTR CALLBACK GroupBrowseDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Saves a shortcut to pszTarget as the file pszLinkFile with the description
// through the shell-link object, COM initialised around this one call.
// Returns Save's status, or the first failure's (negative); a link file path
// that does not fit LINK_PATH_WIDE_CHARS fails before Save.
HRESULT CreateShellLink(const char* pszTarget, const char* pszLinkFile, const char* pszDescription);

// Reads a folder of the machine's Shell Folders key ("Common Programs",
// "Common Desktop") into szFolder, without a trailing backslash: 1 when a
// non-empty path was read and fitted, else 0 with szFolder unchanged.
int ReadShellFolder(char* szFolder, size_t cchFolder, const char* pszValueName);
template <size_t N> int ReadShellFolder(char (&szFolder)[N], const char* pszValueName)
{
    return ReadShellFolder(szFolder, N, pszValueName);
}

// The App Paths and Uninstall entries of the product under
// HKEY_LOCAL_MACHINE, from szInstallDir (and the program group as "Scdir").
// A key that cannot be opened or made skips its entry; a refused value
// skips only itself. Nothing is reported.
void WriteAppPathEntry();
void WriteUninstallEntry(const char* pszProgramGroup);
