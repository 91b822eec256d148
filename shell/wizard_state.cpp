#include "shell/wizard_state.h"

HINSTANCE hAppInstance;
char szClassName[20];
HWND hMainWnd;
int nScreenWidth;
int nScreenHeight;
int nScreenBits;
HFONT hTitleFont;
HBITMAP hBackdrop;
HPALETTE hBackdropPalette;
HGLOBAL hBackdropInfo;
BYTE* pBackdropBits;
char szSetupDir[WIZARD_TEXT_SIZE];
char szMessageText[WIZARD_TEXT_SIZE];
char szInstallParent[WIZARD_TEXT_SIZE];
char szProductFolder[WIZARD_TEXT_SIZE];
char szInstallDir[WIZARD_TEXT_SIZE];
char szGroupParent[WIZARD_TEXT_SIZE];
char szProgramGroup[WIZARD_TEXT_SIZE];
char szOpenFolder[WIZARD_TEXT_SIZE];
HBITMAP hPageBitmap;
BITMAP bmPageBitmap;

const char* const pszProductName = "Quarnel";
const char* const pszSetupCaption = "Quarnel - Setup";
