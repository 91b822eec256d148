// The copy page in this process, from the real setup.exe's template and
// payload: what the status line says and when, where the files and the
// temporary files go, Cancel between records, and the bar's painting.
#include "payload/copy_page.h"
#include "payload/payload.h"
#include "resources/resource.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"

#include <gtest/gtest.h>

using namespace qt;

namespace {

// Every text the page's status line is given; on cancelOn, a click of Cancel
// as the button reports it, taken from the queue in the run's pump. When the
// decompression starts, whether another program could write, replace or
// remove the staged file meanwhile.
std::vector<std::string> statusTexts;
std::string cancelOn, stagedFile;
bool bStagedOpenToOthers;

bool OpenToOthers(const std::string& path)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    return hFile != INVALID_HANDLE_VALUE || DeleteFileA(path.c_str()) ||
           MoveFileA(path.c_str(), (path + ".other").c_str());
}

LRESULT CALLBACK WatchStatus(int nCode, WPARAM wParam, LPARAM lParam)
{
    auto* pMsg = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (nCode == HC_ACTION && pMsg->message == WM_SETTEXT && GetDlgCtrlID(pMsg->hwnd) == IDC_COPY_STATUS) {
        statusTexts.emplace_back(reinterpret_cast<const char*>(pMsg->lParam));
        HWND hPage = GetParent(pMsg->hwnd);
        if (statusTexts.back() == "Decompressing setup files")
            bStagedOpenToOthers = OpenToOthers(stagedFile);
        if (statusTexts.back() == cancelOn)
            PostMessageA(hPage, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(hPage, IDCANCEL)));
    }
    return CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// What the status line said when each box showed.
std::string LastStatus() { return statusTexts.empty() ? "" : statusTexts.back(); }

void SetTemp(const char* pszDir) { SetEnvironmentVariableA("TMP", pszDir); SetEnvironmentVariableA("TEMP", pszDir); }

class CopyPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hAppInstance = LoadSetupExe(WinePath(SETUP_EXE_UNIX));
        ASSERT_NE(hAppInstance, nullptr);
        ASSERT_TRUE(CreateDir(installDir.c_str()) && CreateDir(tempDir.c_str()));
        StrCopy(szInstallDir, installDir.c_str());
        SetTemp((tempDir + "\\").c_str());  // with a trailing backslash, as the system reports it
        records = ReadManifest(game.string());
        stagedFile = tempDir + "\\filesdata.gz";
        bStagedOpenToOthers = true;
        ASSERT_EQ(records.size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
        statusTexts.clear();
        hHook = SetWindowsHookExA(WH_CALLWNDPROC, WatchStatus, nullptr, GetCurrentThreadId());
        ASSERT_NE(hHook, nullptr);
    }
    void TearDown() override
    {
        UnhookWindowsHookEx(hHook);
        cancelOn.clear();
        SetTemp(nullptr);
        FreeLibrary(hAppInstance);
        hAppInstance = nullptr;
    }
    std::string StatusOf(size_t nRecord) const { return installDir + "\\" + records[nRecord]; }
    // The first n records are in place, whole, and nothing else but AImages.
    void ExpectRecords(size_t n) const
    {
        std::vector<std::string> expected(records.begin(), records.begin() + static_cast<long>(n));
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFiles(installDir), expected);
        for (const std::string& name : expected)
            EXPECT_EQ(ReadFile(installDir + "\\" + name), ReadFile((game / name).string())) << name;
        EXPECT_TRUE(fs::is_directory(FsPath(installDir + "\\AImages")));
        EXPECT_TRUE(fs::is_empty(FsPath(tempDir))) << "temporary files left";
    }

    ScratchDir scratch;
    std::string installDir = scratch.Path("Quarnel"), tempDir = scratch.Path("tmp");
    fs::path game = WinePath(GAME_TREE_UNIX);
    std::vector<std::string> records;
    HHOOK hHook = nullptr;
};

// The payload resource of setup.exe staged, held against other programs
// while it is decompressed, and extracted: the game's files byte for byte,
// its folders and an empty AImages.
TEST_F(CopyPageTest, WholeRunWritesEveryRecordAndCleansUp)
{
    // An archive left by an earlier run that was killed is replaced.
    WriteFile(tempDir + "\\filesdata.dat", TextBytes("stale"));
    MessageRecorder recorder;
    EXPECT_EQ(ShowCopyPage(nullptr), 0);
    EXPECT_TRUE(recorder.boxes.empty());
    ExpectRecords(records.size());
    EXPECT_EQ(szTempDir, tempDir);
    EXPECT_FALSE(bStagedOpenToOthers) << "the staged file could be written, replaced or removed";

    std::vector<std::string> expected = {"Preparing to decompress setup files", "Decompressing setup files"};
    for (size_t i = 0; i < records.size(); ++i)
        expected.push_back(StatusOf(i));
    expected.push_back("Deleting temproary files");
    EXPECT_EQ(statusTexts, expected);

    // A step before the first record and one for each (the rest is the
    // steps' rules), then released.
    EXPECT_EQ(ProgressBar.steps.nStepNumber, PAYLOAD_RECORD_COUNT + 1);
    EXPECT_TRUE(!ProgressBar.hBarDC && !ProgressBar.hDoneBrush && !ProgressBar.hRestBrush);
}

