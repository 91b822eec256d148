// e2e_driver SCENARIO SETUP_EXE SHOTS_DIR: runs setup.exe through one
// scenario as a user would, checking every window on the way and saving a
// screenshot of each page and message box as it appears. Prints one line per
// check, then PASS or FAIL; exits with 0 only when every check passed.
#include "tests/e2e/reset.h"
#include "tests/e2e/ui.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

using namespace e2e;

namespace {

constexpr char kCaption[] = "Quarnel - Setup";
constexpr int IDS_LICENCE = 150;
constexpr int IDC_LICENCE = 151;
constexpr int IDC_BROWSE = 100;
constexpr int IDC_TARGET_EDIT = 101;
constexpr char kDefaultInstallDir[] = "C:\\Program files\\Quarnel";
constexpr int IDC_RESULT_PATH = 102;
constexpr int IDC_FREE_SPACE = 103;
constexpr int IDC_DRIVE_COMBO = 104;
constexpr int IDC_FOLDER_NAME = 105;
constexpr int IDC_FOLDER_LIST = 107;
constexpr unsigned long REQUIRED_KB = 21000;
constexpr char kUpItem[] = "........";
// Made by the scenarios (and removed by the reset).
constexpr char kTestGames[] = "C:\\QuarnelTestGames";
constexpr char kTestSub[] = "C:\\QuarnelTestGames\\Sub";
constexpr char kTypedDir[] = "C:\\QuarnelTyped";
// Linked in by scripts/test-drives.sh: too small to install on, and more free
// bytes than 32 bits hold.
constexpr char kSmallDrive[] = "Q:\\";
constexpr char kBigDrive[] = "R:\\";
// The driver's own exit code for a scenario that cannot run here.
constexpr int EXIT_SKIPPED = 77;
// Wine's message box: the text is static control 0xFFFF, the icon 0x440.
constexpr int MSGBOX_TEXT = 0xFFFF;
constexpr int MSGBOX_ICON = 0x440;

// A page is recognised by its controls: id, class and (when given) text.
struct ControlDesc {
    int id;
    const char* pszClass;
    const char* pszText;
};
struct PageDesc {
    const char* pszName;
    std::vector<ControlDesc> controls;
};

struct BoxDesc {
    const char* pszName;
    const char* pszText;
    bool bPrefix;  // the text only starts with pszText
    std::vector<int> buttons;
    Icon icon;
    const char* pszCaption = kCaption;
};

const PageDesc kAgreementPage = {
    "agreement", {{IDOK, "Button", "I Agree"}, {IDCANCEL, "Button", "Cancel"}, {IDC_LICENCE, "Edit", nullptr}}};
// Recognised with the directory it proposes on a fresh machine.
const PageDesc kInstallDirPage = {"install-dir",
                                  {{IDOK, "Button", "Next"},
                                   {IDCANCEL, "Button", "Cancel"},
                                   {IDC_BROWSE, "Button", "Browse"},
                                   {IDC_TARGET_EDIT, "Edit", kDefaultInstallDir}}};

// The installation with the default choices: every page in order, and the
// button that takes it on.
struct PageStep {
    const PageDesc* page;
    int button;
};
const PageStep kInstallPath[] = {{&kAgreementPage, IDOK}, {&kInstallDirPage, IDOK}};

const BoxDesc kInstalledBox = {"installed", "Quarnel was successfully installed", false, {IDOK}, Icon::Asterisk};
const BoxDesc kConfirmCancelBox = {
    "confirm-cancel", "Are you sure you want to cancel the setup?", false, {IDYES, IDNO}, Icon::Question};
const BoxDesc kCanceledBox = {"canceled", "Setup was canceled. Any notes or errors you can send on my email: ", true,
                              {IDOK}, Icon::Exclamation};

const PageDesc kBrowser = {"dir-browser",
                           {{IDOK, "Button", "OK"},
                            {IDCANCEL, "Button", "Cancel"},
                            {IDC_FOLDER_NAME, "Edit", nullptr},
                            {IDC_DRIVE_COMBO, "ComboBox", nullptr},
                            {IDC_FOLDER_LIST, "SysListView32", nullptr},
                            {IDC_RESULT_PATH, "Edit", nullptr},
                            {IDC_FREE_SPACE, "Static", nullptr}}};
constexpr char kNoSpaceText[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or remove some other "
    "program-s to free more disk space.";
const BoxDesc kExistsBox = {"directory-exists",
                            "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES "
                            "button if this is previous installation of this software, otherwise click on the NO "
                            "button and select another installation directory.",
                            false,
                            {IDYES, IDNO},
                            Icon::Question};
const BoxDesc kNoFolderBox = {
    "no-folder", "You were forgoten to select an directory", false, {IDOK}, Icon::Exclamation};
const BoxDesc kNoSpaceBox = {"no-space", kNoSpaceText, false, {IDYES, IDNO}, Icon::Hand};
// The browser's own boxes; its space error leaves the caption to the system.
const BoxDesc kBrowserNoNameBox = {
    "browser-no-name", "You forget to select a directory", false, {IDOK}, Icon::Exclamation, "Warning"};
const BoxDesc kBrowserNoSpaceBox = {"browser-no-space", kNoSpaceText, false, {IDYES, IDNO}, Icon::Hand, "Error"};

class Session {
public:
    Session(const char* pszScenario, const char* pszSetup, const char* pszShots)
        : scenario(pszScenario), setupExe(pszSetup), shotsDir(pszShots)
    {
    }
    // Closing the job ends setup.exe and anything it started.
    ~Session()
    {
        if (pi.hProcess) {
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
        if (hJob)
            CloseHandle(hJob);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    int failures = 0;
    const std::string scenario;
    const std::string setupExe;
    HWND hMain = nullptr;

    bool Check(bool bOk, const char* pszFormat, ...)
#if defined(__GNUC__)
        __attribute__((format(gnu_printf, 3, 4)))
#endif
    {
        char szLine[2048];
        va_list args;
        va_start(args, pszFormat);
        std::vsnprintf(szLine, sizeof(szLine), pszFormat, args);
        va_end(args);
        std::printf("%s %s: %s\n", bOk ? "ok  " : "FAIL", scenario.c_str(), szLine);
        if (!bOk)
            ++failures;
        return bOk;
    }

    bool Start()
    {
        hJob = CreateJobObjectA(nullptr, nullptr);
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        if (!Check(hJob && SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)),
                   "job object that ends setup.exe with the driver"))
            return false;
        // setup.exe looks for its files in the current directory.
        std::string dir = setupExe.substr(0, setupExe.find_last_of('\\'));
        std::string commandLine = "\"" + setupExe + "\"";
        STARTUPINFOA si = {};
        si.cb = sizeof(si);
        bool bStarted = CreateProcessA(setupExe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                       nullptr, dir.c_str(), &si, &pi) != 0;
        std::string error = bStarted ? "" : " (error " + std::to_string(GetLastError()) + ")";
        if (!Check(bStarted, "start %s%s", setupExe.c_str(), error.c_str()))
            return false;
        bool bInJob = AssignProcessToJobObject(hJob, pi.hProcess) != 0;
        ResumeThread(pi.hThread);
        return Check(bInJob, "setup.exe runs inside the job");
    }

    bool Exited() const { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }

    // Waits for a visible window of setup.exe that fits; nullptr (after
    // listing what is there) when none came or setup.exe ended first.
    template <class F> HWND WaitWindow(const char* pszWhat, F fits)
    {
        HWND hFound = nullptr;
        PollUntil(APPEAR_MS, [&] {
            for (HWND hWnd : VisibleWindows(pi.dwProcessId))
                if (fits(hWnd)) {
                    hFound = hWnd;
                    return true;
                }
            return Exited();
        });
        if (!Check(hFound != nullptr, "%s appears", pszWhat))
            ListWindows();
        return hFound;
    }

    HWND WaitMainWindow()
    {
        // Disabled while a page is open: visible is enough.
        hMain = WaitWindow("main window (class SETUP)", [](HWND hWnd) { return ClassOf(hWnd) == "SETUP"; });
        return hMain;
    }

    // A page is a borderless popup without title over the main window; a
    // dialog opened from a page (hOwner) has its own caption.
    HWND WaitPage(const PageDesc& page, HWND hOwner = nullptr, const char* pszTitle = nullptr)
    {
        std::string what = std::string(page.pszName) + (hOwner ? "" : " page");
        HWND hPage = WaitWindow(what.c_str(), [&](HWND hWnd) { return Usable(hWnd) && IsPage(hWnd, page); });
        if (!hPage)
            return nullptr;
        LONG style = GetWindowLongA(hPage, GWL_STYLE);
        if (pszTitle)
            Check(TitleOf(hPage) == pszTitle, "%s title \"%s\"", what.c_str(), TitleOf(hPage).c_str());
        else
            Check(TitleOf(hPage).empty() && (style & WS_POPUP) && !(style & (WS_CAPTION | WS_THICKFRAME)),
                  "%s is a borderless popup without title (style 0x%08lx, title \"%s\")", what.c_str(),
                  static_cast<unsigned long>(style), TitleOf(hPage).c_str());
        Check(GetWindow(hPage, GW_OWNER) == (hOwner ? hOwner : hMain), "%s is owned by the window it came from",
              what.c_str());
        Shot(hPage, page.pszName);
        return hPage;
    }

    HWND WaitBox(const BoxDesc& box, HWND hOwner)
    {
        std::string what = std::string(box.pszName) + " message box";
        HWND hBox = WaitWindow(what.c_str(), [](HWND hWnd) {
            return Usable(hWnd) && ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, MSGBOX_TEXT) &&
                   GetDlgItem(hWnd, MSGBOX_ICON);
        });
        if (!hBox)
            return nullptr;
        std::string text;
        ReadText(GetDlgItem(hBox, MSGBOX_TEXT), text);
        bool bTextOk = box.bPrefix ? text.compare(0, std::strlen(box.pszText), box.pszText) == 0 : text == box.pszText;
        Check(bTextOk, "%s box says \"%s\"", box.pszName, text.c_str());
        Check(TitleOf(hBox) == box.pszCaption, "%s box caption \"%s\"", box.pszName, TitleOf(hBox).c_str());
        Check(GetWindow(hBox, GW_OWNER) == hOwner, "%s box is owned by the window it interrupts", box.pszName);
        std::string shown;
        for (int id = IDOK; id <= IDCONTINUE; ++id) {
            HWND hButton = GetDlgItem(hBox, id);
            if (hButton && IsWindowVisible(hButton))
                shown += (shown.empty() ? "" : ",") + std::to_string(id);
        }
        std::string wanted;
        for (int id : box.buttons)
            wanted += (wanted.empty() ? "" : ",") + std::to_string(id);
        Check(shown == wanted, "%s box buttons (ids) %s, expected %s", box.pszName, shown.c_str(), wanted.c_str());
        Shot(hBox, box.pszName);
        Icon icon = IdentifyIcon(GetDlgItem(hBox, MSGBOX_ICON));
        Check(icon == box.icon, "%s box icon: %s, expected %s", box.pszName, IconName(icon), IconName(box.icon));
        return hBox;
    }

    bool Press(HWND hDlg, int id)
    {
        std::string label;
        ReadText(GetDlgItem(hDlg, id), label);
        return Check(PostClick(hDlg, id), "press %d \"%s\"", id, label.c_str());
    }

    bool Answer(HWND hBox, int id)
    {
        return Press(hBox, id) && Check(PollUntil(APPEAR_MS, [&] { return Gone(hBox); }), "message box closes");
    }

    // Presses a button of a dialog, answers the box that it raises, and the
    // dialog stays for the user.
    bool AnswerAndStay(HWND hDlg, int button, const BoxDesc& box, int answer)
    {
        if (!Press(hDlg, button))
            return false;
        HWND hBox = WaitBox(box, hDlg);
        return hBox && Answer(hBox, answer) &&
               Check(Settled(hDlg) && Usable(hDlg), "%s answered %d: the dialog stays", box.pszName, answer);
    }

    // Waits until the thread of hWnd has finished what it was handling: a
    // sent message is only taken from its message loop.
    bool Settled(HWND hWnd)
    {
        LRESULT ignored;
        return Ask(hWnd, WM_NULL, 0, 0, ignored);
    }

    HANDLE Process() const { return pi.hProcess; }

    // Ends the run: setup.exe exits with the code, and no window other than
    // the expected ones shows meanwhile.
    void ExpectExit(DWORD code, std::vector<HWND> expected)
    {
        std::vector<HWND> strays;
        bool bExited = PollUntil(APPEAR_MS, [&] {
            for (HWND hWnd : VisibleWindows(pi.dwProcessId))
                if (std::find(expected.begin(), expected.end(), hWnd) == expected.end()) {
                    strays.push_back(hWnd);
                    expected.push_back(hWnd);
                }
            return Exited();
        });
        std::string names;
        for (HWND hWnd : strays)
            names += " [" + ClassOf(hWnd) + " \"" + TitleOf(hWnd) + "\"]";
        Check(strays.empty(), "no other window appears before the exit%s", names.c_str());
        DWORD exitCode = STILL_ACTIVE;
        if (Check(bExited, "setup.exe exits"))
            GetExitCodeProcess(pi.hProcess, &exitCode);
        Check(bExited && exitCode == code, "exit code %lu", static_cast<unsigned long>(exitCode));
    }

    DWORD ThreadOf(HWND hWnd) const { return GetWindowThreadProcessId(hWnd, nullptr); }

    void Shot(HWND hWnd, const char* pszWhat)
    {
        WaitPainted(hWnd);
        char szName[64];
        std::snprintf(szName, sizeof(szName), "%s-%02d-%s.bmp", scenario.c_str(), ++shots, pszWhat);
        Check(SaveScreenshot(shotsDir + "\\" + szName), "screenshot %s", szName);
    }

private:
    const std::string shotsDir;
    HANDLE hJob = nullptr;
    PROCESS_INFORMATION pi = {};
    int shots = 0;

    static bool IsPage(HWND hWnd, const PageDesc& page)
    {
        if (ClassOf(hWnd) != "#32770")
            return false;
        for (const ControlDesc& control : page.controls) {
            HWND hControl = GetDlgItem(hWnd, control.id);
            std::string text;
            if (!hControl || lstrcmpiA(ClassOf(hControl).c_str(), control.pszClass) != 0 ||
                (control.pszText && (!ReadText(hControl, text) || text != control.pszText)))
                return false;
        }
        return true;
    }

    static BOOL CALLBACK ListControl(HWND hWnd, LPARAM)
    {
        std::string text;
        ReadText(hWnd, text);
        std::printf("       control %d %s \"%.60s\"\n", GetDlgCtrlID(hWnd), ClassOf(hWnd).c_str(), text.c_str());
        return TRUE;
    }

    void ListWindows()
    {
        if (Exited()) {
            DWORD exitCode = 0;
            GetExitCodeProcess(pi.hProcess, &exitCode);
            std::printf("       setup.exe has exited with code %lu\n", static_cast<unsigned long>(exitCode));
        }
        for (HWND hWnd : VisibleWindows(pi.dwProcessId)) {
            std::printf("       window %s \"%s\"%s\n", ClassOf(hWnd).c_str(), TitleOf(hWnd).c_str(),
                        IsWindowEnabled(hWnd) ? "" : " (disabled)");
            EnumChildWindows(hWnd, ListControl, 0);
        }
    }
};

// After Cancel or Esc on a page: Yes to the question, then OK on the closing
// box, and setup.exe ends.
void ConfirmCancel(Session& s, HWND hPage)
{
    HWND hConfirm = s.WaitBox(kConfirmCancelBox, hPage);
    if (!hConfirm || !s.Answer(hConfirm, IDYES))
        return;
    s.Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "page closes");
    HWND hCanceled = s.WaitBox(kCanceledBox, s.hMain);
    if (!hCanceled)
        return;
    std::string text;
    ReadText(GetDlgItem(hCanceled, MSGBOX_TEXT), text);
    std::string address = text.substr(std::min(text.size(), std::strlen(kCanceledBox.pszText)));
    size_t at = address.find('@');
    s.Check(at != std::string::npos && at > 0 && address.find('.', at) < address.size() - 1 &&
                address.find_first_of(" \r\n\t") == std::string::npos,
            "cancel message ends with an e-mail address (\"%s\")", address.c_str());
    if (s.Answer(hCanceled, IDOK))
        s.ExpectExit(0, {s.hMain, hCanceled});
}

