// e2e_driver ROW SETUP_EXE SHOTS_DIR GAME_DIR: runs one row of rows.txt
// against setup.exe as a user would, on a machine where it never ran,
// checking each window on the way and saving a screenshot of each page and
// message box. Prints a line per check, then PASS (exit 0) or FAIL (exit 1);
// SKIP (exit 77) when the machine lacks what the row needs. GAME_DIR holds
// the game's files as they went into the payload, with their manifest.
#include "tests/e2e/driver.h"

#include "location/location_rules.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <sstream>

static const char kRows[] =
#include "e2e_rows.inc"
    ;
static std::string shotsDir, gameDir, browserParent = kProgramFiles, seen;
static int failures = 0, shots = 0, rowExit = 0;

static bool Exited() { return WaitForSingleObject(run.job.pi.hProcess, 0) == WAIT_OBJECT_0; }
// A visible window of setup.exe that fits, waited for.
template <class F> static HWND Wait(const char* pszWhat, F fits, DWORD pollMs = POLL_MS)
{
    HWND hFound = nullptr;
    PollUntil(APPEAR_MS, [&] {
        for (HWND hWnd : Windows(run.job.pi.dwProcessId))
            if (!hFound && fits(hWnd))
                hFound = hWnd;
        return hFound || Exited();
    }, pollMs);
    Need(Check(hFound != nullptr, "%s appears", pszWhat));
    return hFound;
}

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

// The screen once hWnd (if any) has painted, numbered in the row's order.
void Shot(HWND hWnd, const char* pszWhat)
{
    char szName[96];
    std::snprintf(szName, sizeof(szName), "%s-%02d-%s.bmp", rowName.c_str(), ++shots, pszWhat);
    if (hWnd)
        WaitPainted(hWnd);
    Check(SaveScreenshot(shotsDir + "\\" + szName), "screenshot %s", szName);
}

// Under Wine the first window of a session starts its desktop process. It is
// brought up here, before setup.exe runs: otherwise setup.exe may start one of
// its own, inside its job, racing this process's; a desktop window that no
// explorer owns has no display driver, and setup.exe then makes no window and
// exits with 0.
static bool DesktopUp()
{
    HWND hDesktop = GetDesktopWindow();
    return GetWindowThreadProcessId(hDesktop, nullptr) &&
           SendMessageTimeoutA(hDesktop, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, ANSWER_MS, nullptr);
}

// setup.exe looks for its files in its own folder, its current directory.
static void StartSetup()
{
    Need(Check(DesktopUp(), "the desktop is up before setup.exe starts"));
    run = {};
    bool bStarted = qt::StartInJob(run.job, setupExe) && OpenRemote(run.job.pi.hProcess);
    Need(Check(bStarted, "start %s in a job (error %lu)", setupExe.c_str(), bStarted ? 0 : GetLastError()));
    BOOL bWow64 = FALSE;
    IsWow64Process(run.job.pi.hProcess, &bWow64);
    samSetupView = bWow64 ? KEY_WOW64_32KEY : 0;
    std::printf("  setup.exe runs as a %s program\n", bWow64 ? "32-bit" : "64-bit");
}

// What setup.exe shows when a row cannot go on.
static void Dump()
{
    for (HWND hWnd : Windows(run.job.pi.dwProcessId)) {
        std::printf("  window %s \"%s\"\n", ClassOf(hWnd).c_str(), TitleOf(hWnd).c_str());
        for (HWND hChild : Children(hWnd))
            std::printf("    %d %s \"%.60s\"\n", GetDlgCtrlID(hChild), ClassOf(hChild).c_str(), TextOf(hChild).c_str());
    }
}

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

static void Box(const BoxDesc& box, HWND hOwner, int answer)
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
    seen += (seen.empty() ? "" : ", ") + std::string(box.pszName) + (answer == IDYES ? " Yes" : answer == IDNO ? " No" : "");
}

static bool Answer(HWND hDlg, int button, const Step& step)
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
    Box(*step.pBox, hDlg, step.answer);
    bool bStays = step.answer != step.pBox->closesOn;
    bool bAsWanted = bStays ? PollUntil(APPEAR_MS, [&] { return Usable(hDlg); }) && Settled(hDlg) && texts() == before
                            : PollUntil(APPEAR_MS, [&] { return Gone(hDlg); });
    Need(Check(bAsWanted, "%s answered %d: the dialog %s", step.pBox->pszName, step.answer,
               bStays ? "stays as it was" : "closes"));
    return !bStays;
}

constexpr unsigned OK = 1u << IDOK, YESNO = 1u << IDYES | 1u << IDNO;
constexpr char kNoSpace[] = "You do not have enough Free disk space on this drive for installation. Change the drive "
                            "or remove some other program-s to free more disk space.";
