// Rules of the copy page that need no window: where the temporary files go,
// and the progress bar's fixed-point arithmetic.
#pragma once

#include "shell/platform.h"
#include "shell/temp_dir.h"

#include <cstddef>

constexpr int PROGRESS_DIGITS = 5;

// The arithmetic part of the progress bar. The increment per step is the
// bar's width divided by the step total, cut off after four decimal places
// and kept one decimal digit per field; whole pixels reach the bar one step
// late, so that step total + 1 steps fill it exactly.
struct ProgressSteps {
    int nWidth;       // the bar's client width
    int nFilled;      // the filled width, 0 to nWidth
    int nStepTotal;   // steps that make 100 percent
    int nStepNumber;  // the next step that counts towards the percent
    int nPercent;
    int acc[PROGRESS_DIGITS];
    int inc[PROGRESS_DIGITS];
    int nLastPercent;  // the percent now in the text
};

// Clears steps for a bar of nWidth pixels and nStepTotal steps.
void InitProgressSteps(ProgressSteps* pSteps, int nWidth, int nStepTotal);
// Advances one step; returns true when the percent text must be redrawn with
// nLastPercent.
bool AdvanceProgressSteps(ProgressSteps* pSteps);

