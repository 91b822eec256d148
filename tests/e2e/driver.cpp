// e2e_driver SCENARIO SETUP_EXE SHOTS_DIR GAME_DIR: takes setup.exe through one
// scenario as a user would, on a machine where it never ran, checking each
// window on the way and saving a screenshot of each page and message box.
// Prints a line per check, then PASS (exit 0) or FAIL (exit 1); SKIP (exit
// 77) when the machine lacks what the scenario needs. GAME_DIR holds the
// game's files as they went into the payload, with the manifest that orders
// them.
//
// setup.exe is driven from outside: reads go through SendMessageTimeout,
// actions are posted (a sent click would block in its modal loops), and the
// screen is read back as the user sees it.
#include "resources/resource.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <string>
#include <vector>

namespace {

// Short polls, generous limits: Wine may take seconds to start a process. A
// target that takes longer than ANSWER_MS to answer one message is hung.
constexpr DWORD POLL_MS = 50, APPEAR_MS = 20000, ANSWER_MS = 5000;

// Polls until done() holds or ms have passed; true when it held.
template <class F> bool PollUntil(DWORD ms, F done, DWORD pollMs = POLL_MS)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(pollMs))
        if (GetTickCount() - start >= ms)
            return false;
    return true;
}

std::string ClassOf(HWND hWnd) { char sz[256] = ""; return GetClassNameA(hWnd, sz, sizeof(sz)) ? sz : ""; }
// The caption as the window manager keeps it: reading it sends no message.
std::string TitleOf(HWND hWnd) { char sz[1024] = ""; return GetWindowTextA(hWnd, sz, sizeof(sz)) ? sz : ""; }

// False when the target did not answer in time.
bool Ask(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return SendMessageTimeoutA(hWnd, uMsg, wParam, lParam, SMTO_ABORTIFHUNG, ANSWER_MS,
                               reinterpret_cast<PDWORD_PTR>(&result));
}

// The thread of hWnd has finished what it was handling: a sent message is
// only taken from its message loop.
bool Settled(HWND hWnd) { LRESULT ignored; return Ask(hWnd, WM_NULL, 0, 0, ignored); }

// WM_GETTEXT, up to 64 KiB; empty without an answer.
std::string TextOf(HWND hWnd)
{
    static char szText[1 << 16];
    LRESULT copied = 0;
    bool bRead = Ask(hWnd, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText), copied) && copied >= 0;
    return bRead ? std::string(szText, std::min(static_cast<size_t>(copied), sizeof(szText) - 1)) : "";
}

// The visible top-level windows of a process, or (pid 0) all the children of
// a window.
std::vector<HWND> Windows(DWORD pid, HWND hParent = nullptr)
{
    std::pair<DWORD, std::vector<HWND>> found = {pid, {}};
    WNDENUMPROC collect = [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& into = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (!into.first || (owner == into.first && IsWindowVisible(hWnd)))
            into.second.push_back(hWnd);
        return TRUE;
    };
    hParent ? EnumChildWindows(hParent, collect, reinterpret_cast<LPARAM>(&found))
            : EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return found.second;
}
std::vector<HWND> Children(HWND hWnd) { return Windows(0, hWnd); }

bool Usable(HWND hWnd) { return IsWindow(hWnd) && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd); }
bool Gone(HWND hWnd) { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }

// The keyboard focus of another thread (GetFocus only sees the caller's).
HWND FocusOf(HWND hWnd)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &info) ? info.hwndFocus : nullptr;
}

// Typed characters, as the keyboard's translation delivers them.
bool PostChars(HWND hTarget, const std::string& text)
{
    return Usable(hTarget) && std::all_of(text.begin(), text.end(), [&](char ch) {
               return PostMessageA(hTarget, WM_CHAR, static_cast<unsigned char>(ch), 1) != 0;
           });
}

// setup.exe, and memory in it for the list-view messages: they carry
// pointers the system does not copy across processes (of the same bitness).
PROCESS_INFORMATION pi = {};
char* pRemote;
constexpr int CCH_ITEM = 512;
bool Remote(HWND hWnd, UINT uMsg, WPARAM wParam, void* pData, size_t cb, LRESULT& result)
{
    return WriteProcessMemory(pi.hProcess, pRemote, pData, cb, nullptr) &&
           Ask(hWnd, uMsg, wParam, reinterpret_cast<LPARAM>(pRemote), result) &&
           ReadProcessMemory(pi.hProcess, pRemote, pData, cb, nullptr);
}

