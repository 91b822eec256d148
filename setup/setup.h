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

// Agreement page: 0 when agreed, 1 when cancelled.
INT_PTR ShowAgreementPage(HWND hOwner);
INT_PTR CALLBACK AgreementDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
