// e2e_driver SCENARIO SETUP_EXE SHOTS_DIR GAME_DIR: takes setup.exe through one
// scenario as a user would, on a machine where it never ran, checking each
// window on the way and saving a screenshot of each page and message box.
// Prints a line per check, then PASS (exit 0) or FAIL (exit 1); SKIP (exit
// 77) when the machine lacks what the scenario needs. GAME_DIR holds the
// game's files as they went into the payload, with the manifest that orders
// them. The scenarios come from the scenarios_*.cpp files linked in.
#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>

static const char* pszScenario;
static std::string shotsDir, gameDir;
static int failures = 0, shots = 0;

bool Check(bool bOk, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    std::printf("%s ", bOk ? "ok  " : "FAIL");
    std::vprintf(pszFormat, args);
    std::putchar('\n');
    va_end(args);
    failures += !bOk;
    return bOk;
}

// In a job that ends setup.exe and all it started when the driver exits;
// setup.exe looks for its files in the current directory.
static void Start()
{
    hJob = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    std::string dir = setupExe.substr(0, setupExe.find_last_of('\\')), commandLine = "\"" + setupExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    bool bStarted = hJob && SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
                    CreateProcessA(setupExe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                   nullptr, dir.c_str(), &si, &pi) &&
                    AssignProcessToJobObject(hJob, pi.hProcess) && ResumeThread(pi.hThread) != static_cast<DWORD>(-1);
    bool bRemote = bStarted && OpenRemote(pi.hProcess);
    Need(Check(bRemote, "start %s in a job (error %lu)", setupExe.c_str(), bRemote ? 0 : GetLastError()));
    BOOL bWow64 = FALSE;
    IsWow64Process(pi.hProcess, &bWow64);
    samSetupView = bWow64 ? KEY_WOW64_32KEY : 0;
    std::printf("  setup.exe runs as a %s program\n", bWow64 ? "32-bit" : "64-bit");
}

// What setup.exe shows when a scenario cannot go on.
static void Dump()
{
    DWORD code = 0;
    if (Exited() && GetExitCodeProcess(pi.hProcess, &code))
        std::printf("  setup.exe has exited with code %lu\n", code);
    for (HWND hWnd : Windows(pi.dwProcessId)) {
        std::printf("  window %s \"%s\"%s\n", ClassOf(hWnd).c_str(), TitleOf(hWnd).c_str(),
                    IsWindowEnabled(hWnd) ? "" : " (disabled)");
        for (HWND hChild : Children(hWnd))
            std::printf("    %d %s \"%.60s\"\n", GetDlgCtrlID(hChild), ClassOf(hChild).c_str(), TextOf(hChild).c_str());
    }
}

// The screen as it is now, numbered in the scenario's order.
static void SaveShot(const char* pszWhat)
{
    char szName[96];
    std::snprintf(szName, sizeof(szName), "%s-%02d-%s.bmp", pszScenario, ++shots, pszWhat);
    Check(SaveScreenshot(shotsDir + "\\" + szName), "screenshot %s", szName);
}
void Shot(HWND hWnd, const char* pszWhat) { WaitPainted(hWnd); SaveShot(pszWhat); }

// The label is read without a message, so a busy dialog gets the click at once.
void Press(HWND hDlg, int id)
{
    HWND hButton = GetDlgItem(hDlg, id);
    std::string label = TitleOf(hButton);
    bool bPosted = hButton && Usable(hDlg) && Usable(hButton) &&
                   PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
    Need(Check(bPosted, "press %d \"%s\"", id, label.c_str()));
}
void PressToClose(HWND hDlg, int id, const char* pszWhat)
{
    Press(hDlg, id);
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hDlg); }), "%s closes", pszWhat));
}