// Boxes whose caption is "Error" or "Warning" leave it to the system or the browser.
static const BoxDesc kBoxes[] = {
    {"installed", "Quarnel was successfully installed", OK, "asterisk", kCaption, nullptr, 0},
    {"confirm", "Are you sure you want to cancel the setup?", YESNO, "question", kCaption, nullptr, IDYES},
    // Its text goes on with an e-mail address.
    {"canceled", "Setup was canceled. Any notes or errors you can send on my email: ", OK, "exclamation", kCaption,
     "[^\\s@]+@[^\\s@]+\\.[^\\s@]+", 0},
    {"exists", "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES button if this "
     "is previous installation of this software, otherwise click on the NO button and select another installation "
     "directory.", YESNO, "question", kCaption, nullptr, IDYES},
    {"cant-decompress", "Can't decompress setup files", OK, "hand", "Error", nullptr, 0},
    {"no-space", kNoSpace, YESNO, "hand", kCaption, nullptr, 0},
    {"browser-no-space", kNoSpace, YESNO, "hand", "Error", nullptr, 0},
    {"no-folder", "You were forgoten to select an directory", OK, "exclamation", kCaption, nullptr, 0},
    {"browser-no-name", "You forget to select a directory", OK, "exclamation", "Warning", nullptr, 0},
    {"confirm-shortcuts", "Cancel creating the shortcuts?", YESNO, "question", "Confirmation", nullptr, IDYES},
};
static const BoxDesc* FindBox(const std::string& name)
{
    for (const BoxDesc& box : kBoxes)
        if (name == box.pszName)
            return &box;
    return nullptr;
}

// The pages and the directory browser, each with what it shows on a fresh machine.
static const DialogDesc kAgreement = {"agreement", nullptr, {{IDOK, "Button", "I Agree"},
                                      {IDCANCEL, "Button", "Cancel"}, {IDC_LICENCE_TEXT, "Edit", nullptr}}};
static const DialogDesc kDirPage = {"install-dir", nullptr, {{IDOK, "Button", "Next"}, {IDCANCEL, "Button", "Cancel"},
                                    {IDC_BROWSE, "Button", "Browse"}, {IDC_TARGET_EDIT, "Edit", kDefaultDir}}};
static const DialogDesc kDirBrowser = {"dir-browser", "Setup - directory",
                                       {{IDOK, "Button", "OK"}, {IDCANCEL, "Button", "Cancel"},
                                        {IDC_FOLDER_NAME, "Edit", nullptr}, {IDC_DRIVE_COMBO, "ComboBox", nullptr},
                                        {IDC_FOLDER_LIST, "SysListView32", nullptr},
                                        {IDC_RESULT_PATH, "Edit", nullptr}, {IDC_FREE_SPACE, "Static", nullptr}}};
HWND ShortcutPage()
{
    static const DialogDesc kShortcutPage = {
        "shortcut", nullptr,
        {{IDOK, "Button", "Finish"}, {IDCANCEL, "Button", "Cancel"}, {IDC_BROWSE, "Button", "Browse"},
         {IDC_TARGET_EDIT, "Edit", nullptr}, {IDC_DESKTOP_CHECK, "Button", "Create program shortcat on the Desktop"}}};
    return Dialog(kShortcutPage, run.hMain);
}

// The main window, a borderless popup over the whole screen, then the
// agreement page (the main window is disabled meanwhile: visible is enough).
static void OpAgreement(const Step&)
{
    run.hMain = Wait("main window (class SETUP)", [](HWND hWnd) { return ClassOf(hWnd) == "SETUP"; });
    run.hPage = Dialog(kAgreement, run.hMain);
    RECT rc = {};
    GetWindowRect(run.hMain, &rc);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    Check(TitleOf(run.hMain) == "SETUP" && Borderless(run.hMain), "main window: title \"%s\", borderless popup",
          TitleOf(run.hMain).c_str());
    Check(rc.left == 0 && rc.top == 0 && rc.right == cx && rc.bottom == cy,
          "main window covers the %dx%d screen: (%ld,%ld)-(%ld,%ld)", cx, cy, rc.left, rc.top, rc.right, rc.bottom);
}

// Read once: every row compares the installed files with them more than once.
std::string GameFile(const std::string& name)
{
    static std::map<std::string, std::string> files;
    auto it = files.find(name);
    return it != files.end() ? it->second : files[name] = ReadAll(Join(gameDir, name));
}
static std::string RecordStates(const std::string& dir)
{
    std::string states;
    for (const std::string& name : records) {
        std::string path = Join(dir, name);
        states += !Exists(path) ? '-' : ReadAll(path) == GameFile(name) ? 'W' : 'P';
    }
    return states;
}
size_t WholeRecords(const std::string& dir) { return std::min(RecordStates(dir).find_first_not_of('W'), records.size()); }

// The temporary files the copy page makes, where the system puts them.
static std::vector<std::string> TempFiles()
{
    char szTemp[MAX_PATH] = "";
    DWORD cch = GetTempPathA(sizeof(szTemp), szTemp);
    if (cch == 0 || cch >= sizeof(szTemp))
        return {};
    return {szTemp + std::string("filesdata.gz"), szTemp + std::string("filesdata.dat")};
}