void CancelOut(Session& s, HWND hPage)
{
    if (s.Press(hPage, IDCANCEL))
        ConfirmCancel(s, hPage);
}

void MainWindow(Session& s)
{
    HWND hMain = s.WaitMainWindow();
    if (!hMain)
        return;
    LONG style = GetWindowLongA(hMain, GWL_STYLE);
    s.Check(TitleOf(hMain) == "SETUP", "main window title \"%s\"", TitleOf(hMain).c_str());
    s.Check((style & WS_POPUP) && !(style & (WS_CAPTION | WS_THICKFRAME)),
            "main window is a borderless popup (style 0x%08lx)", static_cast<unsigned long>(style));
    RECT rc = {};
    GetWindowRect(hMain, &rc);
    int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    s.Check(rc.left == 0 && rc.top == 0 && rc.right == cx && rc.bottom == cy,
            "main window covers the screen: (%ld,%ld)-(%ld,%ld), screen %dx%d", rc.left, rc.top, rc.right, rc.bottom,
            cx, cy);
    if (HWND hPage = s.WaitPage(kAgreementPage))
        CancelOut(s, hPage);
}

// The licence exactly as setup.exe carries it, however long.
bool LoadLicence(const std::string& setupExe, std::string& licence)
{
    HMODULE hSetup = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!hSetup)
        return false;
    const wchar_t* pszText = nullptr;
    int cch = LoadStringW(hSetup, IDS_LICENCE, reinterpret_cast<LPWSTR>(&pszText), 0);
    if (cch > 0) {
        int cb = WideCharToMultiByte(CP_ACP, 0, pszText, cch, nullptr, 0, nullptr, nullptr);
        licence.assign(static_cast<size_t>(cb), '\0');
        WideCharToMultiByte(CP_ACP, 0, pszText, cch, &licence[0], cb, nullptr, nullptr);
    }
    FreeLibrary(hSetup);
    return cch > 0;
}

