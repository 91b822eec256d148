// The copy page: stages the payload to a temporary file, decompresses it and
// extracts the game's files under the install directory, with a status line,
// a progress bar and Cancel between files.
#pragma once

#include "payload/copy_rules.h"

#include <windows.h>

// The single progress bar, painted straight onto its control at every step.
struct PROGRESSBAR {
    HBRUSH hDoneBrush;  // blue
    HBRUSH hRestBrush;  // black
    HWND hBar;
    HDC hBarDC;  // held from set-up to release
    RECT rcDone;
    RECT rcRest;
    SIZE sizeText;  // of szPercent, as last measured
    ProgressSteps steps;
    char szPercent[16];  // empty until the first step
};

extern PROGRESSBAR ProgressBar;
extern char szTempDir[MAX_PATH];

// Runs the page; 0 when all the game's files were written, 1 when the run
// failed or was cancelled (DialogBoxParamA's -1 when the page cannot open).
INT_PTR ShowCopyPage(HWND hOwner);
INT_PTR CALLBACK CopyDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

void InitProgressBar(HWND hBar, int nStepTotal);
void StepProgressBar();
void ReleaseProgressBar();