// Its run starts by itself: it is caught by its controls, without a message
// it could not answer while busy.
static HWND CopyPage()
{
    if (run.hCopy)
        return run.hCopy;
    run.hCopy = Wait("copy", [](HWND hWnd) {
        return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_PROGRESS_BAR) && GetDlgItem(hWnd, IDC_COPY_STATUS) &&
               TitleOf(GetDlgItem(hWnd, IDCANCEL)) == "Cancel";
    }, 1);
    Check(TitleOf(run.hCopy).empty() && Borderless(run.hCopy) && GetWindow(run.hCopy, GW_OWNER) == run.hMain,
          "copy page: borderless, no title, owned by the main window");
    return run.hCopy;
}

// The page answers between two records only, so what is read is the record
// just written.
static std::vector<size_t> FollowCopy(const std::function<void(size_t)>& onRecord = {})
{
    HWND hPage = CopyPage(), hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    std::vector<size_t> read;
    std::string strays;
    PollUntil(APPEAR_MS, [&] {
        std::string text = TextOf(hStatus);
        auto isText = [&](const std::string& name) { return text == installDir + "\\" + name; };
        size_t i = static_cast<size_t>(std::find_if(records.begin(), records.end(), isText) - records.begin());
        if (i < records.size() && (read.empty() || read.back() != i)) {
            read.push_back(i);
            if (onRecord)
                onRecord(i);
        } else if (i == records.size() && !text.empty() && strays.find(text) == std::string::npos) {
            strays += " [" + text + "]";
        }
        return Gone(hPage);
    }, 0);
    Check(std::is_sorted(read.begin(), read.end()) && strays.empty(),
          "status line read %zu times between records, each a record's path, in order%s", read.size(), strays.c_str());
    Need(Check(Gone(hPage), "copy page closes"));
    run.hCopy = nullptr;
    return read;
}

// The page mid-run as the user sees it, its bar blue from the left; the
// setup is held still meanwhile.
static void ShotMidRun(HWND hPage)
{
    RECT rc = {};
    GetWindowRect(GetDlgItem(hPage, IDC_PROGRESS_BAR), &rc);
    Need(Check(SuspendThread(run.job.pi.hThread) != static_cast<DWORD>(-1), "setup held mid-run"));
    Shot(nullptr, "copy-mid-run");
    Grab bar{rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top};
    COLORREF left = GetPixel(bar.hdc, 0, 1), right = GetPixel(bar.hdc, bar.cx - 1, 1);
    Check(left == RGB(0, 0, 255) && right == RGB(0, 0, 0), "bar mid-run: 0x%06lx at its left, 0x%06lx at its right",
          left, right);
    ResumeThread(run.job.pi.hThread);
}


static void TypeInto(HWND hEdit, const std::string& text)
{
    LRESULT set = 0;
    Need(Check(Ask(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), set) && PostChars(hEdit, text) &&
                   PollUntil(APPEAR_MS, [&] { return TextOf(hEdit) == text; }),
               "typed \"%s\"", text.c_str()));
}

// What setup.exe must require on the drive of root, worked out from what its
// copy run writes: the game's files, and where the temporary folder lies on
// that drive, its payload resource staged there and the archive it holds
// (the length in the gzip trailer).
static unsigned long RequiredOn(const std::string& root)
{
    static std::vector<uint64_t> cbFiles;
    static uint64_t cbStaged = 0, cbArchive = 0;
    if (cbFiles.empty()) {
        for (const std::string& name : records)
            cbFiles.push_back(GameFile(name).size());
        HMODULE hSetup = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        HRSRC hPayload = hSetup ? FindResourceA(hSetup, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) : nullptr;
        const unsigned char* pData =
            hPayload ? static_cast<const unsigned char*>(LockResource(LoadResource(hSetup, hPayload))) : nullptr;
        cbStaged = pData ? SizeofResource(hSetup, hPayload) : 0;
        Need(Check(cbStaged >= 18, "payload resource of %s: %llu bytes", setupExe.c_str(),
                   static_cast<unsigned long long>(cbStaged)));
        for (int i = 1; i <= 4; ++i)  // little-endian, the last byte the highest
            cbArchive = cbArchive << 8 | pData[cbStaged - i];
        FreeLibrary(hSetup);
    }
    char szTemp[MAX_PATH] = "";
    DWORD cchTemp = GetTempPathA(sizeof(szTemp), szTemp);
    bool bTemp = cchTemp > 1 && cchTemp < sizeof(szTemp) && toupper(szTemp[0]) == toupper(root[0]) && szTemp[1] == ':';
    PayloadSizes sizes = {cbFiles.data(), cbFiles.size(), cbStaged, cbArchive};
    return RequiredKB(&sizes, bTemp);
}