void AgreementPage(Session& s)
{
    if (!s.WaitMainWindow())
        return;
    HWND hPage = s.WaitPage(kAgreementPage);
    if (!hPage)
        return;
    HWND hEdit = GetDlgItem(hPage, IDC_LICENCE);
    std::string licence, shown;
    bool bLoaded = LoadLicence(s.setupExe, licence);
    s.Check(bLoaded, "licence string %d in setup.exe (%zu chars)", IDS_LICENCE, licence.size());
    bool bRead = ReadText(hEdit, shown);
    s.Check(bRead && !shown.empty() && shown == licence, "licence text shown whole (%zu of %zu chars)", shown.size(),
            licence.size());
    size_t lines = 0, strayBreaks = 0;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown.compare(i, 2, "\r\n") == 0)
            ++lines, ++i;
        else if (shown[i] == '\r' || shown[i] == '\n')
            ++strayBreaks;
    }
    s.Check(lines == 43 && strayBreaks == 0 && shown.size() >= 2 && shown.compare(shown.size() - 2, 2, "\r\n") == 0,
            "licence is 43 lines, each ending in CR LF (%zu lines, %zu stray breaks)", lines, strayBreaks);

    HWND hAgree = GetDlgItem(hPage, IDOK);
    s.Check(FocusOf(s.ThreadOf(hPage)) == hAgree, "focus on \"I Agree\"");
    LRESULT defId = 0;
    s.Check(Ask(hPage, DM_GETDEFID, 0, 0, defId) && defId == MAKELONG(IDOK, DC_HASDEFID),
            "\"I Agree\" is the default button (Enter)");

    s.Check(GetWindowLongA(hEdit, GWL_STYLE) & ES_READONLY, "licence text has ES_READONLY");
    LRESULT firstLine = -1;
    Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, firstLine);
    // Posted messages are handled in order: once the scroll shows, the typed
    // character before it has been handled too.
    PostMessageA(hEdit, WM_CHAR, 'x', 1);
    PostMessageA(hEdit, WM_VSCROLL, SB_PAGEDOWN, 0);
    LRESULT scrolledLine = firstLine;
    bool bScrolled = PollUntil(APPEAR_MS, [&] {
        return Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, scrolledLine) && scrolledLine > firstLine;
    });
    s.Check(bScrolled, "licence text scrolls (first visible line %ld -> %ld)", static_cast<long>(firstLine),
            static_cast<long>(scrolledLine));
    std::string typed;
    bRead = ReadText(hEdit, typed);
    s.Check(bRead && typed == shown, "typing into the licence text changes nothing");
    CancelOut(s, hPage);
}