// A page is a borderless popup without title owned by the main window; a
// dialog opened from a page has a title and is owned by the page.
HWND Dialog(const DialogDesc& dlg, HWND hOwner)
{
    HWND hDlg = Wait(dlg.pszName, [&](HWND hWnd) {
        for (const Control& c : dlg.controls) {
            HWND hControl = GetDlgItem(hWnd, c.id);
            if (!hControl || lstrcmpiA(ClassOf(hControl).c_str(), c.pszClass) ||
                (c.pszText && TextOf(hControl) != c.pszText))
                return false;
        }
        return Usable(hWnd) && ClassOf(hWnd) == "#32770";
    });
    std::string title = TitleOf(hDlg);
    Check(dlg.pszTitle ? title == dlg.pszTitle : title.empty() && Borderless(hDlg), "%s: title \"%s\", style 0x%08lx",
          dlg.pszName, title.c_str(), static_cast<unsigned long>(GetWindowLongA(hDlg, GWL_STYLE)));
    Check(GetWindow(hDlg, GW_OWNER) == hOwner, "%s is owned by the window it came from", dlg.pszName);
    Shot(hDlg, dlg.pszName);
    return hDlg;
}

void Box(const BoxDesc& box, HWND hOwner, int answer)
{
    HWND hBox = Wait(box.pszName, [](HWND hWnd) {
        return Usable(hWnd) && ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, MSGBOX_TEXT) &&
               GetDlgItem(hWnd, MSGBOX_ICON);
    });
    std::string text = TextOf(GetDlgItem(hBox, MSGBOX_TEXT));
    size_t cch = strlen(box.pszText);
    bool bSays = box.pszRest ? text.compare(0, cch, box.pszText) == 0 &&
                                   std::regex_match(text.substr(cch), std::regex(box.pszRest))
                             : text == box.pszText;
    Check(bSays, "%s says \"%s\"", box.pszName, text.c_str());
    Check(TitleOf(hBox) == box.pszCaption, "%s caption \"%s\"", box.pszName, TitleOf(hBox).c_str());
    Check(GetWindow(hBox, GW_OWNER) == hOwner && !IsWindowEnabled(hOwner),
          "%s is owned by the window it interrupts, which waits", box.pszName);
    unsigned buttons = 0;
    for (int id = IDOK; id <= IDCONTINUE; ++id)
        buttons |= GetDlgItem(hBox, id) && IsWindowVisible(GetDlgItem(hBox, id)) ? 1u << id : 0;
    Check(buttons == box.buttons, "%s buttons 0x%x (bit n: id n), expected 0x%x", box.pszName, buttons, box.buttons);
    Shot(hBox, box.pszName);
    std::string icon = IdentifyIcon(GetDlgItem(hBox, MSGBOX_ICON));
    Check(icon == box.pszIcon, "%s icon %s, expected %s", box.pszName, icon.c_str(), box.pszIcon);
    PressToClose(hBox, answer, box.pszName);
}

void Answer(HWND hDlg, int button, const BoxDesc& box, int answer, bool bStays)
{
    auto texts = [&] {
        std::string all;
        for (HWND hChild : Children(hDlg))
            all += TextOf(hChild) + '\n';
        return all;
    };
    std::string before = texts();
    if (button)
        Press(hDlg, button);
    Box(box, hDlg, answer);
    bool bAsWanted = bStays ? PollUntil(APPEAR_MS, [&] { return Usable(hDlg); }) && Settled(hDlg) && texts() == before
                            : PollUntil(APPEAR_MS, [&] { return Gone(hDlg); });
    Need(Check(bAsWanted, "%s answered %d: the dialog %s", box.pszName, answer, bStays ? "stays as it was" : "closes"));
}

static void ExpectExit(DWORD code)
{
    std::string strays;
    bool bExited = PollUntil(APPEAR_MS, [&] {
        for (HWND hWnd : Windows(pi.dwProcessId)) {
            std::string name = " [" + ClassOf(hWnd) + " \"" + TitleOf(hWnd) + "\"]";
            if (hWnd != hMain && strays.find(name) == std::string::npos)
                strays += name;
        }
        return Exited();
    });
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    Check(strays.empty(), "no other window before the exit%s", strays.c_str());
    Check(bExited && exitCode == code, "exit code %lu", exitCode);
}

void Ends(const BoxDesc& box)
{
    Box(box, hMain, IDOK);
    ExpectExit(0);
}

void CancelOut(HWND hPage, int button)
{
    Answer(hPage, button, kConfirm, IDYES, false);
    Ends(kCanceled);
}