// The browser stands in parent with the name: the result path, the drive,
// its free space and the listing (up item below a root) all say so.
static void CheckBrowser()
{
    const std::string& parent = browserParent;
    std::string result, root = parent.substr(0, 3);
    Check(qt::PollText(GetDlgItem(hBrowser, IDC_RESULT_PATH), Join(parent, browserName), APPEAR_MS, &result) &&
              Settled(hBrowser), "browser shows %s", result.c_str());
    std::string drive = TextOf(GetDlgItem(hBrowser, IDC_DRIVE_COMBO));
    Check(drive == root, "drive %s selected", drive.c_str());
    // Bytes free to the user in units of 1000, saturated at what 32 bits hold
    // rather than wrapped; other programs write to the host's disks meanwhile.
    ULARGE_INTEGER avail = {};
    GetDiskFreeSpaceExA(root.c_str(), &avail, nullptr, nullptr);
    std::string free = TextOf(GetDlgItem(hBrowser, IDC_FREE_SPACE));
    unsigned long shown = 0, expected = static_cast<unsigned long>(std::min<ULONGLONG>(avail.QuadPart, ~0u) / 1000);
    char szLine[128] = "";
    std::sscanf(free.c_str(), " Available: %lu", &shown);
    std::snprintf(szLine, sizeof(szLine), " Available: %lu KB, Required: %lu KB", shown, RequiredOn(root));
    Check(free == szLine && shown + expected / 100 >= expected && shown <= expected + expected / 100,
          "free space \"%s\" (%s: %lu KB)", free.c_str(), root.c_str(), expected);
    std::vector<std::string> items = ListViewTexts(GetDlgItem(hBrowser, IDC_FOLDER_LIST));
    std::string listed;
    for (const std::string& item : items)
        listed += " [" + item.substr(0, 24) + "]";
    Check(items == qt::ExpectedFolderList(parent, parent.size() > 3, browserName), "%s listed, sorted:%s",
          parent.c_str(), listed.c_str());
}

// Browse on the page: every drive the system has is offered, in its order,
// each knowing its index.
static void OpBrowse(const Step&)
{
    Press(run.hPage, IDC_BROWSE);
    hBrowser = Dialog(kDirBrowser, run.hPage);
    HWND hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    LRESULT count = 0, cch = 0, data = 0;
    bool bRead = Ask(hCombo, CB_GETCOUNT, 0, 0, count);
    std::string listed, system;
    for (DWORD mask = GetLogicalDrives(), i = 0; i < 26; ++i)
        system += mask >> i & 1 ? " " + std::string(1, static_cast<char>('A' + i)) + ":\\" : "";
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
    CheckBrowser();
}

// A drive chosen from the combo (typing its letter selects it as the arrow
// keys would; "other": the first besides C:), or a folder (or the up item)
// double-clicked; the browser then stands there.
static void OpDrive(const Step& s)
{
    std::string root = s.arg;
    for (DWORD mask = GetLogicalDrives(), i = 0; root == "other" && i < 26; ++i)
        if (i != 2 && mask >> i & 1)
            root = std::string(1, static_cast<char>('A' + i)) + ":\\";
    std::string item = s.op == "up" ? qt::kUpItem : s.arg;
    size_t cut = browserParent.rfind('\\');
    Need(Check(s.op == "drive" ? PostChars(GetDlgItem(hBrowser, IDC_DRIVE_COMBO), std::string(1, char(tolower(root[0]))))
                               : DoubleClickItem(GetDlgItem(hBrowser, IDC_FOLDER_LIST), item),
               "%s %s", s.op.c_str(), item.c_str()));
    browserParent = s.op == "drive" ? root : s.op == "into" ? Join(browserParent, s.arg)
                                    : cut <= 2 ? browserParent.substr(0, 3) : browserParent.substr(0, cut);
    CheckBrowser();
}
static void OpAvailable(const Step& s)
{
    std::string line = TextOf(GetDlgItem(hBrowser, IDC_FREE_SPACE));
    std::string required = std::to_string(RequiredOn(browserParent.substr(0, 3)));
    Check(line == " Available: " + s.arg + " KB, Required: " + required + " KB", "free space line \"%s\"",
          line.c_str());
}
// The name typed in the browser (%XX: a byte of the ANSI code page; none:
// cleared); or "limit": 99 characters are the most it takes, of two typed
// after 98 the second is refused (once the selection posted behind the keys
// shows, the edit has handled them).
static void OpName(const Step& s)
{
    HWND hName = GetDlgItem(hBrowser, IDC_FOLDER_NAME);
    LRESULT set = 0, sel = 0;
    if (s.arg != "limit") {
        browserName = s.arg;
        for (size_t at; (at = browserName.find('%')) != std::string::npos;)
            browserName.replace(at, 3, 1, static_cast<char>(std::strtoul(browserName.substr(at + 1, 2).c_str(), nullptr, 16)));
        TypeInto(hName, browserName);
        return;
    }
    std::string name = kProduct + std::string(91, 'x');
    bool bTyped = Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), set) && set &&
                  Ask(hName, EM_SETSEL, 98, 98, sel) && PostChars(hName, "yz") &&
                  PostMessageA(hName, EM_SETSEL, 0, 1) &&
                  PollUntil(APPEAR_MS, [&] { return Ask(hName, EM_GETSEL, 0, 0, sel) && sel == MAKELONG(0, 1); }) &&
                  Settled(hName);
    browserName = TextOf(hName);
    Check(bTyped && browserName == name + "y", "98 characters and \"yz\": 99th taken, 100th refused (%zu)",
          browserName.size());
}