bool IsDir(const std::string& path)
{
    DWORD attrs = GetFileAttributesA(path.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY);
}

// The success message after the last page, the exit, and the directory made.
void ExpectInstalled(Session& s, const char* pszDir)
{
    HWND hBox = s.WaitBox(kInstalledBox, s.hMain);
    if (hBox && s.Answer(hBox, IDOK))
        s.ExpectExit(0, {s.hMain, hBox});
    s.Check(IsDir(pszDir), "%s exists", pszDir);
}

// Every page with its default choice, then the success message.
void InstallWithDefaults(Session& s)
{
    if (!s.WaitMainWindow())
        return;
    for (const PageStep& step : kInstallPath) {
        HWND hPage = s.WaitPage(*step.page);
        if (!hPage || !s.Press(hPage, step.button))
            return;
        s.Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "%s page closes", step.page->pszName);
    }
    ExpectInstalled(s, kDefaultInstallDir);
}

void CancelFlow(Session& s)
{
    if (!s.WaitMainWindow())
        return;
    HWND hPage = s.WaitPage(kAgreementPage);
    if (!hPage)
        return;
    HWND hEdit = GetDlgItem(hPage, IDC_LICENCE);
    HWND hAgree = GetDlgItem(hPage, IDOK);
    LRESULT line = 0, lineAfter = -1;
    std::string text, textAfter;
    bool bRead = Ask(hEdit, EM_LINESCROLL, 0, 5, line) && Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, line) &&
                 ReadText(hEdit, text);
    s.Check(bRead && line > 0, "licence scrolled down to line %ld", static_cast<long>(line));

    if (!s.Press(hPage, IDCANCEL))
        return;
    HWND hConfirm = s.WaitBox(kConfirmCancelBox, hPage);
    if (!hConfirm)
        return;
    s.Check(!IsWindowEnabled(hPage), "page waits for the answer (disabled)");
    if (!s.Answer(hConfirm, IDNO))
        return;
    if (!s.Check(PollUntil(APPEAR_MS, [&] { return Usable(hPage); }), "No: the page is back"))
        return;
    bRead = ReadText(hEdit, textAfter) && Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, lineAfter);
    s.Check(bRead && textAfter == text && lineAfter == line,
            "No: licence text and scroll position unchanged (line %ld)", static_cast<long>(lineAfter));
    HWND hFocus = FocusOf(s.ThreadOf(hPage));
    s.Check(hFocus == hAgree, "No: focus back on \"I Agree\"");

    // The real key: the dialog manager turns Esc into IDCANCEL.
    if (s.Check(PostKey(hFocus ? hFocus : hPage, VK_ESCAPE), "press Esc"))
        ConfirmCancel(s, hPage);
}


