// Every message box of the installer is shown through ShowMessage, so that a
// test can put a recorder in place of the real box and read the texts.
#pragma once

#include "shell/platform.h"

typedef int(WINAPI* MESSAGEBOXPROC)(HWND hOwner, LPCSTR pszText, LPCSTR pszCaption, UINT uStyle);

// MessageBoxA on Windows; on the build host the text goes to stderr.
extern MESSAGEBOXPROC pfnMessageBox;

int ShowMessage(HWND hOwner, LPCSTR pszText, LPCSTR pszCaption, UINT uStyle);