std::vector<std::string> ListViewTexts(HWND hList)
{
    std::vector<std::string> texts;
    LRESULT count = 0, cch = 0;
    bool bRead = Ask(hList, LVM_GETITEMCOUNT, 0, 0, count);
    for (WPARAM i = 0; bRead && i < static_cast<WPARAM>(count); ++i) {
        struct { LVITEMA item; char szText[CCH_ITEM]; } get = {};
        get.item.pszText = pRemote + sizeof(get.item);
        get.item.cchTextMax = CCH_ITEM;
        bRead = Remote(hList, LVM_GETITEMTEXTA, i, &get, sizeof(get), cch) && cch >= 0 && cch < CCH_ITEM;
        texts.emplace_back(get.szText, bRead ? static_cast<size_t>(cch) : 0);
    }
    return bRead ? texts : std::vector<std::string>{"(unreadable)"};
}

// A double click of the left button on the label of the item with the text.
bool DoubleClickItem(HWND hList, const std::string& item)
{
    std::vector<std::string> items = ListViewTexts(hList);
    WPARAM n = static_cast<WPARAM>(std::find(items.begin(), items.end(), item) - items.begin());
    RECT rc = {LVIR_LABEL, 0, 0, 0};
    LRESULT ok = 0;
    if (n == items.size() || !Ask(hList, LVM_ENSUREVISIBLE, n, FALSE, ok) ||
        !Remote(hList, LVM_GETITEMRECT, n, &rc, sizeof(rc), ok) || !ok || !Usable(hList))
        return false;
    // In the order the system delivers them: down, up, double click, up.
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    return PostMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageA(hList, WM_LBUTTONUP, 0, at) &&
           PostMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, at) && PostMessageA(hList, WM_LBUTTONUP, 0, at);
}

// Waits until the window and its controls have painted and the owning thread
// is back in its message loop, so that the screen shows them.
void WaitPainted(HWND hWnd)
{
    // Best effort: a screenshot of a half-painted page is still worth keeping.
    PollUntil(2000, [&] {
        std::vector<HWND> all = Children(hWnd);
        all.push_back(hWnd);
        return std::none_of(all.begin(), all.end(),
                            [](HWND h) { return IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE); });
    });
    // Two round trips: the first may overtake the painting thread before it
    // has gone idle, which is when Wine hands its drawing to the display.
    Settled(hWnd);
    Settled(hWnd);
}

// A rectangle of the screen copied into a bitmap of a memory DC: Grab{x, y, cx, cy}.
struct Grab {
    int x, y, cx, cy;
    HDC hScreen = GetDC(nullptr), hdc = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hdc, hBitmap);
    bool bCopied = hBitmap && BitBlt(hdc, 0, 0, cx, cy, hScreen, x, y, SRCCOPY | CAPTUREBLT);
    ~Grab() { SelectObject(hdc, hOld); DeleteObject(hBitmap); DeleteDC(hdc); ReleaseDC(nullptr, hScreen); }
};

// The whole screen as a BMP file: bottom-up rows of 24-bit pixels, each row
// padded to 4 bytes.
bool SaveScreenshot(const std::string& path)
{
    Grab screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    BITMAPINFOHEADER bih = {sizeof(bih), screen.cx, screen.cy, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<char> bits(((static_cast<size_t>(screen.cx) * 3 + 3) & ~size_t{3}) * static_cast<size_t>(screen.cy));
    BITMAPFILEHEADER bfh = {0x4D42 /* "BM" */, static_cast<DWORD>(sizeof(bfh) + sizeof(bih) + bits.size()), 0, 0,
                            sizeof(bfh) + sizeof(bih)};
    SelectObject(screen.hdc, screen.hOld);  // GetDIBits wants the bitmap free
    bool bRead = screen.bCopied && GetDIBits(screen.hdc, screen.hBitmap, 0, static_cast<UINT>(screen.cy), bits.data(),
                                             reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS) == screen.cy;
    FILE* f = bRead ? std::fopen(path.c_str(), "wb") : nullptr;
    bool bWritten = f && std::fwrite(&bfh, sizeof(bfh), 1, f) == 1 && std::fwrite(&bih, sizeof(bih), 1, f) == 1 &&
                    std::fwrite(bits.data(), bits.size(), 1, f) == 1;
    return f && std::fclose(f) == 0 && bWritten;
}

// Which standard icon a control shows, by name: its pixels on the screen
// compared with each standard icon drawn over the same background.
std::string IdentifyIcon(HWND hIconControl)
{
    RECT rc;
    POINT origin = {0, 0};
    if (!IsWindowVisible(hIconControl) || !GetClientRect(hIconControl, &rc) || !ClientToScreen(hIconControl, &origin) ||
        rc.right <= 0 || rc.bottom <= 0)
        return "none";
    Grab shown{origin.x, origin.y, rc.right, rc.bottom}, drawn{origin.x, origin.y, rc.right, rc.bottom};
    // The corner is background in every standard icon.
    HBRUSH hBackground = CreateSolidBrush(GetPixel(shown.hdc, 0, 0));
    const char* pszBest = nullptr;
    long long bestDiff = 0;
    for (auto [pszIcon, id] : {std::pair{"hand", IDI_HAND}, {"question", IDI_QUESTION},
                               {"exclamation", IDI_EXCLAMATION}, {"asterisk", IDI_ASTERISK}}) {
        FillRect(drawn.hdc, &rc, hBackground);
        DrawIconEx(drawn.hdc, 0, 0, LoadIconA(nullptr, id), rc.right, rc.bottom, 0, nullptr, DI_NORMAL);
        long long diff = 0;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x)
                for (int shift = 0; shift < 24; shift += 8)
                    diff += std::abs(static_cast<int>(GetPixel(shown.hdc, x, y) >> shift & 0xFF) -
                                     static_cast<int>(GetPixel(drawn.hdc, x, y) >> shift & 0xFF));
        if (!pszBest || diff < bestDiff)
            pszBest = pszIcon, bestDiff = diff;
    }
    DeleteObject(hBackground);
    // Near-identical or nothing: an empty control matches every icon poorly.
    return shown.bCopied && bestDiff <= 12LL * rc.right * rc.bottom ? pszBest : "none";
}