// Through the agreement to the install-directory page.
HWND OpenDirPage(Session& s)
{
    if (!s.WaitMainWindow())
        return nullptr;
    HWND hAgreement = s.WaitPage(kAgreementPage);
    if (!hAgreement || !s.Press(hAgreement, IDOK))
        return nullptr;
    return s.WaitPage(kInstallDirPage);
}

bool NextGoesOn(Session& s, HWND hPage)
{
    return s.Press(hPage, IDOK) &&
           s.Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "install-dir page closes");
}

// What the page says it will create is not what the user types over it.
void TypedDirIgnored(Session& s)
{
    HWND hPage = OpenDirPage(s);
    if (!hPage)
        return;
    HWND hEdit = GetDlgItem(hPage, IDC_TARGET_EDIT);
    std::string text;
    bool bTyped = PostMessageA(hEdit, EM_SETSEL, 0, -1) && PostChars(hEdit, kTypedDir) &&
                  PollUntil(APPEAR_MS, [&] { return ReadText(hEdit, text) && text == kTypedDir; });
    s.Check(bTyped, "typed \"%s\" over the directory", text.c_str());
    if (NextGoesOn(s, hPage))
        ExpectInstalled(s, kDefaultInstallDir);
    s.Check(!IsDir(kTypedDir), "%s not created", kTypedDir);
}

