// The setup shell's entry points for the rest of the installer: the main
// window's handlers, the wizard, the shared page painter and the agreement
// page.
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

// Every page paints the page artwork as its background.
LRESULT PaintPageBitmap(HWND hPage, UINT uMsg, WPARAM wParam, LPARAM lParam);

// Agreement page: 0 when agreed, 1 when cancelled.
INT_PTR ShowAgreementPage(HWND hOwner);
INT_PTR CALLBACK AgreementDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

// The cancel question of the pages; true when the user answered Yes.
bool ConfirmCancelSetup(HWND hPage);
