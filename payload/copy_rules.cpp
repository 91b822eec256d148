#include "payload/copy_rules.h"

#include "shell/strutil.h"

#include <cstring>

void InitProgressSteps(ProgressSteps* pSteps, int nWidth, int nStepTotal)
{
    *pSteps = ProgressSteps{};
    pSteps->nWidth = nWidth > 0 ? nWidth : 0;
    pSteps->nStepTotal = nStepTotal;
    pSteps->nStepNumber = 1;
    if (nStepTotal <= 0)
        return;
    // W / N as an integer part and four decimals, one digit per field.
    pSteps->inc[0] = pSteps->nWidth / nStepTotal;
    int nRest = pSteps->nWidth % nStepTotal;
    for (int k = 1; k < PROGRESS_DIGITS; ++k) {
        pSteps->inc[k] = nRest * 10 / nStepTotal;
        nRest = nRest * 10 % nStepTotal;
    }
}

static void AddPixels(ProgressSteps* pSteps, int nPixels)
{
    pSteps->nFilled = pSteps->nWidth - pSteps->nFilled > nPixels ? pSteps->nFilled + nPixels : pSteps->nWidth;
}

bool AdvanceProgressSteps(ProgressSteps* pSteps)
{
    int* acc = pSteps->acc;
    const int* inc = pSteps->inc;
    for (int k = PROGRESS_DIGITS - 1; k >= 1; --k) {
        acc[k] += inc[k];
        if (acc[k] > 9) {
            acc[k] -= 10;
            ++acc[k - 1];
        }
    }
    if (inc[0] != 0) {
        // acc[0] holds the carries of this step and the previous step's
        // whole pixels.
        if (acc[0] != 0)
            AddPixels(pSteps, acc[0]);
        acc[0] = inc[0];
    } else if (acc[0] > 0) {
        // Narrower than the step total: at most one pixel per step.
        AddPixels(pSteps, 1);
        --acc[0];
    }

    bool bChanged = false;
    if (pSteps->nStepNumber <= pSteps->nStepTotal) {
        pSteps->nPercent = pSteps->nStepNumber * 100 / pSteps->nStepTotal;
        if (pSteps->nPercent != pSteps->nLastPercent) {
            pSteps->nLastPercent = pSteps->nPercent;
            bChanged = true;
        }
        ++pSteps->nStepNumber;
    }
    return bChanged;
}