// The main window is disabled while a page is open: visible is enough.
HWND Agreement()
{
    hMain = Wait("main window (class SETUP)", [](HWND hWnd) { return ClassOf(hWnd) == "SETUP"; });
    HWND hPage = Dialog(kAgreement);
    RECT rc = {};
    GetWindowRect(hMain, &rc);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    Check(TitleOf(hMain) == "SETUP" && Borderless(hMain), "main window: title \"%s\", borderless popup",
          TitleOf(hMain).c_str());
    Check(rc.left == 0 && rc.top == 0 && rc.right == cx && rc.bottom == cy,
          "main window covers the %dx%d screen: (%ld,%ld)-(%ld,%ld)", cx, cy, rc.left, rc.top, rc.right, rc.bottom);
    return hPage;
}
HWND DirPage()
{
    PressToClose(Agreement(), IDOK, "agreement page");
    return Dialog(kDirPage);
}

std::string RecordStates(const std::string& dir)
{
    std::string states;
    for (const std::string& name : records) {
        std::string path = Join(dir, name);
        states += !Exists(path) ? '-' : ReadAll(path) == ReadAll(Join(gameDir, name)) ? 'W' : 'P';
    }
    return states;
}
std::string Expected(size_t nWhole, const std::string& rest)
{
    return std::string(nWhole, 'W') + rest + std::string(records.size() - nWhole - rest.size(), '-');
}

// The temporary files the copy page makes, where the system puts them.
static std::vector<std::string> TempFiles()
{
    char szTemp[MAX_PATH] = "";
    DWORD cch = GetTempPathA(sizeof(szTemp), szTemp);
    if (cch == 0 || cch >= sizeof(szTemp))
        return {};
    return {szTemp + std::string("filesdata.gz"), szTemp + std::string("filesdata.dat")};
}
void CheckTempGone()
{
    std::string left;
    for (const std::string& path : TempFiles())
        left += Exists(path) ? " " + path : "";
    Check(left.empty(), "temporary files gone%s", left.c_str());
}

void CheckCopied(const std::string& dir, const std::string& expected)
{
    std::string states = RecordStates(dir);
    Check(states == expected, "records in %s (W whole, P other, - none): %s", dir.c_str(), states.c_str());
    Check(IsDir(Join(dir, "AImages")) && Entries(Join(dir, "AImages"), false).empty(), "%s\\AImages made, empty",
          dir.c_str());
    CheckTempGone();
}

// Its run starts by itself: it is caught by its controls, without a message
// it could not answer while busy.
HWND CopyPage()
{
    HWND hPage = Wait("copy", [](HWND hWnd) {
        return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_PROGRESS_BAR) && GetDlgItem(hWnd, IDC_COPY_STATUS) &&
               TitleOf(GetDlgItem(hWnd, IDCANCEL)) == "Cancel";
    }, 1);
    Check(TitleOf(hPage).empty() && Borderless(hPage) && GetWindow(hPage, GW_OWNER) == hMain,
          "copy page: borderless, no title, owned by the main window");
    return hPage;
}
HWND CopyPageWithDefaults()
{
    PressToClose(DirPage(), IDOK, "install-dir page");
    return CopyPage();
}

std::vector<size_t> FollowCopy(HWND hPage, const std::string& dir, const std::function<void(size_t)>& onRecord)
{
    HWND hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    std::vector<size_t> seen;
    std::string strays;
    PollUntil(APPEAR_MS, [&] {
        std::string text = TextOf(hStatus);
        auto isText = [&](const std::string& name) { return text == dir + "\\" + name; };
        size_t i = static_cast<size_t>(std::find_if(records.begin(), records.end(), isText) - records.begin());
        if (i < records.size() && (seen.empty() || seen.back() != i)) {
            seen.push_back(i);
            if (onRecord)
                onRecord(i);
        } else if (i == records.size() && !text.empty() && strays.find(text) == std::string::npos) {
            strays += " [" + text + "]";
        }
        return Gone(hPage);
    }, 0);
    Check(std::is_sorted(seen.begin(), seen.end()) && strays.empty(),
          "status line read %zu times between records, each a record's path, in order%s", seen.size(), strays.c_str());
    return seen;
}