// An existing directory is questioned on every Next until Yes.
void ExistingDir(Session& s)
{
    s.Check(CreateDirectoryA(kDefaultInstallDir, nullptr) != 0, "%s made beforehand", kDefaultInstallDir);
    HWND hPage = OpenDirPage(s);
    if (hPage && s.AnswerAndStay(hPage, IDOK, kExistsBox, IDNO) && s.Press(hPage, IDOK)) {
        HWND hBox = s.WaitBox(kExistsBox, hPage);
        if (hBox && s.Answer(hBox, IDYES) &&
            s.Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "Yes: install-dir page closes"))
            ExpectInstalled(s, kDefaultInstallDir);
    }
}

void CancelOnDirPage(Session& s)
{
    HWND hPage = OpenDirPage(s);
    if (hPage && s.AnswerAndStay(hPage, IDCANCEL, kConfirmCancelBox, IDNO))
        CancelOut(s, hPage);
    s.Check(!IsDir(kDefaultInstallDir), "%s not created", kDefaultInstallDir);
}

std::vector<std::string> SystemDrives()
{
    char szList[4 * 26 + 2] = "";
    DWORD cch = GetLogicalDriveStringsA(sizeof(szList), szList);
    std::vector<std::string> roots;
    for (char* p = szList; cch < sizeof(szList) && *p; p += std::strlen(p) + 1)
        roots.push_back(CharUpperA(p));
    return roots;
}

bool DriveListed(const std::string& root)
{
    std::vector<std::string> roots = SystemDrives();
    return std::find(roots.begin(), roots.end(), root) != roots.end();
}

// The free space the browser should report: bytes free to the user in units
// of 1000, saturated at what 32 bits hold rather than wrapped.
unsigned long long FreeKB(const std::string& root)
{
    ULARGE_INTEGER avail = {}, total, free;
    if (!GetDiskFreeSpaceExA(root.c_str(), &avail, &total, &free))
        return 0;
    return std::min<ULONGLONG>(avail.QuadPart, 0xFFFFFFFFu) / 1000;
}

std::string InstallDirOf(const std::string& parent, const std::string& name)
{
    return parent + (parent.size() > 3 ? "\\" : "") + name;
}

// The browser stands in parent with the name: the result path, the drive,
// its free space and the listing (up item below a root, the subfolders not
// starting with a dot, the product folder; sorted) all say so.
void CheckBrowser(Session& s, HWND hBrowser, const std::string& parent, const std::string& name)
{
    std::string result, drive, free, want = InstallDirOf(parent, name), root = parent.substr(0, 3);
    bool bShown = PollUntil(APPEAR_MS, [&] {
        return ReadText(GetDlgItem(hBrowser, IDC_RESULT_PATH), result) && result == want;
    }) && s.Settled(hBrowser);
    s.Check(bShown, "browser shows %s", result.c_str());
    bool bDrive = ReadText(GetDlgItem(hBrowser, IDC_DRIVE_COMBO), drive) && drive == root;
    s.Check(bDrive, "drive %s selected", drive.c_str());

    unsigned long shown = 0, expected = static_cast<unsigned long>(FreeKB(root));
    char szLine[128] = "";
    bool bFormat = ReadText(GetDlgItem(hBrowser, IDC_FREE_SPACE), free) &&
                   std::sscanf(free.c_str(), " Available: %lu", &shown) == 1 &&
                   std::snprintf(szLine, sizeof(szLine), " Available: %lu KB, Required: %lu KB", shown,
                                 REQUIRED_KB) > 0 &&
                   free == szLine;
    // Other programs write to the host's disks meanwhile.
    s.Check(bFormat && shown + expected / 100 >= expected && shown <= expected + expected / 100,
            "free space \"%s\" (%s: %lu KB)", free.c_str(), root.c_str(), expected);

    std::vector<std::string> items, wantItems;
    if (parent.size() > 3)
        wantItems.push_back(kUpItem);
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((InstallDirOf(parent, "*")).c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && fd.cFileName[0] != '.')
                wantItems.push_back(fd.cFileName);
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    wantItems.push_back(name);
    bool bRead = ListViewTexts(s.Process(), GetDlgItem(hBrowser, IDC_FOLDER_LIST), items);
    auto before = [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; };
    bool bSorted = std::is_sorted(items.begin(), items.end(), before);
    std::sort(wantItems.begin(), wantItems.end(), before);
    std::vector<std::string> sorted = items;
    std::sort(sorted.begin(), sorted.end(), before);
    std::string listed;
    for (const std::string& item : items)
        listed += " [" + item.substr(0, 24) + "]";
    s.Check(bRead && bSorted && sorted == wantItems, "%s listed, sorted:%s", parent.c_str(), listed.c_str());
}

struct BrowseStep {
    bool bDrive;         // choose a drive from the combo, or double-click a list item
    std::string target;  // the drive root or the item
    std::string parent;  // where the browser then stands
};