// OK, Next and Finish, Cancel: on the browser, the page or (Cancel, no page
// up) the copy page, whose click is seen between two records.
static void OpButton(const Step& s)
{
    int id = s.op == "cancel" ? IDCANCEL : IDOK;
    if (hBrowser) {
        if (s.pBox) {
            Answer(hBrowser, id, s);
            return;
        }
        // OK or Cancel, the page then shows the folder the browser stood in.
        PressToClose(hBrowser, id, "dir-browser");
        hBrowser = nullptr;
        installDir = Join(browserParent, browserName);
        std::string shown;
        Check(qt::PollText(GetDlgItem(run.hPage, IDC_TARGET_EDIT), installDir, APPEAR_MS, &shown), "page shows \"%s\"",
              shown.c_str());
        return;
    }
    if (!run.hPage && s.op == "finish")
        run.hPage = ShortcutPage();
    if (run.hPage) {
        if (s.pBox ? Answer(run.hPage, id, s) : (PressToClose(run.hPage, id, "page"), true))
            run.hPage = nullptr;
        return;
    }
    // The copy page: at once, once a box of its own is up, or after record N.
    Need(s.op == "cancel");
    HWND hCopy = CopyPage();
    size_t nPressed = 0, nAt = std::strtoul(s.arg.c_str(), nullptr, 10);
    if (s.arg == "box")
        Wait("a box", [](HWND hWnd) { return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, MSGBOX_TEXT); });
    if (!nAt) {
        Press(hCopy, IDCANCEL);
        return;
    }
    FollowCopy([&](size_t i) {
        if (!nPressed && i + 1 >= nAt)
            nPressed = i + 1, Press(hCopy, IDCANCEL);
    });
    size_t nWhole = WholeRecords(installDir);
    Check(nPressed && nWhole >= nPressed && nWhole < records.size(), "pressed after record %zu was read: %zu whole",
          nPressed, nWhole);
}

// The real key, down and up, to the control with the focus: the dialog
// manager turns Esc into Cancel.
static void OpEsc(const Step& s)
{
    HWND hFocus = FocusOf(run.hPage), hKey = hFocus ? hFocus : run.hPage;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16 | 1;
    Need(Check(Usable(hKey) && PostMessageA(hKey, WM_KEYDOWN, VK_ESCAPE, scan) &&
                   PostMessageA(hKey, WM_KEYUP, VK_ESCAPE, scan | LPARAM{3} << 30),
               "press Esc"));
    if (Answer(run.hPage, 0, s))
        run.hPage = nullptr;
}

// The last box, over the main window once the copy page (if up) is gone:
// OK, and setup.exe exits with the row's code, no other window meanwhile.
static void OpEnd(const Step& s)
{
    if (run.hCopy)
        Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(run.hCopy); }), "copy page closes"));
    run.hCopy = nullptr;
    const BoxDesc* pBox = FindBox(s.arg);
    Need(pBox != nullptr);
    Box(*pBox, run.hMain, IDOK);
    std::string strays;
    bool bExited = PollUntil(APPEAR_MS, [&] {
        for (HWND hWnd : Windows(run.job.pi.dwProcessId))
            if (std::string name = " [" + ClassOf(hWnd) + " \"" + TitleOf(hWnd) + "\"]";
                hWnd != run.hMain && strays.find(name) == std::string::npos)
                strays += name;
        return Exited();
    });
    DWORD exitCode = STILL_ACTIVE;
    GetExitCodeProcess(run.job.pi.hProcess, &exitCode);
    Check(strays.empty(), "no other window before the exit%s", strays.c_str());
    Check(bExited && exitCode == static_cast<DWORD>(rowExit), "exit code %lu", exitCode);
}

static void OpAImages(const Step&)
{
    std::string dir = Join(installDir, "AImages");
    Check(IsDir(dir) && qt::Entries(dir, false).empty(), "%s made, empty", dir.c_str());
}
static void OpTempGone(const Step&)
{
    std::string left;
    for (const std::string& path : TempFiles())
        left += Exists(path) ? " " + path : "";
    Check(left.empty(), "temporary files gone%s", left.c_str());
}

