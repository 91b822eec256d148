// What every page of the setup shares: the page painter and the cancel
// question. Pages of every subsystem include this; it includes no subsystem.
#pragma once

#include <windows.h>

// MessageBeep's simple beep: refused input on a page or browser.
constexpr UINT MB_BEEP = 0xFFFFFFFF;

// Every page paints the page artwork as its background.
LRESULT PaintPageBitmap(HWND hPage, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The cancel question of the pages; true when the user answered Yes.
bool ConfirmCancelSetup(HWND hPage);