bool Browse(Session& s, HWND hBrowser, const BrowseStep& step, const std::string& name)
{
    if (step.bDrive) {
        // Typing a letter selects the drive as the arrow keys would.
        HWND hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
        if (!s.Check(PostChars(hCombo, std::string(1, static_cast<char>(std::tolower(step.target[0])))),
                     "choose drive %s", step.target.c_str()))
            return false;
    } else {
        HWND hList = GetDlgItem(hBrowser, IDC_FOLDER_LIST);
        std::vector<std::string> items;
        ListViewTexts(s.Process(), hList, items);
        auto found = std::find(items.begin(), items.end(), step.target);
        POINT pt = {};
        bool bClicked = found != items.end() &&
                        ListViewItemCentre(s.Process(), hList, static_cast<int>(found - items.begin()), pt) &&
                        PostDoubleClick(hList, pt);
        if (!s.Check(bClicked, "double-click \"%s\" at (%ld,%ld)", step.target.c_str(), pt.x, pt.y))
            return false;
    }
    CheckBrowser(s, hBrowser, step.parent, name);
    return true;
}

HWND OpenBrowser(Session& s, HWND hPage, const std::string& parent)
{
    HWND hBrowser = s.Press(hPage, IDC_BROWSE) ? s.WaitPage(kBrowser, hPage, "Setup - directory") : nullptr;
    if (!hBrowser)
        return nullptr;
    std::string name;
    bool bName = ReadText(GetDlgItem(hBrowser, IDC_FOLDER_NAME), name) && name == "Quarnel";
    s.Check(bName, "folder name \"%s\"", name.c_str());
    // Every drive the system has, in its order, each knowing its index.
    HWND hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    std::vector<std::string> drives, system = SystemDrives();
    bool bData = ComboTexts(hCombo, drives);
    for (size_t i = 0; bData && i < drives.size(); ++i) {
        LRESULT data = -1;
        bData = Ask(hCombo, CB_GETITEMDATA, i, 0, data) && data == static_cast<LRESULT>(i);
    }
    std::string listed;
    for (const std::string& drive : drives)
        listed += " " + drive;
    s.Check(bData && drives == system && !system.empty(), "drives offered:%s", listed.c_str());
    CheckBrowser(s, hBrowser, parent, "Quarnel");
    return hBrowser;
}

bool CloseBrowser(Session& s, HWND hBrowser, int button, HWND hPage, const std::string& installDir)
{
    if (!s.Press(hBrowser, button) ||
        !s.Check(PollUntil(APPEAR_MS, [&] { return Gone(hBrowser); }), "dir-browser closes"))
        return false;
    std::string shown;
    bool bShown = PollUntil(APPEAR_MS, [&] {
        return ReadText(GetDlgItem(hPage, IDC_TARGET_EDIT), shown) && shown == installDir;
    });
    return s.Check(bShown, "page shows \"%s\"", shown.c_str());
}

// The name edit after one typed character, once the edit has handled it: the
// selection posted behind the character shows when it has.
bool TypeIntoName(Session& s, HWND hName, char ch, std::string& after)
{
    LRESULT sel = 0;
    std::string before;
    return ReadText(hName, before) &&
           Ask(hName, EM_SETSEL, before.size(), static_cast<LPARAM>(before.size()), sel) &&
           PostChars(hName, std::string(1, ch)) && PostMessageA(hName, EM_SETSEL, 0, 1) &&
           PollUntil(APPEAR_MS, [&] { return Ask(hName, EM_GETSEL, 0, 0, sel) && sel == MAKELONG(0, 1); }) &&
           s.Settled(hName) && ReadText(hName, after);
}

void Browser(Session& s)
{
    s.Check(CreateDirectoryA(kTestGames, nullptr) && CreateDirectoryA(kTestSub, nullptr), "%s made beforehand",
            kTestSub);
    std::string other;
    for (const std::string& root : SystemDrives())
        if (other.empty() && root != "C:\\")
            other = root;
    HWND hPage = OpenDirPage(s);
    HWND hBrowser = hPage ? OpenBrowser(s, hPage, "C:\\Program files") : nullptr;
    if (!hBrowser || !s.Check(!other.empty(), "a drive besides C: (%s)", other.c_str()))
        return;
    const BrowseStep kSteps[] = {
        {false, kUpItem, "C:\\"},         {false, "QuarnelTestGames", kTestGames}, {false, "Sub", kTestSub},
        {false, kUpItem, kTestGames},     {true, other, other},                    {true, "C:\\", "C:\\"},
        {false, "QuarnelTestGames", kTestGames},
    };
    for (const BrowseStep& step : kSteps)
        if (!Browse(s, hBrowser, step, "Quarnel"))
            return;
    s.Shot(hBrowser, "browser-games");

    // 99 characters are the most a name takes: a 100th is refused and the
    // name before it kept.
    HWND hName = GetDlgItem(hBrowser, IDC_FOLDER_NAME);
    std::string name98 = "Quarnel" + std::string(91, 'x'), typed, refused;
    LRESULT ok = 0;
    if (!s.Check(Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name98.c_str()), ok) && ok,
                 "name set to %zu characters", name98.size()))
        return;
    bool bTaken = TypeIntoName(s, hName, 'y', typed) && typed == name98 + "y";
    s.Check(bTaken, "99th character taken (%zu)", typed.size());
    bool bRefused = TypeIntoName(s, hName, 'z', refused) && refused == typed;
    s.Check(bRefused, "100th character refused (%zu)", refused.size());
    if (!Browse(s, hBrowser, {false, "Sub", kTestSub}, name98 + "y"))
        return;
    s.Shot(hBrowser, "browser-long-name");

    // No name: OK refuses, Cancel keeps it empty, and the page refuses Next.
    if (s.Check(Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), ok) && ok, "name cleared") &&
        s.AnswerAndStay(hBrowser, IDOK, kBrowserNoNameBox, IDOK) &&
        CloseBrowser(s, hBrowser, IDCANCEL, hPage, InstallDirOf(kTestSub, "")) &&
        s.AnswerAndStay(hPage, IDOK, kNoFolderBox, IDOK))
        CancelOut(s, hPage);
}