// The whole copy run, shown mid-run: every record whole, AImages made and
// empty, no temporary file left.
static void OpCopy(const Step& step)
{
    HWND hPage = CopyPage();
    bool bShot = false;
    std::vector<size_t> read = FollowCopy([&](size_t i) {
        if (!bShot && i >= records.size() / 2)
            bShot = true, ShotMidRun(hPage);
    });
    // Sampled from outside while the page runs at full speed, so a loaded
    // machine may miss the last few; the exact sequence is checked in-process.
    Check(!read.empty() && read.back() >= records.size() * 9 / 10, "status line followed the run to record %zu of %zu",
          read.empty() ? 0 : read.back() + 1, records.size());
    std::string states = RecordStates(installDir);
    Check(states == std::string(records.size(), 'W'), "every record whole in %s: %s", installDir.c_str(),
          states.c_str());
    OpAImages(step);
    OpTempGone(step);
}

// The run stops by itself, no box of the page's: the status line never
// named a record past the first that is not whole afterwards (sampled from
// outside, it may miss the last few).
static void OpCopyStops(const Step&)
{
    std::vector<size_t> read = FollowCopy();
    size_t nWhole = WholeRecords(installDir);
    Check(!read.empty() && read.back() <= nWhole, "the run stops by record %zu (last read %zu)", nWhole + 1,
          read.empty() ? 0 : read.back() + 1);
}

// Killed once record N was read: the records up to it whole, the staged files left.
static void OpKill(const Step& s)
{
    size_t nKilled = 0, nAt = std::strtoul(s.arg.c_str(), nullptr, 10);
    FollowCopy([&](size_t i) {
        if (nKilled || i + 1 < nAt)
            return;
        nKilled = i + 1;
        Need(Check(TerminateProcess(run.job.pi.hProcess, 1) &&
                       WaitForSingleObject(run.job.pi.hProcess, APPEAR_MS) == WAIT_OBJECT_0,
                   "setup.exe killed after record %zu was read", nKilled));
    });
    size_t nWhole = WholeRecords(installDir);
    std::vector<std::string> temp = TempFiles();
    Need(Check(nKilled && nWhole >= nKilled && nWhole < records.size(), "killed: %zu whole", nWhole));
    Check(temp.size() == 2 && Exists(temp[0]) && Exists(temp[1]), "the killed run left its staged files");
    seen += "killed";
}
static void OpAgain(const Step&)
{
    qt::EndJob(run.job);
    StartSetup();
}

static void OpStatus(const Step& s)
{
    std::string status;
    HWND hStatus = GetDlgItem(CopyPage(), IDC_COPY_STATUS);
    bool bRead = PollUntil(APPEAR_MS, [&] { return !(status = TextOf(hStatus)).empty(); });
    Check(bRead && status == s.arg, "status line \"%s\"", status.c_str());
}
// The decompression's box, without owner, names zlib's reason (the one
// given, or any) after the program's name; the copy page's own box follows.
static void OpGzipError(const Step& s)
{
    CopyPage();
    std::string text = "setup: " + s.arg + (s.arg.empty() ? "" : "\n");
    BoxDesc box = {"gzip-error", text.c_str(), OK, "none", "Error", s.arg.empty() ? "[\\s\\S]+" : nullptr, 0};
    Box(box, nullptr, IDOK);
}
static void OpCantDecompress(const Step&) { Box(*FindBox("cant-decompress"), CopyPage(), IDOK); }

// A second setup.exe beside the first, held still between two records on its
// copy page; swap switches which run the steps drive.
static Run other;
static void OpHold(const Step&)
{
    std::string status;
    bool bExtracting = PollUntil(APPEAR_MS, [&] {
        return (status = TextOf(GetDlgItem(CopyPage(), IDC_COPY_STATUS))).find(installDir) == 0;
    }, 0);
    Need(Check(bExtracting, "the run extracts: \"%s\"", status.c_str()));
    Need(Check(SuspendThread(run.job.pi.hThread) != static_cast<DWORD>(-1), "the run held"));
}
static void OpBeside(const Step&)
{
    other = run;
    StartSetup();
}
static void OpSwap(const Step&)
{
    std::swap(other, run);
    Need(Check(OpenRemote(run.job.pi.hProcess), "driving setup.exe %lu", run.job.pi.dwProcessId));
    Need(Check(ResumeThread(run.job.pi.hThread) == 1, "the held run goes on"));
}

static void OpAgree(const Step& s)
{
    if (!run.hPage)
        OpAgreement(s);
    PressToClose(run.hPage, IDOK, "agreement page");
    run.hPage = Dialog(kDirPage, run.hMain);
}
static void OpType(const Step& s) { TypeInto(GetDlgItem(run.hPage, IDC_TARGET_EDIT), s.arg); }
static void OpShot(const Step& s) { Shot(hBrowser ? hBrowser : run.hPage, s.arg.c_str()); }