constexpr char kCaption[] = "Quarnel - Setup", kProduct[] = "Quarnel", kDefaultDir[] = "C:\\Program files\\Quarnel";
constexpr char kProgramFiles[] = "C:\\Program files", kUpItem[] = "........";
constexpr unsigned long REQUIRED_KB = 21000;
// Made by the scenarios, removed by the reset.
constexpr char kGames[] = "C:\\QuarnelTestGames", kSub[] = "C:\\QuarnelTestGames\\Sub", kTyped[] = "C:\\QuarnelTyped";
// Linked in by scripts/test-drives.sh: too small to install on, and with more
// free bytes than 32 bits hold.
constexpr char kSmall[] = "Q:\\", kBig[] = "R:\\";
constexpr int MSGBOX_TEXT = 0xFFFF, MSGBOX_ICON = 0x440;  // Wine's message box controls
constexpr unsigned OK = 1u << IDOK, YESNO = 1u << IDYES | 1u << IDNO;

// A dialog is recognised by its controls: id, class and (when given) text.
// Pages have no title; a dialog opened from a page has one.
struct Control { int id; const char *pszClass, *pszText; };
struct DialogDesc { const char *pszName, *pszTitle; std::vector<Control> controls; };
const DialogDesc kAgreement = {"agreement", nullptr, {{IDOK, "Button", "I Agree"}, {IDCANCEL, "Button", "Cancel"},
                               {IDC_LICENCE_TEXT, "Edit", nullptr}}};
// With the directory it proposes on a fresh machine.
const DialogDesc kDirPage = {"install-dir", nullptr, {{IDOK, "Button", "Next"}, {IDCANCEL, "Button", "Cancel"},
                             {IDC_BROWSE, "Button", "Browse"}, {IDC_TARGET_EDIT, "Edit", kDefaultDir}}};
const DialogDesc kBrowser = {"dir-browser", "Setup - directory",
                             {{IDOK, "Button", "OK"}, {IDCANCEL, "Button", "Cancel"},
                              {IDC_FOLDER_NAME, "Edit", kProduct}, {IDC_DRIVE_COMBO, "ComboBox", nullptr},
                              {IDC_FOLDER_LIST, "SysListView32", nullptr}, {IDC_RESULT_PATH, "Edit", nullptr},
                              {IDC_FREE_SPACE, "Static", nullptr}}};

// buttons: bit n for the button with id n.
struct BoxDesc {
    const char *pszName, *pszText;
    unsigned buttons;
    const char* pszIcon;
    const char* pszCaption = kCaption;
    const char* pszRest = nullptr;  // when the text only begins so: what the rest matches
};
constexpr char kNoSpace[] = "You do not have enough Free disk space on this drive for installation. Change the drive "
                            "or remove some other program-s to free more disk space.";
const BoxDesc kInstalled = {"installed", "Quarnel was successfully installed", OK, "asterisk"};
const BoxDesc kConfirm = {"confirm-cancel", "Are you sure you want to cancel the setup?", YESNO, "question"};
// Its text goes on with an e-mail address.
const BoxDesc kCanceled = {"canceled", "Setup was canceled. Any notes or errors you can send on my email: ", OK,
                           "exclamation", kCaption, "[^\\s@]+@[^\\s@]+\\.[^\\s@]+"};
const BoxDesc kExists = {"directory-exists", "Directory allready exsist. Continue with the instalation ?\n\nNOTES: "
                         "Click on the YES button if this is previous installation of this software, otherwise click "
                         "on the NO button and select another installation directory.", YESNO, "question"};
