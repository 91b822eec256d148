// The installer itself: the main window's handlers, the wizard that runs
// every page, and the installer's own first page, the licence agreement.
#pragma once

#include <windows.h>

// Main window (class "SETUP")
LRESULT CALLBACK SetupWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT MainWndOnCreate(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT MainWndOnDestroy(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT MainWndOnPaint(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT RunSetupWizard(HWND hWnd, WORD wId, WORD wNotify, LPARAM lParam);
LRESULT CloseSetupWindow(HWND hWnd, WORD wId, WORD wNotify, LPARAM lParam);
HFONT CreateTitleFont(LONG lWeight, LONG lWidth, LONG lHeight, BYTE bCharSet, const char* pszFace);

// Backdrop: the screen captured at start (dimmed above 8 bits per pixel,
// with a palette at 8 or less) and titled. CreateBackdrop also sets
// hBackdropPalette, hBackdropInfo and pBackdropBits; it returns null, and
// leaves them null, when the picture cannot be made. DrawBackdrop copies
// hBackdrop to (0, 0) of hdc and returns 0.
HBITMAP CreateBackdrop(HWND hWnd);
int DrawBackdrop(HDC hdc);

// Agreement page: 0 when agreed, 1 when cancelled.
INT_PTR ShowAgreementPage(HWND hOwner);
INT_PTR CALLBACK AgreementDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