// Setup: a drive the row needs (else it is skipped), a folder, the
// temporary directory, a drive's free space as the system reports it.
static void OpNeed(const Step& s)
{
    for (char c = 'A'; c <= 'Z'; ++c)
        if ((s.arg == "all" || toupper(s.arg[0]) == c) && !(GetLogicalDrives() >> (c - 'A') & 1)) {
            std::printf("SKIP %s: needs drive %c: (scripts/test-drives.sh up, as root)\n", rowName.c_str(), c);
            std::exit(77);
        }
}
static void OpMkdir(const Step& s)
{
    std::error_code ec;
    std::filesystem::create_directories(s.arg, ec);
    Need(Check(IsDir(s.arg), "%s made beforehand", s.arg.c_str()));
}
static void OpTemp(const Step& s)
{
    OpMkdir(s);
    SetEnvironmentVariableA("TMP", s.arg.c_str());
    SetEnvironmentVariableA("TEMP", s.arg.c_str());
}
static void OpFree(const Step& s)
{
    std::string root = s.arg.substr(0, 3), how = s.arg.substr(std::min<size_t>(s.arg.size(), 4));
    ULARGE_INTEGER free = {};
    bool bRead = GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr);
    ULONGLONG n = std::strtoull(how.c_str() + std::min(how.size(), how.find_first_of("0123456789")), nullptr, 10);
    bool bAsSaid = how == "none"                   ? !bRead
                   : how.compare(0, 5, "below") == 0 ? bRead && free.QuadPart < n
                   : how.compare(0, 5, "above") == 0 ? bRead && free.QuadPart > n
                                                     : bRead && free.QuadPart == n;
    Need(Check(bAsSaid, "%s: %s free (%s)", root.c_str(), bRead ? std::to_string(free.QuadPart).c_str() : "unreadable",
               how.c_str()));
}

// Afterwards: the records in the install directory as "W60 -*" (W whole,
// P other, - absent; a count, + one or more, * any), AImages made and empty,
// what a folder holds, what is absent, the temporary files gone.
static void CheckRecords(const std::string& expected)
{
    std::string states = RecordStates(installDir), pattern = std::regex_replace(expected, std::regex(" "), "");
    Check(std::regex_match(states, std::regex(std::regex_replace(pattern, std::regex("([WP-])([0-9]+)"), "$1{$2}"))),
          "records in %s (W whole, P other, - none): %s, expected %s", installDir.c_str(), states.c_str(), expected.c_str());
}
static void OpOnly(const Step& s)
{
    std::vector<std::string> names = qt::Entries(installDir, false);
    std::sort(names.begin(), names.end());
    std::string held;
    for (const std::string& name : names)
        held += (held.empty() ? "" : ",") + name;
    Check(held == s.arg, "%s holds only \"%s\": \"%s\"", installDir.c_str(), s.arg.c_str(), held.c_str());
}
static void OpEmpty(const Step& s)
{
    std::string held;
    for (const std::string& name : qt::Entries(s.arg, false))
        held += " " + name;
    Check(held.empty(), "nothing in %s%s", s.arg.c_str(), held.c_str());
}
static void OpAbsent(const Step& s)
{
    std::string path = s.arg.find(':') == std::string::npos ? Join(installDir, s.arg) : s.arg;
    Check(!Exists(path), "%s absent", path.c_str());
}

static std::map<std::string, OpFn>& AllOps() { static std::map<std::string, OpFn> all; return all; }
OpList::OpList(std::initializer_list<Op> ops)
{
    for (const Op& op : ops)
        AllOps()[op.pszName] = op.run;
}
static OpList kDriverOps = {
    {"agreement", OpAgreement}, {"agree", OpAgree}, {"next", OpButton}, {"ok", OpButton}, {"finish", OpButton},
    {"cancel", OpButton}, {"esc", OpEsc}, {"type", OpType}, {"end", OpEnd}, {"copy", OpCopy},
    {"copy-stops", OpCopyStops}, {"kill", OpKill}, {"again", OpAgain}, {"status", OpStatus},
    {"gzip-error", OpGzipError}, {"cant-decompress", OpCantDecompress}, {"hold", OpHold}, {"beside", OpBeside},
    {"swap", OpSwap}, {"browse", OpBrowse}, {"drive", OpDrive}, {"into", OpDrive}, {"up", OpDrive},
    {"available", OpAvailable}, {"name", OpName}, {"shot", OpShot}, {"need", OpNeed}, {"mkdir", OpMkdir},
    {"temp", OpTemp}, {"free", OpFree}, {"aimages", OpAImages}, {"only", OpOnly}, {"empty", OpEmpty},
    {"absent", OpAbsent}, {"temp-gone", OpTempGone},
};

// "a; b c; d@e; f>box:answer": the steps of one field.
void Interpret(const std::string& field)
{
    static const std::regex kStep(R"(\s*([a-z0-9-]+)(?:[ @]([^>]*?))?(?:>([a-z-]+):(yes|no|ok))?\s*)");
    std::stringstream in(field);
    for (std::string text; std::getline(in, text, ';');) {
        std::smatch m;
        if (text.find_first_not_of(' ') == std::string::npos || text == " -" || text == "-")
            continue;
        if (std::regex_match(text, std::regex(R"(\s*[WP-][0-9+*]*( [WP-][0-9+*]*)*\s*)"))) {
            CheckRecords(text.substr(text.find_first_not_of(' ')));
            continue;
        }
        Need(Check(std::regex_match(text, m, kStep) && AllOps().count(m[1]), "step \"%s\"", text.c_str()));
        Step step = {m[1], m[2], m[3].matched ? FindBox(m[3]) : nullptr,
                     m[4] == "yes" ? IDYES : m[4] == "no" ? IDNO : IDOK};
        Need(!m[3].matched || step.pBox);
        AllOps()[step.op](step);
    }
}

