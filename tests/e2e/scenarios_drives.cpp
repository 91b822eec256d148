// The fault matrix's drive rows: a system with every drive letter, drives
// whose free space lies just below, at and just above the requirement or
// cannot be read at all (scripts/test-drives.sh makes them), and two
// installers run at once.
#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdio>

// One drive of its own per row. The system reports free space in clusters of
// 4096 bytes whatever the file system (Wine: 8 sectors of 512 bytes), so
// units of 1000 bytes around the requirement are reached only in steps of 4:
// 5126 pages of tmpfs are 20,996 units, 5127 are 21,000, 5128 are 21,004.
// nPages 0: a link to a folder that does not exist, its free space unknown.
struct DriveRow {
    const char *pszScenario, *pszRoot, *pszFault;
    ULONGLONG nPages;
};
static const DriveRow kDriveRows[] = {
    {"drives_free_below", "T:\\", "free space below the requirement (5126 pages: 20996 units)", 5126},
    {"drives_free_at", "U:\\", "free space at the requirement (5127 pages: 21000 units)", 5127},
    {"drives_free_above", "V:\\", "free space above the requirement (5128 pages: 21004 units)", 5128},
    {"drives_free_unreadable", "W:\\", "free space cannot be read (a link to a missing folder)", 0},
};
static MadePaths kDrivesMade = {"T:\\Quarnel", "U:\\Quarnel", "V:\\Quarnel"};

// The drive chosen in the browser shows its free space exactly; below the
// requirement (or unknown, counted as none) the browser and the page refuse
// it and the user gives up; otherwise both accept it, and the copy run stops
// at the first record the drive has no room for: the game takes more than
// the requirement on 4 KiB clusters.
static void FreeSpace(const DriveRow& r)
{
    ULONGLONG cb = r.nPages * 4096;
    bool bAccepted = cb >= REQUIRED_KB * 1000;
    std::string dir = Join(r.pszRoot, kProduct);
    MatrixRow row{r.pszFault, bAccepted ? "browser and page accept it; the copy stops where the drive fills, canceled"
                                        : "browser and page refuse it, nothing made", dir};
    ULARGE_INTEGER free = {};
    bool bFree = GetDiskFreeSpaceExA(r.pszRoot, &free, nullptr, nullptr);
    Need(Check(r.nPages ? bFree && free.QuadPart == cb : !bFree, "%s: %s, %llu bytes free", r.pszRoot,
               bFree ? "free space read" : "free space unreadable", free.QuadPart));
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    Browse(hBrowser, {true, r.pszRoot, r.pszRoot});
    char szLine[96];
    std::snprintf(szLine, sizeof(szLine), " Available: %llu KB, Required: %lu KB", cb / 1000, REQUIRED_KB);
    std::string line = TextOf(GetDlgItem(hBrowser, IDC_FREE_SPACE));
    Check(line == szLine, "free space line \"%s\"", line.c_str());
    Shot(hBrowser, "browser-drive");
    if (!bAccepted) {
        Answer(hBrowser, IDOK, kBrowserNoSpace, IDYES);
        CloseBrowser(hBrowser, IDCANCEL, hPage, dir);
        Answer(hPage, IDOK, kNoSpaceBox, IDNO);
        CancelOut(hPage);
        row.seen = "browser-no-space, no-space; canceled";
        std::vector<std::string> made = Entries(r.pszRoot, false);
        Check(made.empty() && (r.nPages || !IsDir(r.pszRoot)), "nothing made on %s", r.pszRoot);
        return;
    }
    CloseBrowser(hBrowser, IDOK, hPage, dir);
    PressToClose(hPage, IDOK, "install-dir page");
    FollowCopy(CopyPage(), dir);
    Ends(kCanceled);
    std::string states = RecordStates(dir);
    size_t n = std::min(states.find_first_not_of('W'), records.size());
    Check(n > 0 && n < records.size(), "%zu records whole before the drive filled", n);
    CheckCopied(dir, Expected(n));
    row.seen = "accepted; the copy stopped where the drive filled, canceled";
}

template <size_t i> Scenario DriveScenario()
{
    return {kDriveRows[i].pszScenario, [] { FreeSpace(kDriveRows[i]); }, false, nullptr,
            [] { NeedDrive(kDriveRows[i].pszRoot); }};
}

// All 26 letters: each offered in the browser, in order and each knowing its
// index; the first and the last can be chosen; the default stays on C:, and
// the game installs there.
static void AllLetters()
{
    MatrixRow row{"every drive letter A: to Z: present", "all 26 offered and choosable; installed on C:", kDefaultDir};
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    HWND hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    LRESULT count = 0;
    bool bCounted = Ask(hCombo, CB_GETCOUNT, 0, 0, count);
    Check(bCounted && count == 26, "%ld drives in the drive box", long(count));
    PostMessageA(hCombo, CB_SHOWDROPDOWN, TRUE, 0);
    Shot(hBrowser, "browser-26-drives");
    PostMessageA(hCombo, CB_SHOWDROPDOWN, FALSE, 0);
    // Back on C:, the folder is entered as the disk spells it.
    const std::string programs = "C:\\Program Files", dir = Join(programs, kProduct);
    for (const BrowseStep& step : {BrowseStep{true, "A:\\", "A:\\"}, {true, "Z:\\", "Z:\\"}, {true, "C:\\", "C:\\"},
                                   {false, "Program Files", programs}})
        Browse(hBrowser, step);
    CloseBrowser(hBrowser, IDOK, hPage, dir);
    PressToClose(hPage, IDOK, "install-dir page");
    Installed(dir);
    row.seen = "26 offered; installed";
}

// The first run is held still on its copy page, between two records, while a
// second is walked through to its own copy page: it cannot stage over the
// files the first holds, says so, and ends; the first then installs whole.
// Held, the first stands for any run slower than the second's walk.
static void TwoInstallers()
{
    MatrixRow row{"two installers at once", "the second: can't decompress, canceled; the first installed whole, "
                  "no temporary file left", kDefaultDir};
    HWND hPage = CopyPageWithDefaults(), hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    std::string status;
    bool bExtracting = PollUntil(APPEAR_MS, [&] { return (status = TextOf(hStatus)).find(kDefaultDir) == 0; }, 0);
    Need(Check(bExtracting, "the first run extracts: \"%s\"", status.c_str()));
    Need(Check(SuspendThread(pi.hThread) != static_cast<DWORD>(-1), "the first run held"));
    Run first;
    StartBeside(first);
    Answer(DirPage(), IDOK, kExists, IDYES, false);
    HWND hSecond = CopyPage();
    Box(kCantDecompress, hSecond, IDOK);
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hSecond); }), "the second's copy page closes"));
    Ends(kCanceled);
    row.seen = "second: can't decompress, canceled";
    SwapRun(first);
    Need(Check(ResumeThread(pi.hThread) == 1, "the first run goes on"));
    Installed(kDefaultDir, hPage);
    row.seen += "; first: installed";
}

static ScenarioList kDriveScenarios = {
    DriveScenario<0>(), DriveScenario<1>(), DriveScenario<2>(), DriveScenario<3>(),
    {"drives_all_letters", AllLetters, false, nullptr, [] {
         for (char szRoot[] = "A:\\"; szRoot[0] <= 'Z'; ++szRoot[0])
             NeedDrive(szRoot);
     }},
    {"two_installers", TwoInstallers},
};
