// The common controls (the browsers' list views and their images, the copy
// page's progress bar). comctl32 is no KnownDLL: imported, it would load from
// the program's own folder before WinMain restricts the search, so setup.exe
// loads it by its System32 path when a dialog first needs it.
#pragma once

#include <windows.h>

#include <commctrl.h>

struct CommonControls {
    HIMAGELIST(WINAPI* pfnImageListCreate)(int cx, int cy, UINT flags, int cInitial, int cGrow);
    int(WINAPI* pfnImageListReplaceIcon)(HIMAGELIST hImages, int i, HICON hIcon);
};

// Loads comctl32 once, kept for the process's life, and registers the
// list-view and progress classes. Null when it cannot be loaded: a dialog
// that uses those classes then fails to open.
const CommonControls* LoadCommonControls();