const BoxDesc kNoFolder = {"no-folder", "You were forgoten to select an directory", OK, "exclamation"};
const BoxDesc kNoSpaceBox = {"no-space", kNoSpace, YESNO, "hand"};
// The browser's own; its space error leaves the caption to the system.
const BoxDesc kBrowserNoName = {"browser-no-name", "You forget to select a directory", OK, "exclamation", "Warning"};
const BoxDesc kBrowserNoSpace = {"browser-no-space", kNoSpace, YESNO, "hand", "Error"};
// The copy page's and the decompression's boxes leave the caption to the
// system; the decompression names zlib's reason after the program's name.
const BoxDesc kCantDecompress = {"cant-decompress", "Can't decompress setup files", OK, "hand", "Error"};
const BoxDesc kGzError = {"gzip-error", "setup: ", OK, "none", "Error", "[\\s\\S]+"};

// The run: setup.exe, its main window, and the checks so far.
const char* pszScenario;
std::string setupExe, shotsDir, gameDir;
std::vector<std::string> records;  // the payload's files, in archive order
HWND hMain = nullptr;
int failures = 0, shots = 0;

__attribute__((format(gnu_printf, 2, 3))) bool Check(bool bOk, const char* pszFormat, ...)
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
// Ends the scenario when a check the rest depends on failed.
struct Abort {};
void Need(bool bOk) { if (!bOk) throw Abort(); }

bool Exited() { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }
std::string Join(const std::string& dir, const std::string& name) { return dir + (dir.size() > 3 ? "\\" : "") + name; }
bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
bool IsDir(const std::string& p) { return Exists(p) && (GetFileAttributesA(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY); }
bool Borderless(HWND hWnd)
{
    LONG style = GetWindowLongA(hWnd, GWL_STYLE);
    return (style & WS_POPUP) && !(style & (WS_CAPTION | WS_THICKFRAME));
}
// A directory's subdirectories not starting with a dot, or all its entries.
std::vector<std::string> Entries(const std::string& dir, bool bSubdirs)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::string name = entry.path().filename().string();
        if (!bSubdirs || (entry.is_directory() && name[0] != '.'))
            names.push_back(name);
    }
    return names;
}

void Start()
{
    // In a job that ends setup.exe and all it started when the driver exits;
    // setup.exe looks for its files in the current directory.
    HANDLE hJob = CreateJobObjectA(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    std::string dir = setupExe.substr(0, setupExe.find_last_of('\\')), commandLine = "\"" + setupExe + "\"";
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    bool bStarted = hJob && SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
                    CreateProcessA(setupExe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                                   nullptr, dir.c_str(), &si, &pi) &&
                    AssignProcessToJobObject(hJob, pi.hProcess) && ResumeThread(pi.hThread) != static_cast<DWORD>(-1);
    if (bStarted)
        pRemote = static_cast<char*>(VirtualAllocEx(pi.hProcess, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    Need(Check(bStarted && pRemote, "start %s in a job (error %lu)", setupExe.c_str(), pRemote ? 0 : GetLastError()));
}

// What setup.exe shows when a scenario cannot go on.
void Dump()
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
void SaveShot(const char* pszWhat)
{
    char szName[96];
    std::snprintf(szName, sizeof(szName), "%s-%02d-%s.bmp", pszScenario, ++shots, pszWhat);
    Check(SaveScreenshot(shotsDir + "\\" + szName), "screenshot %s", szName);
}
void Shot(HWND hWnd, const char* pszWhat) { WaitPainted(hWnd); SaveShot(pszWhat); }

// A visible window of setup.exe that fits, waited for.
template <class F> HWND Wait(const char* pszWhat, F fits, DWORD pollMs = POLL_MS)
{
    HWND hFound = nullptr;
    PollUntil(APPEAR_MS, [&] {
        for (HWND hWnd : Windows(pi.dwProcessId))
            if (!hFound && fits(hWnd))
                hFound = hWnd;
        return hFound || Exited();
    }, pollMs);
    Need(Check(hFound != nullptr, "%s appears", pszWhat));
    return hFound;
}

// A click as the button itself reports it to its dialog. The label is read
// without a message, so a busy dialog gets the click at once.
void Press(HWND hDlg, int id)
{
    HWND hButton = GetDlgItem(hDlg, id);
    std::string label = TitleOf(hButton);
    bool bPosted = hButton && Usable(hDlg) && Usable(hButton) &&
                   PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hButton));
    Need(Check(bPosted, "press %d \"%s\"", id, label.c_str()));
}
// A button that closes its dialog.
void PressToClose(HWND hDlg, int id, const char* pszWhat)
{
    Press(hDlg, id);
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hDlg); }), "%s closes", pszWhat));
}