// The page mid-run as the user sees it, its bar blue from the left; the
// setup is held still meanwhile.
static void ShotMidRun(HWND hPage)
{
    RECT rc = {};
    GetWindowRect(GetDlgItem(hPage, IDC_PROGRESS_BAR), &rc);
    Need(Check(SuspendThread(pi.hThread) != static_cast<DWORD>(-1), "setup held mid-run"));
    SaveShot("copy-mid-run");
    Grab bar{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    COLORREF left = GetPixel(bar.hdc, 0, 1), right = GetPixel(bar.hdc, bar.cx - 1, 1);
    Check(left == RGB(0, 0, 255) && right == RGB(0, 0, 0), "bar mid-run: 0x%06lx at its left, 0x%06lx at its right",
          left, right);
    ResumeThread(pi.hThread);
}

void Copied(const std::string& dir, HWND hPage)
{
    bool bShot = false;
    std::vector<size_t> seen = FollowCopy(hPage, dir, [&](size_t i) {
        if (!bShot && i >= records.size() / 2)
            bShot = true, ShotMidRun(hPage);
    });
    // Sampled from outside while the page runs at full speed, so a loaded
    // machine may miss the last few; the exact sequence is checked in-process.
    Check(!seen.empty() && seen.back() >= records.size() * 9 / 10, "status line followed the run to record %zu of %zu",
          seen.empty() ? 0 : seen.back() + 1, records.size());
    CheckCopied(dir, Expected(records.size()));
}
HWND ShortcutPage()
{
    static const DialogDesc kShortcutPage = {
        "shortcut", nullptr,
        {{IDOK, "Button", "Finish"}, {IDCANCEL, "Button", "Cancel"}, {IDC_BROWSE, "Button", "Browse"},
         {IDC_TARGET_EDIT, "Edit", nullptr}, {IDC_DESKTOP_CHECK, "Button", "Create program shortcat on the Desktop"}}};
    return Dialog(kShortcutPage);
}
void Installed(const std::string& dir, HWND hPage)
{
    Copied(dir, hPage);
    PressToClose(ShortcutPage(), IDOK, "shortcut page");
    Ends(kInstalled);
}
void InstallWithDefaults() { Installed(kDefaultDir, CopyPageWithDefaults()); }

static std::vector<Scenario>& AllScenarios() { static std::vector<Scenario> all; return all; }
static std::vector<std::string>& AllMade() { static std::vector<std::string> all = {kDefaultDir}; return all; }
ScenarioList::ScenarioList(std::initializer_list<Scenario> scenarios)
{
    AllScenarios().insert(AllScenarios().end(), scenarios);
}
MadePaths::MadePaths(std::initializer_list<std::string> paths) { AllMade().insert(AllMade().end(), paths); }
static std::vector<std::string (*)()>& AllResets() { static std::vector<std::string (*)()> all; return all; }
ResetStep::ResetStep(std::string (*reset)()) { AllResets().push_back(reset); }

// Removes what an earlier run may have left: the temporary files, the paths
// the scenario files name and what their reset steps reset; returns what
// could not be removed.
static std::string ResetInstallState()
{
    std::vector<std::string> paths = TempFiles();
    paths.insert(paths.end(), AllMade().begin(), AllMade().end());
    std::string left;
    for (auto reset : AllResets())
        left += reset();
    for (const std::string& path : paths) {
        RemoveTree(path);
        left += Exists(path) ? " " + path : "";
    }
    return left;
}

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::vector<Scenario>& all = AllScenarios();
    auto named = [&](const Scenario& s) { return argc == 5 && strcmp(argv[1], s.pszName) == 0; };
    auto scenario = std::find_if(all.begin(), all.end(), named);
    if (scenario == all.end() || std::count_if(all.begin(), all.end(), named) > 1) {
        std::fprintf(stderr, "usage: e2e_driver SCENARIO SETUP_EXE SHOTS_DIR GAME_DIR (a scenario named once)\n");
        return 2;
    }
    bool bDrives = GetDriveTypeA(kSmall) > DRIVE_NO_ROOT_DIR && GetDriveTypeA(kBig) > DRIVE_NO_ROOT_DIR;
    if (scenario->bTestDrives && !bDrives) {
        std::printf("SKIP %s: needs drives %s and %s (scripts/test-drives.sh up, as root)\n", argv[1], kSmall, kBig);
        return 77;
    }
    pszScenario = scenario->pszName;
    setupExe = argv[2];
    shotsDir = argv[3];
    gameDir = argv[4];
    CreateDirectoryA(argv[3], nullptr);
    // The manifest lists the records in archive order, one per line.
    std::string manifest = ReadAll(Join(gameDir, "manifest.txt"));
    for (size_t at = 0, end; (end = manifest.find('\n', at)) != std::string::npos; at = end + 1)
        records.push_back(manifest.substr(at, end - at));
    if (scenario->pszTemp) {
        SetEnvironmentVariableA("TMP", scenario->pszTemp);
        SetEnvironmentVariableA("TEMP", scenario->pszTemp);
    }
    try {
        Need(Check(!records.empty(), "%zu records listed in %s\\manifest.txt", records.size(), gameDir.c_str()));
        std::string left = ResetInstallState();
        Need(Check(left.empty(), "fresh state%s%s", left.empty() ? "" : ", left over:", left.c_str()));
        if (scenario->prepare)
            scenario->prepare();
        Start();
        scenario->run();
    } catch (const Abort&) {
        Dump();
    }
    std::printf("%s %s\n", failures ? "FAIL" : "PASS", pszScenario);
    return failures ? 1 : 0;
}