std::string TestDrivesMissing()
{
    for (const char* pszRoot : {kSmallDrive, kBigDrive})
        if (!DriveListed(pszRoot))
            return std::string(pszRoot) + " is not a drive (scripts/test-drives.sh up makes it, as root)";
    return "";
}

// A drive too small is refused by the browser and by the page alike; one
// with more than 4 GiB free is not.
void Drives(Session& s)
{
    s.Check(FreeKB(kSmallDrive) < REQUIRED_KB, "%s has %llu KB free", kSmallDrive, FreeKB(kSmallDrive));
    ULARGE_INTEGER bigFree = {}, total, free;
    s.Check(GetDiskFreeSpaceExA(kBigDrive, &bigFree, &total, &free) && bigFree.QuadPart > 0xFFFFFFFFu,
            "%s has %llu bytes free", kBigDrive, static_cast<unsigned long long>(bigFree.QuadPart));
    HWND hPage = OpenDirPage(s);
    HWND hBrowser = hPage ? OpenBrowser(s, hPage, "C:\\Program files") : nullptr;
    if (!hBrowser || !Browse(s, hBrowser, {true, kSmallDrive, kSmallDrive}, "Quarnel") ||
        !s.AnswerAndStay(hBrowser, IDOK, kBrowserNoSpaceBox, IDYES) ||
        !CloseBrowser(s, hBrowser, IDCANCEL, hPage, InstallDirOf(kSmallDrive, "Quarnel")) ||
        !s.AnswerAndStay(hPage, IDOK, kNoSpaceBox, IDNO))
        return;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((std::string(kSmallDrive) + "*").c_str(), &fd);
    s.Check(hFind == INVALID_HANDLE_VALUE, "nothing created on %s (%s)", kSmallDrive,
            hFind == INVALID_HANDLE_VALUE ? "empty" : fd.cFileName);
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);

    // Reopened, the browser stands on the drive chosen last.
    hBrowser = OpenBrowser(s, hPage, kSmallDrive);
    if (hBrowser && Browse(s, hBrowser, {true, kBigDrive, kBigDrive}, "Quarnel") &&
        CloseBrowser(s, hBrowser, IDOK, hPage, InstallDirOf(kBigDrive, "Quarnel")) && NextGoesOn(s, hPage))
        ExpectInstalled(s, InstallDirOf(kBigDrive, "Quarnel").c_str());
    s.Check(!IsDir(kDefaultInstallDir), "%s not created", kDefaultInstallDir);
}

struct Scenario {
    const char* pszName;
    void (*run)(Session&);
    // Why the scenario cannot run on this machine; empty when it can.
    std::string (*missing)() = nullptr;
};
const Scenario kScenarios[] = {
    {"main_window", MainWindow},
    {"agreement_page", AgreementPage},
    {"agree_to_success", InstallWithDefaults},
    {"cancel_flow", CancelFlow},
    {"typed_dir_ignored", TypedDirIgnored},
    {"existing_dir", ExistingDir},
    {"cancel_on_dir_page", CancelOnDirPage},
    {"browser", Browser},
    {"drives", Drives, TestDrivesMissing},
    // The demo: the same walk, run for its screenshots.
    {"walkthrough", InstallWithDefaults},
};

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const Scenario* scenario = nullptr;
    for (const Scenario& candidate : kScenarios)
        if (argc == 4 && std::strcmp(argv[1], candidate.pszName) == 0)
            scenario = &candidate;
    if (!scenario) {
        std::fprintf(stderr, "usage: e2e_driver SCENARIO SETUP_EXE SHOTS_DIR\nscenarios:");
        for (const Scenario& candidate : kScenarios)
            std::fprintf(stderr, " %s", candidate.pszName);
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::string missing = scenario->missing ? scenario->missing() : "";
    if (!missing.empty()) {
        std::printf("SKIP %s: %s\n", scenario->pszName, missing.c_str());
        return EXIT_SKIPPED;
    }
    CreateDirectoryA(argv[3], nullptr);

    Session s(scenario->pszName, argv[2], argv[3]);
    std::string leftovers;
    bool bFresh = ResetInstallState(leftovers);
    if (s.Check(bFresh, "fresh state%s%s", bFresh ? "" : ", left over:", leftovers.c_str()) && s.Start())
        scenario->run(s);
    std::printf("%s %s\n", s.failures ? "FAIL" : "PASS", scenario->pszName);
    return s.failures ? 1 : 0;
}