// A page is a borderless popup without title owned by the main window; a
// dialog opened from a page has a title and is owned by the page.
HWND Dialog(const DialogDesc& dlg, HWND hOwner = hMain)
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

// A message box interrupting hOwner: its text, caption, buttons and icon;
// then the answer, and it closes.
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

// A button (0: a key already pressed) raising a box; once the box is
// answered, the dialog stays as it was, or closes.
void Answer(HWND hDlg, int button, const BoxDesc& box, int answer, bool bStays = true)
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

// setup.exe exits with the code, and no other window shows meanwhile.
void ExpectExit(DWORD code)
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

// Cancel (or, already pressed, Esc) on a page: Yes, the page closes, OK on
// the closing box, and setup.exe ends.
void CancelOut(HWND hPage, int button = IDCANCEL)
{
    Answer(hPage, button, kConfirm, IDYES, false);
    Box(kCanceled, hMain, IDOK);
    ExpectExit(0);
}

// The main window (disabled while a page is open: visible is enough), a
// borderless popup over the whole screen, then the first page.
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
// Through the agreement to the install-directory page.
HWND DirPage()
{
    PressToClose(Agreement(), IDOK, "agreement page");
    return Dialog(kDirPage);
}
// A whole file; when it cannot be read, a text that no game file holds.
std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "\x01missing";
}

// Each record's state in dir, in archive order: W whole, P present but
// different, - absent.
std::string RecordStates(const std::string& dir)
{
    std::string states;
    for (const std::string& name : records) {
        std::string path = Join(dir, name);
        states += !Exists(path) ? '-' : ReadAll(path) == ReadAll(Join(gameDir, name)) ? 'W' : 'P';
    }
    return states;
}
std::string Expected(size_t nWhole, const std::string& rest = "")
{
    return std::string(nWhole, 'W') + rest + std::string(records.size() - nWhole - rest.size(), '-');
}

// The temporary files the copy page makes, where the system puts them.
std::vector<std::string> TempFiles()
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

// The end state of a copy run: the records as expected, AImages empty, and
// no temporary file.
void CheckCopied(const std::string& dir, const std::string& expected)
{
    std::string states = RecordStates(dir);
    Check(states == expected, "records in %s (W whole, P other, - none): %s", dir.c_str(), states.c_str());
    Check(IsDir(Join(dir, "AImages")) && Entries(Join(dir, "AImages"), false).empty(), "%s\\AImages made, empty",
          dir.c_str());
    CheckTempGone();
}

HWND CopyPage()
{
    // Its run starts by itself: it is caught as soon as it shows, by its
    // controls, without a message it could not answer while busy.
    HWND hPage = Wait("copy", [](HWND hWnd) {
        return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, IDC_PROGRESS_BAR) && GetDlgItem(hWnd, IDC_COPY_STATUS) &&
               TitleOf(GetDlgItem(hWnd, IDCANCEL)) == "Cancel";
    }, 1);
    Check(TitleOf(hPage).empty() && Borderless(hPage) && GetWindow(hPage, GW_OWNER) == hMain,
          "copy page: borderless, no title, owned by the main window");
    return hPage;
}

// Reads the copy page's status line until the page closes. The page answers
// between two records only, so what is read is the record just written;
// onRecord(i) runs when record i is first read. Returns the indices read.
std::vector<size_t> FollowCopy(HWND hPage, const std::string& dir, const std::function<void(size_t)>& onRecord = {})
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
void ShotMidRun(HWND hPage)
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

// The copy page (caught as it shows, unless already) writing every record
// into dir, shown mid-run; the success message, and the exit.
void Installed(const std::string& dir, HWND hPage = CopyPage())
{
    bool bShot = false;
    std::vector<size_t> seen = FollowCopy(hPage, dir, [&](size_t i) {
        if (!bShot && i >= records.size() / 2)
            bShot = true, ShotMidRun(hPage);
    });
    Check(!seen.empty() && seen.back() == records.size() - 1, "status line read last after the last record");
    CheckCopied(dir, Expected(records.size()));
    Box(kInstalled, hMain, IDOK);
    ExpectExit(0);
}

