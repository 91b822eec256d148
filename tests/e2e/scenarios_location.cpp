// The install-directory page, its directory browser, and drives too small or
// larger than 32 bits count.
#include "tests/e2e/driver.h"

#include <algorithm>

constexpr char kGames[] = "C:\\QuarnelTestGames", kSub[] = "C:\\QuarnelTestGames\\Sub", kTyped[] = "C:\\QuarnelTyped";
static MadePaths kLocationMade = {kGames, kTyped, Join(kSmall, kProduct), Join(kBig, kProduct)};

constexpr char kUpItem[] = "........";
constexpr BoxDesc kNoFolder = {"no-folder", "You were forgoten to select an directory", OK, "exclamation"};
// The browser's own.
constexpr BoxDesc kBrowserNoName = {"browser-no-name", "You forget to select a directory", OK, "exclamation",
                                    "Warning"};

static void CheckNotMade(const std::string& path) { Check(!IsDir(path), "%s not created", path.c_str()); }

// An existing directory is questioned on every Next until Yes. What the page
// says it will create is not what the user types over it: that is neither
// asked about nor made.
static void ExistingDir()
{
    Need(Check(CreateDirectoryA(kDefaultDir, nullptr), "%s made beforehand", kDefaultDir));
    MatrixRow row{"install directory exists", "asked on every Next until Yes; installed into it", kDefaultDir};
    HWND hPage = DirPage(), hEdit = GetDlgItem(hPage, IDC_TARGET_EDIT);
    bool bTyped = PostMessageA(hEdit, EM_SETSEL, 0, -1) && PostChars(hEdit, kTyped) &&
                  PollUntil(APPEAR_MS, [&] { return TextOf(hEdit) == kTyped; });
    Check(bTyped, "typed \"%s\" over the directory", kTyped);
    for (int answer : {IDNO, IDNO, IDYES})
        Answer(hPage, IDOK, kExists, answer, answer == IDNO);
    Installed(kDefaultDir);
    row.seen = "directory-exists No, No, Yes; installed";
    CheckNotMade(kTyped);
}

static void CancelOnDirPage()
{
    MatrixRow row{"Cancel on the install-dir page", "No: the page stays; Yes: canceled, nothing made"};
    HWND hPage = DirPage();
    Answer(hPage, IDCANCEL, kConfirm, IDNO);
    CancelOut(hPage);
    row.seen = "No: stays; Yes: canceled";
    CheckNotMade(kDefaultDir);
}

static void Browser()
{
    Need(Check(CreateDirectoryA(kGames, nullptr) && CreateDirectoryA(kSub, nullptr), "%s made beforehand", kSub));
    std::vector<std::string> drives = SystemDrives();
    auto other = std::find_if(drives.begin(), drives.end(), [](const std::string& root) { return root != "C:\\"; });
    Need(Check(other != drives.end(), "a drive besides C:"));
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    for (const BrowseStep& step : {BrowseStep{false, kUpItem, "C:\\"}, {false, "QuarnelTestGames", kGames},
                                   {false, "Sub", kSub}, {false, kUpItem, kGames}, {true, *other, *other},
                                   {true, "C:\\", "C:\\"}, {false, "QuarnelTestGames", kGames}})
        Browse(hBrowser, step);
    Shot(hBrowser, "browser-games");

    // 99 characters are the most a name takes: of two typed after 98, the
    // second is refused. Once the selection posted behind them shows, the
    // edit has handled them.
    HWND hName = GetDlgItem(hBrowser, IDC_FOLDER_NAME);
    std::string name = kProduct + std::string(91, 'x'), typed;
    LRESULT set = 0, sel = 0;
    bool bTyped = Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), set) && set &&
                  Ask(hName, EM_SETSEL, 98, 98, sel) && PostChars(hName, "yz") &&
                  PostMessageA(hName, EM_SETSEL, 0, 1) &&
                  PollUntil(APPEAR_MS, [&] { return Ask(hName, EM_GETSEL, 0, 0, sel) && sel == MAKELONG(0, 1); }) &&
                  Settled(hName);
    typed = TextOf(hName);
    Check(bTyped && typed == name + "y", "98 characters and \"yz\": 99th taken, 100th refused (%zu)", typed.size());
    Browse(hBrowser, {false, "Sub", kSub}, typed);
    Shot(hBrowser, "browser-long-name");

    // No name: OK refuses, Cancel keeps it empty, and the page refuses Next.
    Need(Check(Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), set) && set, "name cleared"));
    Answer(hBrowser, IDOK, kBrowserNoName, IDOK);
    CloseBrowser(hBrowser, IDCANCEL, hPage, Join(kSub, ""));
    Answer(hPage, IDOK, kNoFolder, IDOK);
    CancelOut(hPage);
}

