// e2e_driver SCENARIO SETUP_EXE SHOTS_DIR: runs setup.exe through one
// scenario as a user would, checking every window on the way and saving a
// screenshot of each page and message box as it appears. Prints one line per
// check, then PASS or FAIL; exits with 0 only when every check passed.
#include "tests/e2e/reset.h"
#include "tests/e2e/ui.h"

#include <algorithm>
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

    HWND WaitPage(const PageDesc& page)
    {
        std::string what = std::string(page.pszName) + " page";
        HWND hPage = WaitWindow(what.c_str(), [&](HWND hWnd) { return Usable(hWnd) && IsPage(hWnd, page); });
        if (!hPage)
            return nullptr;
        LONG style = GetWindowLongA(hPage, GWL_STYLE);
        Check(TitleOf(hPage).empty() && (style & WS_POPUP) && !(style & (WS_CAPTION | WS_THICKFRAME)),
              "%s page is a borderless popup without title (style 0x%08lx, title \"%s\")", page.pszName,
              static_cast<unsigned long>(style), TitleOf(hPage).c_str());
        Check(GetWindow(hPage, GW_OWNER) == hMain, "%s page is owned by the main window", page.pszName);
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
        Check(TitleOf(hBox) == kCaption, "%s box caption \"%s\"", box.pszName, TitleOf(hBox).c_str());
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
    HWND hBox = s.WaitBox(kInstalledBox, s.hMain);
    if (hBox && s.Answer(hBox, IDOK))
        s.ExpectExit(0, {s.hMain, hBox});
    DWORD attrs = GetFileAttributesA(kDefaultInstallDir);
    s.Check(attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_DIRECTORY), "%s exists", kDefaultInstallDir);
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

struct Scenario {
    const char* pszName;
    void (*run)(Session&);
};
const Scenario kScenarios[] = {
    {"main_window", MainWindow},
    {"agreement_page", AgreementPage},
    {"agree_to_success", InstallWithDefaults},
    {"cancel_flow", CancelFlow},
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
    CreateDirectoryA(argv[3], nullptr);

    Session s(scenario->pszName, argv[2], argv[3]);
    std::string leftovers;
    bool bFresh = ResetInstallState(leftovers);
    if (s.Check(bFresh, "fresh state%s%s", bFresh ? "" : ", left over:", leftovers.c_str()) && s.Start())
        scenario->run(s);
    std::printf("%s %s\n", s.failures ? "FAIL" : "PASS", scenario->pszName);
    return s.failures ? 1 : 0;
}
