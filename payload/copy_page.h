// Inside the copy page: its progress bar and temporary directory, for the
// page itself, its tests and the benchmark. The wizard needs only
// ShowCopyPage from payload/payload.h.
#pragma once

#include "payload/copy_rules.h"
#include "payload/payload.h"

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

INT_PTR CALLBACK CopyDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

void InitProgressBar(HWND hBar, int nStepTotal);
void StepProgressBar();
void ReleaseProgressBar();