// A folder chosen deep enough that a lengthened name takes the install
// directory past 259 characters: Next neither asks nor creates anything,
// and the page stays as it was.
static void LongInstallDir()
{
    MatrixRow row{"install directory over 259 characters", "Next stays on the page, asks nothing, makes nothing"};
    std::string deep = Join(kGames, std::string(200 - sizeof(kGames), 'd'));
    Need(Check(CreateDirectoryA(kGames, nullptr) && CreateDirectoryA(deep.c_str(), nullptr), "%s made beforehand (%zu)",
               deep.c_str(), deep.size()));
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    for (const BrowseStep& step : {BrowseStep{false, kUpItem, "C:\\"}, {false, "QuarnelTestGames", kGames},
                                   {false, deep.substr(sizeof(kGames)), deep}})
        Browse(hBrowser, step);
    // Navigation refuses to go that deep with the long name; typed once
    // there, the name is taken as it stands.
    std::string name = kProduct + std::string(60, 'x');
    LRESULT set = 0;
    Need(Check(Ask(GetDlgItem(hBrowser, IDC_FOLDER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), set),
               "name lengthened to %zu characters", name.size()));
    std::string dir = Join(deep, name);
    CloseBrowser(hBrowser, IDOK, hPage, dir);
    Press(hPage, IDOK);
    // Whatever Next does is done once the page answers again.
    Sleep(500);
    Need(Check(Settled(hPage) && Usable(hPage) && Windows(pi.dwProcessId).size() == 2,
               "Next on %zu characters: the page stays, nothing else shows", dir.size()));
    CheckNotMade(dir);
    row.seen = "Next: the page stays";
    CancelOut(hPage);
}

// A drive too small is refused by the browser and by the page alike, and
// nothing is made on it; one with more than 4 GiB free is not refused.
static void Drives()
{
    MatrixRow row{"install drive too small", "browser and page refuse it, nothing made there", Join(kBig, kProduct)};
    Check(FreeBytes(kSmall) < REQUIRED_KB * 1000, "%s has %llu bytes free", kSmall, FreeBytes(kSmall));
    Check(FreeBytes(kBig) > 0xFFFFFFFFu, "%s has %llu bytes free", kBig, FreeBytes(kBig));
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    Browse(hBrowser, {true, kSmall, kSmall});
    Answer(hBrowser, IDOK, kBrowserNoSpace, IDYES);
    CloseBrowser(hBrowser, IDCANCEL, hPage, Join(kSmall, kProduct));
    Answer(hPage, IDOK, kNoSpaceBox, IDNO);
    std::vector<std::string> made = Entries(kSmall, false);
    Check(made.empty(), "nothing created on %s (%s)", kSmall, made.empty() ? "empty" : made[0].c_str());
    row.seen = "browser-no-space, no-space; then installed on a drive over 4 GiB";

    // Reopened, the browser stands on the drive chosen last.
    hBrowser = OpenBrowser(hPage, kSmall);
    Browse(hBrowser, {true, kBig, kBig});
    CloseBrowser(hBrowser, IDOK, hPage, Join(kBig, kProduct));
    PressToClose(hPage, IDOK, "install-dir page");
    Installed(Join(kBig, kProduct));
    CheckNotMade(kDefaultDir);
}

static ScenarioList kLocationScenarios = {
    {"existing_dir", ExistingDir},
    {"cancel_on_dir_page", CancelOnDirPage},
    {"browser", Browser},
    {"long_install_dir", LongInstallDir},
    {"drives", Drives, true},
};
