// The rules of unpacking that need no window: record names and path bounds
// with the bounded text helpers they rely on, the temporary directory, and
// the progress bar's arithmetic.
#include "payload/copy_rules.h"
#include "payload/record_name.h"
#include "shell/strutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(RecordName, AcceptsRelativeNamesAndRefusesEscapes)
{
    using E = RecordNameError;
    struct Case { std::string name; RecordNameError expected; } cases[] = {
        {"quarnel.exe", E::None}, {"GAMEBIN\\sound\\gun.wav", E::None}, {".hidden", E::None},
        {"a..b\\..c\\d..", E::None},  // dots inside names are fine
        {std::string(255, 'n'), E::None}, {std::string(256, 'n'), E::TooLong}, {"", E::Empty},
        {std::string("ok.txt\0..\\x", 11), E::None},  // only the part before a NUL counts
        {"\\root.txt", E::Absolute}, {"/root.txt", E::Absolute},
        {"C:\\x", E::Drive}, {"C:x", E::Drive}, {"file.txt:stream", E::Drive},
        {"..", E::ParentComponent}, {"..\\x", E::ParentComponent}, {".\\x", E::ParentComponent},
        {"GAMEBIN\\..\\..\\x", E::ParentComponent}, {"GAMEBIN/../x", E::ParentComponent},
        {"GAMEBIN\\..", E::ParentComponent}, {"GAMEBIN\\. .\\x", E::ParentComponent},
        {"GAMEBIN\\...\\x", E::ParentComponent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckRecordName(c.name.c_str(), c.name.size() + 1), c.expected) << c.name;
}

TEST(RecordName, PathBoundsFollowTheBuffers)
{
    // Output path: dir + '\' + name must leave room for the terminator in 512.
    EXPECT_TRUE(RecordPathsFit(511 - 1 - 5, "a.txt"));
    EXPECT_FALSE(RecordPathsFit(511 - 5, "a.txt"));
    // Deepest subdirectory: dir + '\' + "GAMEBIN\sound" within 259 characters.
    size_t cchSubdir = std::strlen("GAMEBIN\\sound");
    EXPECT_TRUE(RecordPathsFit(259 - 1 - cchSubdir, "GAMEBIN\\sound\\gun.wav"));
    EXPECT_FALSE(RecordPathsFit(260 - 1 - cchSubdir, "GAMEBIN\\sound\\gun.wav"));
    // A name in the install directory itself makes no subdirectory.
    EXPECT_TRUE(RecordPathsFit(300, "quarnel.exe"));
}

TEST(BoundedText, ReportsEveryTruncationAndStaysTerminated)
{
    char sz[8];
    EXPECT_TRUE(StrCopy(sz, "1234567"));
    EXPECT_FALSE(StrCopy(sz, "12345678"));
    EXPECT_STREQ(sz, "1234567");
    EXPECT_TRUE(StrCopy(sz, "abc"));
    EXPECT_TRUE(StrAppend(sz, "defg"));
    EXPECT_FALSE(StrAppend(sz, "h"));
    EXPECT_STREQ(sz, "abcdefg");
    EXPECT_TRUE(PathJoin(sz, "C:", "Ab"));
    EXPECT_STREQ(sz, "C:\\Ab");
    EXPECT_FALSE(PathJoin(sz, "C:", "Abcde"));
    EXPECT_EQ(std::strlen(sz), 7u);
    EXPECT_FALSE(StrFormat(sz, sizeof(sz), "%d", 123456789));
    EXPECT_STREQ(sz, "1234567");
}

constexpr int STEP_TOTAL = 79;  // one step per record
constexpr int RUN_STEPS = STEP_TOTAL + 1;  // and one before the first record

struct Trace { std::vector<int> widths, percents; };

// The filled width and the percent in the text after each step; each step
// must ask for a redraw of the text exactly when the percent changed.
Trace RunBar(int nWidth, int nSteps)
{
    ProgressSteps steps;
    InitProgressSteps(&steps, nWidth, STEP_TOTAL);
    Trace trace;
    for (int i = 0; i < nSteps; ++i) {
        int nShown = steps.nLastPercent;
        bool bRedraw = AdvanceProgressSteps(&steps);
        EXPECT_EQ(bRedraw, steps.nLastPercent != nShown) << "step " << i + 1;
        trace.widths.push_back(steps.nFilled);
        trace.percents.push_back(steps.nLastPercent);
    }
    return trace;
}

// Whatever the width, the run's steps end exactly at it, never beyond, and
// neither the bar nor its percent ever shrinks; further steps keep it full.
// Narrower than the step total (60 pixels, say), it grows a pixel at a time.
TEST(ProgressSteps, EveryWidthEndsFull)
{
    for (int nWidth = 0; nWidth <= 2000; ++nWidth) {
        Trace trace = RunBar(nWidth, RUN_STEPS + 5);
        for (size_t i = 0; i < trace.widths.size(); ++i) {
            int nGrowth = trace.widths[i] - (i ? trace.widths[i - 1] : 0);
            ASSERT_TRUE(nGrowth >= 0 && (nGrowth <= 1 || nWidth >= STEP_TOTAL) && trace.widths[i] <= nWidth &&
                        trace.percents[i] >= (i ? trace.percents[i - 1] : 0) && trace.percents[i] <= 100)
                << "width " << nWidth << " step " << i + 1 << " grows by " << nGrowth;
        }
        ASSERT_EQ(trace.widths[RUN_STEPS - 1], nWidth) << "width " << nWidth;
        ASSERT_EQ(trace.percents[RUN_STEPS - 2], 100) << "100 from the last record";
    }
    // No steps at all: nothing to advance.
    ProgressSteps steps;
    InitProgressSteps(&steps, 100, 0);
    EXPECT_FALSE(AdvanceProgressSteps(&steps));
    EXPECT_EQ(steps.nFilled, 0);
}

TEST(ChooseTempDir, ReportedSetupDirAndLimits)
{
    struct Case { const char *pszReported; DWORD dwReported; const char *pszSetupDir, *pszExpected; bool bOk; };
    const std::string fits(259, 'a'), tooLong(260, 'b');
    const Case cases[] = {
        {"C:\\TEMP\\", 8, "D:\\setup", "C:\\TEMP", true},
        {"C:\\TEMP", 7, "D:\\setup", "C:\\TEMP", true},  // only a trailing backslash goes
        {"C:\\", 3, "D:\\setup", "C:", true},
        {"", 0, "D:\\setup", "D:\\setup", true},  // no temporary directory
        {"C:\\TEMP\\", 300, "D:", "D:", true},     // too long for the buffer: reported size
        {"", 0, fits.c_str(), fits.c_str(), true},
        {"", 0, tooLong.c_str(), "", false},  // a setup directory that cannot be held names none at all
    };
    for (const Case& c : cases) {
        char szTempDir[260] = "junk";
        EXPECT_EQ(ChooseTempDir(szTempDir, sizeof(szTempDir), c.pszReported, c.dwReported, c.pszSetupDir), c.bOk);
        EXPECT_STREQ(szTempDir, c.pszExpected) << c.pszReported << " / " << c.pszSetupDir;
    }
}

}  // namespace