// One row as printed in the table scripts/test.sh shows: the fault and what
// the installer should do (its README entry), what was seen, and the verdict.
static void MatrixLine(const std::string& fault, const std::string& expected)
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(run.job.pi.hProcess, &code);
    std::string states = IsDir(installDir) ? RecordStates(installDir) : "";
    auto count = [&](char state) { return std::to_string(std::count(states.begin(), states.end(), state)); };
    std::string line = "MATRIX | " + fault + " (" + rowName + ") | " + expected + " | " + (seen.empty() ? "-" : seen);
    if (!states.empty())
        line += "; " + count('W') + " whole, " + count('P') + " other, " + count('-') + " absent";
    line += code == STILL_ACTIVE ? "; running" : "; exit " + std::to_string(code);
    line += failures ? " | FAIL |" : " | pass |";
    std::printf("%s\n", line.c_str());
    // Collected over the whole run for the table scripts/test.sh prints.
    if (FILE* pFile = std::fopen((shotsDir + "\\matrix.txt").c_str(), "a")) {
        std::fprintf(pFile, "%s\n", line.c_str());
        std::fclose(pFile);
    }
}

// Removes what an earlier run may have left: the temporary files, what any
// row makes, and (ResetShortcuts) the entries, groups and links.
static std::string ResetInstallState()
{
    std::vector<std::string> paths = TempFiles();
    for (const char* pszPath : {kDefaultDir, "C:\\QuarnelTestGames", "C:\\QuarnelTyped", "Q:\\Quarnel", "R:\\Quarnel",
                                "S:\\Temp", "S:\\Quarnel", "S:\\ballast.bin", "T:\\Quarnel", "U:\\Quarnel",
                                "V:\\Quarnel", "C:\\Program files\\Qu\xE4rnel", "C:\\Program files\\escaped.txt",
                                "C:\\escaped.txt", "C:\\QuarnelTypedGroup", "C:\\Quarnel", "C:\\QuarnelDeep",
                                kDownloads, "C:\\QuarnelPlanted", "C:\\QuarnelElsewhere", "C:\\QuarnelOtherGroup"})
        paths.push_back(pszPath);
    for (const std::string& name : qt::Entries(kDownloads, false))
        if (name.size() > 4 && lstrcmpiA(name.c_str() + name.size() - 4, ".dll") == 0)
            RegDeleteKeyValueA(HKEY_CURRENT_USER, kWineOverrides, name.substr(0, name.size() - 4).c_str());
    std::string left = ResetShortcuts();
    for (const std::string& path : paths) {
        qt::RemoveTree(path);
        left += Exists(path) ? " " + path : "";
    }
    return left;
}

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    // A row: name | labels | setup | steps | exit code | afterwards; a line
    // "= fault | expected | also tested" heads the rows of one README entry.
    std::vector<std::string> row, entry;
    std::stringstream in(kRows);
    for (std::string line; argc == 5 && row.empty() && std::getline(in, line);) {
        std::vector<std::string> fields;
        for (size_t at = 0, bar; at != std::string::npos; at = bar == std::string::npos ? bar : bar + 3)
            fields.push_back(line.substr(at, (bar = line.find(" | ", at)) - at));
        if (line[0] == '=')
            entry = {fields[0].substr(2), fields[1]};
        else if (fields.size() == 6 && fields[0] == argv[1])
            row = fields;
    }
    if (row.empty()) {
        std::fprintf(stderr, "usage: e2e_driver ROW SETUP_EXE SHOTS_DIR GAME_DIR (a row of rows.txt)\n");
        return 2;
    }
    rowName = argv[1];
    setupExe = argv[2];
    shotsDir = argv[3];
    gameDir = argv[4];
    rowExit = row[4] == "-" ? -1 : std::atoi(row[4].c_str());
    CreateDirectoryA(argv[3], nullptr);
    records = qt::ReadManifest(gameDir);
    try {
        Need(Check(!records.empty(), "%zu records listed in %s\\manifest.txt", records.size(), gameDir.c_str()));
        std::string left = ResetInstallState();
        Need(Check(left.empty(), "fresh state%s%s", left.empty() ? "" : ", left over:", left.c_str()));
        Interpret(row[2]);
        StartSetup();
        Interpret(row[3]);
        Interpret(row[5]);
    } catch (const Abort&) {
        Dump();
    }
    if (!entry.empty())
        MatrixLine(entry[0], entry[1]);
    std::printf("%s %s\n", failures ? "FAIL" : "PASS", rowName.c_str());
    return failures ? 1 : 0;
}