std::string GameFile(const std::string& name) { return ReadAll(Join(gameDir, name)); }

void StartAgain()
{
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    pi = {};
    hMain = nullptr;
    Start();
}

// Listed by the system: a drive whose root cannot be opened is listed too.
void NeedDrive(const char* pszRoot)
{
    if (GetLogicalDrives() >> (toupper(pszRoot[0]) - 'A') & 1)
        return;
    std::printf("SKIP %s: needs drive %s (scripts/test-drives.sh up, as root)\n", pszScenario, pszRoot);
    std::exit(77);
}

MatrixRow::~MatrixRow()
{
    std::string states = dir.empty() ? "" : RecordStates(dir);
    auto count = [&](char state) { return static_cast<size_t>(std::count(states.begin(), states.end(), state)); };
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(pi.hProcess, &code);
    std::string line = std::string("MATRIX | ") + pszFault + " | " + pszExpected + " | " + seen;
    if (!dir.empty())
        line += "; " + std::to_string(count('W')) + " whole, " + std::to_string(count('P')) + " other, " +
                std::to_string(count('-')) + " absent";
    line += code == STILL_ACTIVE ? "; running" : "; exit " + std::to_string(code);
    line += failures ? " | FAIL |" : " | pass |";
    std::printf("%s\n", line.c_str());
    // Collected over the whole run for the table scripts/test.sh prints.
    if (FILE* pFile = std::fopen((shotsDir + "\\matrix.txt").c_str(), "a")) {
        std::fprintf(pFile, "%s\n", line.c_str());
        std::fclose(pFile);
    }
}

// The directory browser.

static constexpr char kUpItem[] = "........";

std::vector<std::string> SystemDrives()
{
    std::vector<std::string> roots;
    for (DWORD mask = GetLogicalDrives(), i = 0; i < 26; ++i)
        if (mask >> i & 1)
            roots.push_back(std::string(1, static_cast<char>('A' + i)) + ":\\");
    return roots;
}

ULONGLONG FreeBytes(const std::string& root)
{
    ULARGE_INTEGER avail = {};
    return GetDiskFreeSpaceExA(root.c_str(), &avail, nullptr, nullptr) ? avail.QuadPart : 0;
}

