// State shared by the pages of the setup wizard: process-wide, zero at start,
// alive for the whole run.
#pragma once

#include <windows.h>

constexpr int WIZARD_TEXT_SIZE = 512;
// szSetupDir is filled with at most this many characters, leaving the rest
// of its buffer zero.
constexpr DWORD SETUP_DIR_LIMIT = 500;

extern HINSTANCE hAppInstance;
extern char szClassName[20];
extern HWND hMainWnd;
extern int nScreenWidth;
extern int nScreenHeight;
extern int nScreenBits;
extern HFONT hTitleFont;
extern HBITMAP hBackdrop;
// What the backdrop is made from, kept for the whole run: its palette (only
// at 8 bits per pixel or less), its device-independent description (header
// and 256-entry colour table, a movable global block) and its pixels.
extern HPALETTE hBackdropPalette;
extern HGLOBAL hBackdropInfo;
extern BYTE* pBackdropBits;
extern char szSetupDir[WIZARD_TEXT_SIZE];
extern char szMessageText[WIZARD_TEXT_SIZE];
extern char szInstallParent[WIZARD_TEXT_SIZE];
extern char szProductFolder[WIZARD_TEXT_SIZE];
extern char szInstallDir[WIZARD_TEXT_SIZE];
extern char szGroupParent[WIZARD_TEXT_SIZE];
extern char szProgramGroup[WIZARD_TEXT_SIZE];
extern char szOpenFolder[WIZARD_TEXT_SIZE];
extern HBITMAP hPageBitmap;
extern BITMAP bmPageBitmap;

// Texts of the setup's own message boxes.
extern const char* const pszProductName;   // "Quarnel"
extern const char* const pszSetupCaption;  // "Quarnel - Setup"
