#include "payload/copy_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int STEP_TOTAL = 79;  // one step per record
constexpr int RUN_STEPS = STEP_TOTAL + 1;  // and one before the first record

struct Trace { std::vector<int> widths, percents; };

// The filled width and the percent in the text after each step, and whether
// each step asked for a redraw of the text exactly when the percent changed.
Trace RunBar(int nWidth, int nSteps)
{
    ProgressSteps steps;
    InitProgressSteps(&steps, nWidth, STEP_TOTAL);
    Trace trace;
    int nShown = 0;
    for (int i = 0; i < nSteps; ++i) {
        bool bRedraw = AdvanceProgressSteps(&steps);
        EXPECT_EQ(bRedraw, steps.nLastPercent != nShown) << "step " << i + 1;
        nShown = steps.nLastPercent;
        trace.widths.push_back(steps.nFilled);
        trace.percents.push_back(nShown);
    }
    return trace;
}

TEST(ProgressSteps, BarOf438Pixels)
{
    ProgressSteps steps;
    InitProgressSteps(&steps, 438, STEP_TOTAL);
    EXPECT_EQ(std::vector<int>(steps.inc, steps.inc + PROGRESS_DIGITS), (std::vector<int>{5, 5, 4, 4, 3}));
    Trace trace = RunBar(438, RUN_STEPS);
    EXPECT_EQ(std::vector<int>(trace.widths.begin(), trace.widths.begin() + 4), (std::vector<int>{0, 6, 11, 17}));
    EXPECT_EQ(std::vector<int>(trace.percents.begin(), trace.percents.begin() + 4), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(trace.widths.back(), 438);
    // 100 from the 79th step, kept by the 80th.
    EXPECT_EQ(trace.percents[77], 98);
    EXPECT_EQ(trace.percents[78], 100);
    EXPECT_EQ(trace.percents[79], 100);
}

TEST(ProgressSteps, NarrowBarGrowsAPixelAtATime)
{
    Trace trace = RunBar(60, RUN_STEPS);
    for (size_t i = 1; i < trace.widths.size(); ++i)
        ASSERT_LE(trace.widths[i] - trace.widths[i - 1], 1) << "step " << i + 1;
    EXPECT_EQ(trace.widths.back(), 60);
}

// Whatever the width, the run's steps end exactly at it, never beyond, and
// the bar never shrinks; further steps keep it full.
TEST(ProgressSteps, EveryWidthEndsFull)
{
    for (int nWidth = 1; nWidth <= 2000; ++nWidth) {
        Trace trace = RunBar(nWidth, RUN_STEPS + 5);
        for (int i = 0; i < RUN_STEPS + 5; ++i) {
            ASSERT_LE(trace.widths[static_cast<size_t>(i)], nWidth) << "width " << nWidth << " step " << i + 1;
            if (i > 0)
                ASSERT_GE(trace.widths[static_cast<size_t>(i)], trace.widths[static_cast<size_t>(i - 1)]);
        }
        ASSERT_EQ(trace.widths[RUN_STEPS - 1], nWidth) << "width " << nWidth;
        ASSERT_EQ(trace.percents[RUN_STEPS - 1], 100);
    }
}

TEST(ProgressSteps, EmptyBarAndNoSteps)
{
    Trace trace = RunBar(0, RUN_STEPS);
    EXPECT_EQ(trace.widths.back(), 0);
    ProgressSteps steps;
    InitProgressSteps(&steps, 100, 0);
    EXPECT_FALSE(AdvanceProgressSteps(&steps));
    EXPECT_EQ(steps.nFilled, 0);
}

TEST(ChooseTempDir, ReportedSetupDirAndLimits)
{
    struct Case { const char *pszReported; DWORD dwReported; const char *pszSetupDir, *pszExpected; bool bOk; };
    const std::string long260(259, 'a');
    const Case cases[] = {
        {"C:\\TEMP\\", 8, "D:\\setup", "C:\\TEMP", true},
        {"C:\\TEMP", 7, "D:\\setup", "C:\\TEMP", true},  // only a trailing backslash goes
        {"C:\\", 3, "D:\\setup", "C:", true},
        {"", 0, "D:\\setup", "D:\\setup", true},  // no temporary directory
        {"C:\\TEMP\\", 300, "D:", "D:", true},     // too long for the buffer: reported size
        {"", 0, long260.c_str(), long260.c_str(), true},
    };
    for (const Case& c : cases) {
        char szTempDir[260] = "junk";
        EXPECT_EQ(ChooseTempDir(szTempDir, sizeof(szTempDir), c.pszReported, c.dwReported, c.pszSetupDir), c.bOk);
        EXPECT_STREQ(szTempDir, c.pszExpected) << c.pszReported << " / " << c.pszSetupDir;
    }
    // A setup directory that cannot be held names no directory at all.
    std::string tooLong(260, 'b');
    char szTempDir[260] = "junk";
    EXPECT_FALSE(ChooseTempDir(szTempDir, sizeof(szTempDir), "", 0, tooLong.c_str()));
    EXPECT_STREQ(szTempDir, "");
}

}  // namespace