// The licence exactly as setup.exe carries it (its lines are checked by the
// Windows-side tests); one that fills the buffer counts as none.
void AgreementPage()
{
    HWND hPage = Agreement(), hEdit = GetDlgItem(hPage, IDC_LICENCE_TEXT);
    static char szLicence[1 << 16];
    HMODULE hSetup = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    int cch = hSetup ? LoadStringA(hSetup, IDS_LICENCE, szLicence, sizeof(szLicence)) : 0;
    FreeLibrary(hSetup);
    std::string shown = TextOf(hEdit);
    Check(cch > 0 && cch < static_cast<int>(sizeof(szLicence)) - 1 && shown == szLicence,
          "licence shown whole (%zu of %d chars)", shown.size(), cch);
    Check(FocusOf(hPage) == GetDlgItem(hPage, IDOK), "focus on \"I Agree\"");
    LRESULT defId = 0;
    Check(Ask(hPage, DM_GETDEFID, 0, 0, defId) && defId == MAKELONG(IDOK, DC_HASDEFID), "\"I Agree\" is the default");
    Check(GetWindowLongA(hEdit, GWL_STYLE) & ES_READONLY, "licence text is read-only");
    LRESULT first = -1, now = -1;
    Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, first);
    // Posted messages are handled in order: once the scroll shows, the typed
    // character before it has been handled too.
    PostMessageA(hEdit, WM_CHAR, 'x', 1);
    PostMessageA(hEdit, WM_VSCROLL, SB_PAGEDOWN, 0);
    bool bScrolled = PollUntil(APPEAR_MS, [&] { return Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, now) && now > first; });
    Check(bScrolled, "licence scrolls (first line %ld -> %ld)", static_cast<long>(first), static_cast<long>(now));
    Check(TextOf(hEdit) == shown, "typing into the licence changes nothing");
    CancelOut(hPage);
}

// Through the install-directory page to the copy page.
HWND CopyPageWithDefaults()
{
    PressToClose(DirPage(), IDOK, "install-dir page");
    return CopyPage();
}
void InstallWithDefaults() { Installed(kDefaultDir, CopyPageWithDefaults()); }

// No leaves the page as it was, scrolled and focused; Esc asks again.
void CancelFlow()
{
    HWND hPage = Agreement(), hEdit = GetDlgItem(hPage, IDC_LICENCE_TEXT);
    LRESULT line = 0, after = -1;
    bool bScrolled = Ask(hEdit, EM_LINESCROLL, 0, 5, line) && Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, line);
    Need(Check(bScrolled && line > 0, "licence scrolled down to line %ld", static_cast<long>(line)));
    Answer(hPage, IDCANCEL, kConfirm, IDNO);
    bool bKept = Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, after) && after == line;
    Check(bKept, "No: licence still scrolled to line %ld", static_cast<long>(after));
    HWND hFocus = FocusOf(hPage);
    Check(hFocus == GetDlgItem(hPage, IDOK), "No: focus back on \"I Agree\"");
    // The real key, down and up: the dialog manager turns Esc into IDCANCEL.
    HWND hKey = hFocus ? hFocus : hPage;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16 | 1;
    Need(Check(Usable(hKey) && PostMessageA(hKey, WM_KEYDOWN, VK_ESCAPE, scan) &&
                   PostMessageA(hKey, WM_KEYUP, VK_ESCAPE, scan | LPARAM{3} << 30),
               "press Esc"));
    CancelOut(hPage, 0);
}

// What the page says it will create is not what the user types over it.
void TypedDirIgnored()
{
    HWND hPage = DirPage(), hEdit = GetDlgItem(hPage, IDC_TARGET_EDIT);
    bool bTyped = PostMessageA(hEdit, EM_SETSEL, 0, -1) && PostChars(hEdit, kTyped) &&
                  PollUntil(APPEAR_MS, [&] { return TextOf(hEdit) == kTyped; });
    Check(bTyped, "typed \"%s\" over the directory", kTyped);
    PressToClose(hPage, IDOK, "install-dir page");
    Installed(kDefaultDir);
    Check(!IsDir(kTyped), "%s not created", kTyped);
}

// An existing directory is questioned on every Next until Yes.
void ExistingDir()
{
    Need(Check(CreateDirectoryA(kDefaultDir, nullptr), "%s made beforehand", kDefaultDir));
    HWND hPage = DirPage();
    for (int answer : {IDNO, IDNO, IDYES})
        Answer(hPage, IDOK, kExists, answer, answer == IDNO);
    Installed(kDefaultDir);
}

void CancelOnDirPage()
{
    HWND hPage = DirPage();
    Answer(hPage, IDCANCEL, kConfirm, IDNO);
    CancelOut(hPage);
    Check(!IsDir(kDefaultDir), "%s not created", kDefaultDir);
}

// The copy page ends with 1: the cancel message, nothing else.
void CopyCanceled(HWND hPage)
{
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "copy page closes"));
    Box(kCanceled, hMain, IDOK);
    ExpectExit(0);
}