// A click during the extraction takes effect right after the record being
// written, exactly. (A click waiting from the start keeps the first record:
// the copy_cancel_at_once scenario.)
TEST_F(CopyPageTest, CancelTakesEffectAfterTheRecordBeingWritten)
{
    cancelOn = StatusOf(9);
    MessageRecorder recorder;
    EXPECT_EQ(ShowCopyPage(nullptr), 1);
    EXPECT_TRUE(recorder.boxes.empty());
    ExpectRecords(10);
    EXPECT_EQ(statusTexts.back(), "Deleting temproary files");
}

// Staging that fails: no temporary directory; an archive of other content
// left by an earlier run that can be neither removed nor overwritten, held
// open or read-only (never extracted); another run holding its staged file,
// with its archive beside it (both left as they were). One box while the
// page prepares, nothing installed, not even AImages.
TEST_F(CopyPageTest, StagingFailuresInstallNothingAndLeaveOtherRunsFilesAlone)
{
    std::string gz = tempDir + "\\filesdata.gz", dat = tempDir + "\\filesdata.dat";
    Bytes stale;
    for (const std::string& name : records)
        AppendRecord(stale, name, TextBytes("stale " + name));
    enum { NO_TEMP, HELD_ARCHIVE, READ_ONLY_ARCHIVE, OTHER_RUN };
    for (int nCase : {NO_TEMP, HELD_ARCHIVE, READ_ONLY_ARCHIVE, OTHER_RUN}) {
        SCOPED_TRACE(nCase);
        SetTemp((nCase == NO_TEMP ? scratch.Path("missing") : tempDir + "\\").c_str());
        if (nCase != NO_TEMP)
            WriteFile(dat, nCase == OTHER_RUN ? TextBytes("first run's archive") : stale);
        if (nCase == OTHER_RUN)
            WriteFile(gz, TextBytes("first run's payload"));
        SetFileAttributesA(dat.c_str(), nCase == READ_ONLY_ARCHIVE ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        // Held as a run holds its staged file: others may read it, no more.
        bool bHeld = nCase == HELD_ARCHIVE || nCase == OTHER_RUN;
        HANDLE hHold = bHeld ? CreateFileA((nCase == HELD_ARCHIVE ? dat : gz).c_str(),
                                           GENERIC_READ | (nCase == OTHER_RUN ? GENERIC_WRITE : 0), FILE_SHARE_READ,
                                           nullptr, OPEN_EXISTING, 0, nullptr)
                             : nullptr;
        ASSERT_NE(hHold, INVALID_HANDLE_VALUE);
        MessageRecorder recorder;
        recorder.context = LastStatus;
        EXPECT_EQ(ShowCopyPage(nullptr), 1);
        if (hHold)
            CloseHandle(hHold);
        SetFileAttributesA(dat.c_str(), FILE_ATTRIBUTE_NORMAL);  // removable whatever the checks find
        ASSERT_EQ(recorder.boxes.size(), 1u);
        EXPECT_EQ(recorder.boxes[0].text + "|" + recorder.boxes[0].context,
                  "Can't decompress setup files|Preparing to decompress setup files");
        EXPECT_TRUE(ListFiles(installDir, true).empty() && ListFiles(installDir).empty()) << "nothing installed";
        std::vector<std::string> left = {"filesdata.dat", "filesdata.gz"};
        left.resize(nCase == NO_TEMP ? 0 : nCase == OTHER_RUN ? 2 : 1);
        EXPECT_EQ(ListFiles(tempDir), left) << "nothing of this run left";
        if (nCase == OTHER_RUN) {
            EXPECT_EQ(ReadFile(gz), TextBytes("first run's payload"));
            EXPECT_EQ(ReadFile(dat), TextBytes("first run's archive"));
        }
        fs::remove(FsPath(gz));
        fs::remove(FsPath(dat));
    }
}

// The bar on a 438-pixel control: blue up to the filled width, black beyond,
// the percent in white; released, the control paints itself again (its
// "black" rectangle is in the window-frame colour).
TEST(ProgressBarPaint, FillsTheControlAndReleases)
{
    HWND hBar = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, 10, 10, 438, 20, nullptr,
                                nullptr, nullptr, nullptr);
    ASSERT_NE(hBar, nullptr);
    UpdateWindow(hBar);
    auto pixel = [&](int x, int y) { HDC h = GetDC(hBar); auto c = GetPixel(h, x, y); ReleaseDC(hBar, h); return c; };
    constexpr COLORREF BLUE = RGB(0, 0, 255), BLACK = RGB(0, 0, 0), WHITE = RGB(255, 255, 255);
    COLORREF own = pixel(0, 1);
    ASSERT_NE(own, BLUE);
    InitProgressBar(hBar, PAYLOAD_RECORD_COUNT);
    StepProgressBar();
    StepProgressBar();
    EXPECT_EQ(pixel(5, 1), BLUE);
    EXPECT_EQ(pixel(6, 1), BLACK);
    for (int i = 2; i < PAYLOAD_RECORD_COUNT + 1; ++i)
        StepProgressBar();
    EXPECT_EQ(pixel(0, 1), BLUE);
    EXPECT_EQ(pixel(437, 18), BLUE);
    int nWhite = 0;
    for (int x = 200; x < 238; ++x)
        for (int y = 0; y < 20; ++y)
            nWhite += pixel(x, y) == WHITE;
    EXPECT_GT(nWhite, 10) << "the text 100 in the middle";
    ReleaseProgressBar();
    UpdateWindow(hBar);
    EXPECT_EQ(pixel(0, 1), own);
    EXPECT_EQ(pixel(437, 18), own);
    DestroyWindow(hBar);
}

}  // namespace