// The browser stands in parent with the name: the result path, the drive,
// its free space and the listing (up item below a root, the subfolders not
// starting with a dot, the product folder; sorted) all say so.
void CheckBrowser(HWND hBrowser, const std::string& parent, const std::string& name)
{
    std::string result, root = parent.substr(0, 3);
    bool bShown = PollUntil(APPEAR_MS, [&] {
        return (result = TextOf(GetDlgItem(hBrowser, IDC_RESULT_PATH))) == Join(parent, name);
    }) && Settled(hBrowser);
    Check(bShown, "browser shows %s", result.c_str());
    std::string drive = TextOf(GetDlgItem(hBrowser, IDC_DRIVE_COMBO));
    Check(drive == root, "drive %s selected", drive.c_str());

    // Bytes free to the user in units of 1000, saturated at what 32 bits hold
    // rather than wrapped; other programs write to the host's disks meanwhile.
    std::string free = TextOf(GetDlgItem(hBrowser, IDC_FREE_SPACE));
    unsigned long shown = 0, expected = static_cast<unsigned long>(std::min<ULONGLONG>(FreeBytes(root), ~0u) / 1000);
    char szLine[128] = "";
    std::sscanf(free.c_str(), " Available: %lu", &shown);
    std::snprintf(szLine, sizeof(szLine), " Available: %lu KB, Required: %lu KB", shown, REQUIRED_KB);
    Check(free == szLine && shown + expected / 100 >= expected && shown <= expected + expected / 100,
          "free space \"%s\" (%s: %lu KB)", free.c_str(), root.c_str(), expected);

    std::vector<std::string> want = Entries(parent, true), items = ListViewTexts(GetDlgItem(hBrowser, IDC_FOLDER_LIST));
    if (parent.size() > 3)
        want.push_back(kUpItem);
    want.push_back(name);
    std::sort(want.begin(), want.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    std::string listed;
    for (const std::string& item : items)
        listed += " [" + item.substr(0, 24) + "]";
    Check(items == want, "%s listed, sorted:%s", parent.c_str(), listed.c_str());
}

// A drive chosen from the combo (typing its letter selects it as the arrow
// keys would), or a folder double-clicked in the list; then the browser
// stands in parent.
void Browse(HWND hBrowser, const BrowseStep& step, const std::string& name)
{
    std::string letter(1, static_cast<char>(tolower(step.target[0])));
    Need(Check(step.bDrive ? PostChars(GetDlgItem(hBrowser, IDC_DRIVE_COMBO), letter)
                           : DoubleClickItem(GetDlgItem(hBrowser, IDC_FOLDER_LIST), step.target),
               "%s \"%s\"", step.bDrive ? "choose drive" : "double-click", step.target.c_str()));
    CheckBrowser(hBrowser, step.parent, name);
}

// Every drive the system has is offered, in its order, each knowing its index.
HWND OpenBrowser(HWND hPage, const std::string& parent)
{
    Press(hPage, IDC_BROWSE);
    HWND hBrowser = Dialog(kDirBrowser, hPage), hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    LRESULT count = 0, cch = 0, data = 0;
    bool bRead = Ask(hCombo, CB_GETCOUNT, 0, 0, count);
    std::string listed, system;
    for (const std::string& root : SystemDrives())
        system += " " + root;
    for (WPARAM i = 0; bRead && i < static_cast<WPARAM>(count); ++i) {
        // Through the A entry point Wine hands the text across unconverted.
        wchar_t szText[256] = L"";
        DWORD_PTR copied = 0;
        bRead = Ask(hCombo, CB_GETLBTEXTLEN, i, 0, cch) && cch >= 0 && cch < 256 &&
                SendMessageTimeoutW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(szText), SMTO_ABORTIFHUNG,
                                    ANSWER_MS, &copied) &&
                Ask(hCombo, CB_GETITEMDATA, i, 0, data) && data == static_cast<LRESULT>(i);
        listed += " " + std::string(szText, szText + wcslen(szText));  // drive roots are ASCII
    }
    Check(bRead && listed == system && !system.empty(), "drives offered, each knowing its index:%s", listed.c_str());
    CheckBrowser(hBrowser, parent, kProduct);
    return hBrowser;
}

void CloseBrowser(HWND hBrowser, int button, HWND hPage, const std::string& installDir)
{
    PressToClose(hBrowser, button, "dir-browser");
    std::string shown;
    bool bShown =
        PollUntil(APPEAR_MS, [&] { return (shown = TextOf(GetDlgItem(hPage, IDC_TARGET_EDIT))) == installDir; });
    Check(bShown, "page shows \"%s\"", shown.c_str());
}

void StartBeside(Run& other)
{
    other = {pi, hJob, hMain};
    pi = {};
    hMain = nullptr;
    Start();
}

void SwapRun(Run& other)
{
    std::swap(other.pi, pi);
    std::swap(other.hJob, hJob);
    std::swap(other.hMain, hMain);
    Need(Check(OpenRemote(pi.hProcess), "driving setup.exe %lu", pi.dwProcessId));
}