// A click at once, waiting while the payload is staged and decompressed, is
// seen after the first record. One during the extraction: the records up to
// the one being written when it is seen are whole, none after.
void CancelCopy(bool bMidway)
{
    HWND hPage = CopyPageWithDefaults();
    size_t nPressed = 0;  // the record read before the click, from 1
    if (!bMidway)
        Press(hPage, IDCANCEL);
    else
        FollowCopy(hPage, kDefaultDir, [&](size_t i) {
            if (!nPressed && i >= 9)
                nPressed = i + 1, Press(hPage, IDCANCEL);
        });
    CopyCanceled(hPage);
    size_t nWhole = std::min(RecordStates(kDefaultDir).find_first_not_of('W'), records.size());
    Check(bMidway ? nPressed && nWhole >= nPressed && nWhole < records.size() : nWhole == 1,
          "pressed after record %zu was read: %zu records whole", nPressed, nWhole);
    CheckCopied(kDefaultDir, Expected(nWhole));
}

// A game file that cannot be replaced ends the run at its record, silently.
void ReadOnlyGameFile()
{
    const size_t nLocked = 10;
    std::string path = Join(kDefaultDir, records[nLocked]);
    std::error_code ec;
    bool bMade = std::filesystem::create_directories(path.substr(0, path.find_last_of('\\')), ec) &&
                 (std::ofstream(path, std::ios::binary) << "kept").flush() &&
                 SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine run as root writes to read-only files all the same; a handle that
    // shares only reading keeps it from being opened for writing.
    HANDLE hHold = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Need(Check(bMade && hHold != INVALID_HANDLE_VALUE, "read-only %s made beforehand", path.c_str()));
    HWND hPage = DirPage();
    Answer(hPage, IDOK, kExists, IDYES, false);
    CopyCanceled(CopyPage());
    CheckCopied(kDefaultDir, Expected(nLocked, "P"));
    Check(ReadAll(path) == "kept", "%s unchanged", path.c_str());
    CloseHandle(hHold);
}

// An installer whose payload does not decompress: zlib's reason, the page's
// error, the cancel message; the status line says what was going on. The
// decompression's box leaves the page usable: Cancel pressed there changes
// nothing the user sees.
void DamagedPayload(bool bCancelDuringBox)
{
    HWND hPage = CopyPageWithDefaults(), hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    if (bCancelDuringBox) {
        Wait("gzip-error box", [](HWND hWnd) { return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, MSGBOX_TEXT); });
        Press(hPage, IDCANCEL);
    }
    Box(kGzError, nullptr, IDOK);
    // Read while the next box is up: nothing else runs in between.
    std::string status = TextOf(hStatus);
    Check(status == "Decompressing setup files", "status line \"%s\"", status.c_str());
    Box(kCantDecompress, hPage, IDOK);
    CopyCanceled(hPage);
    std::vector<std::string> made = Entries(kDefaultDir, false);
    Check(made == std::vector<std::string>{"AImages"}, "no game file written (%zu entries)", made.size());
    CheckTempGone();
}

// An installer without its payload: one error, nothing made.
void MissingPayload()
{
    HWND hPage = CopyPageWithDefaults(), hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    std::string status;
    bool bRead = PollUntil(APPEAR_MS, [&] { return !(status = TextOf(hStatus)).empty(); });
    Check(bRead && status == "Preparing to decompress setup files", "status line \"%s\"", status.c_str());
    Box(kCantDecompress, hPage, IDOK);
    CopyCanceled(hPage);
    Check(Entries(kDefaultDir, false).empty(), "nothing made in %s", kDefaultDir);
}

// The temporary directory on a drive too small for the payload: the staged
// file is cut short, which the decompression reports.
void FullTempDrive()
{
    DamagedPayload(false);
    std::vector<std::string> onSmall = Entries(kSmall, false);
    Check(onSmall.empty(), "nothing left on %s%s", kSmall, onSmall.empty() ? "" : (": " + onSmall[0]).c_str());
}

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
struct BrowseStep { bool bDrive; std::string target, parent; };
void Browse(HWND hBrowser, const BrowseStep& step, const std::string& name = kProduct)
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
    HWND hBrowser = Dialog(kBrowser, hPage), hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    std::vector<std::string> drives, system = SystemDrives();
    LRESULT count = 0, cch = 0, data = 0;
    bool bRead = Ask(hCombo, CB_GETCOUNT, 0, 0, count);
    std::string listed;
    for (WPARAM i = 0; bRead && i < static_cast<WPARAM>(count); ++i) {
        // Through the A entry point Wine hands the text across unconverted.
        wchar_t szText[256] = L"";
        DWORD_PTR copied = 0;
        bRead = Ask(hCombo, CB_GETLBTEXTLEN, i, 0, cch) && cch >= 0 && cch < 256 &&
                SendMessageTimeoutW(hCombo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(szText), SMTO_ABORTIFHUNG,
                                    ANSWER_MS, &copied) &&
                Ask(hCombo, CB_GETITEMDATA, i, 0, data) && data == static_cast<LRESULT>(i);
        drives.emplace_back(szText, szText + wcslen(szText));  // drive roots are ASCII
        listed += " " + drives.back();
    }
    Check(bRead && drives == system && !system.empty(), "drives offered, each knowing its index:%s", listed.c_str());
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

void Browser()
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

// A drive too small is refused by the browser and by the page alike, and
// nothing is made on it; one with more than 4 GiB free is not refused.
void Drives()
{
    Check(FreeBytes(kSmall) < REQUIRED_KB * 1000, "%s has %llu bytes free", kSmall, FreeBytes(kSmall));
    Check(FreeBytes(kBig) > 0xFFFFFFFFu, "%s has %llu bytes free", kBig, FreeBytes(kBig));
    HWND hPage = DirPage(), hBrowser = OpenBrowser(hPage, kProgramFiles);
    Browse(hBrowser, {true, kSmall, kSmall});
    Answer(hBrowser, IDOK, kBrowserNoSpace, IDYES);
    CloseBrowser(hBrowser, IDCANCEL, hPage, Join(kSmall, kProduct));
    Answer(hPage, IDOK, kNoSpaceBox, IDNO);
    std::vector<std::string> made = Entries(kSmall, false);
    Check(made.empty(), "nothing created on %s (%s)", kSmall, made.empty() ? "empty" : made[0].c_str());

    // Reopened, the browser stands on the drive chosen last.
    hBrowser = OpenBrowser(hPage, kSmall);
    Browse(hBrowser, {true, kBig, kBig});
    CloseBrowser(hBrowser, IDOK, hPage, Join(kBig, kProduct));
    PressToClose(hPage, IDOK, "install-dir page");
    Installed(Join(kBig, kProduct));
    Check(!IsDir(kDefaultDir), "%s not created", kDefaultDir);
}

// Deletes a file or a directory with all it holds, read-only entries too.
void RemoveTree(const std::string& path)
{
    bool bDir = IsDir(path);
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    for (const std::string& name : bDir ? Entries(path, false) : std::vector<std::string>())
        RemoveTree(path + "\\" + name);
    bDir ? RemoveDirectoryA(path.c_str()) : DeleteFileA(path.c_str());
}

// Removes all an earlier run of the installer may have left (files only: it
// makes no shortcut and no registry entry); returns what could not be removed.
std::string ResetInstallState()
{
    std::vector<std::string> paths = TempFiles();
    paths.insert(paths.end(), {kDefaultDir, kGames, kTyped, Join(kSmall, kProduct), Join(kBig, kProduct)});
    std::string left;
    for (const std::string& path : paths) {
        RemoveTree(path);
        left += Exists(path) ? " " + path : "";
    }
    return left;
}

// bTestDrives: needs scripts/test-drives.sh up; pszTemp: the temporary
// directory of the setup (and the driver), when not the system's.
struct Scenario { const char* pszName; void (*run)(); bool bTestDrives; const char* pszTemp = nullptr; };
const Scenario kScenarios[] = {
    {"main_window", [] { CancelOut(Agreement()); }, false},
    {"agreement_page", AgreementPage, false},
    {"agree_to_success", InstallWithDefaults, false},
    {"cancel_flow", CancelFlow, false},
    {"typed_dir_ignored", TypedDirIgnored, false},
    {"existing_dir", ExistingDir, false},
    {"cancel_on_dir_page", CancelOnDirPage, false},
    {"browser", Browser, false},
    {"drives", Drives, true},
    {"copy_cancel_at_once", [] { CancelCopy(false); }, false},
    {"copy_cancel_midway", [] { CancelCopy(true); }, false},
    {"copy_read_only_file", ReadOnlyGameFile, false},
    // With test builds of setup.exe:
    {"damaged_payload", [] { DamagedPayload(false); }, false},
    {"damaged_payload_cancel", [] { DamagedPayload(true); }, false},
    {"missing_payload", MissingPayload, false},
    {"copy_full_temp_drive", FullTempDrive, true, kSmall},
    {"walkthrough", InstallWithDefaults, false},  // the demo: the same walk, for its screenshots
};

}  // namespace

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const Scenario* scenario = nullptr;
    for (const Scenario& candidate : kScenarios)
        if (argc == 5 && strcmp(argv[1], candidate.pszName) == 0)
            scenario = &candidate;
    if (!scenario) {
        std::fprintf(stderr, "usage: e2e_driver SCENARIO SETUP_EXE SHOTS_DIR GAME_DIR\n");
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
        Start();
        scenario->run();
    } catch (const Abort&) {
        Dump();
    }
    std::printf("%s %s\n", failures ? "FAIL" : "PASS", pszScenario);
    return failures ? 1 : 0;
}
