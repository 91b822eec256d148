// The end-to-end driver's run and the installer-level steps the scenario
// files (scenarios_*.cpp) are written in. A step that cannot go on throws
// Abort through Need; main then shows what setup.exe has on the screen.
#pragma once
#include "resources/resource.h"
#include "tests/e2e/probe.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

constexpr char kCaption[] = "Quarnel - Setup", kProduct[] = "Quarnel", kDefaultDir[] = "C:\\Program files\\Quarnel";
// Linked in by scripts/test-drives.sh: too small to install on, and with more
// free bytes than 32 bits hold.
constexpr char kSmall[] = "Q:\\", kBig[] = "R:\\";
constexpr int MSGBOX_TEXT = 0xFFFF, MSGBOX_ICON = 0x440;  // Wine's message box controls
constexpr unsigned OK = 1u << IDOK, YESNO = 1u << IDYES | 1u << IDNO;

// A dialog is recognised by its controls: id, class and (when given) text.
// Pages have no title; a dialog opened from a page has one.
struct Control { int id; const char *pszClass, *pszText; };
struct DialogDesc { const char *pszName, *pszTitle; std::vector<Control> controls; };
inline const DialogDesc kAgreement = {"agreement", nullptr, {{IDOK, "Button", "I Agree"},
                                      {IDCANCEL, "Button", "Cancel"}, {IDC_LICENCE_TEXT, "Edit", nullptr}}};
// With the directory it proposes on a fresh machine.
inline const DialogDesc kDirPage = {"install-dir", nullptr, {{IDOK, "Button", "Next"}, {IDCANCEL, "Button", "Cancel"},
                                    {IDC_BROWSE, "Button", "Browse"}, {IDC_TARGET_EDIT, "Edit", kDefaultDir}}};

// buttons: bit n for the button with id n.
struct BoxDesc {
    const char *pszName, *pszText;
    unsigned buttons;
    const char* pszIcon;
    const char* pszCaption = kCaption;
    const char* pszRest = nullptr;  // when the text only begins so: what the rest matches
};
constexpr BoxDesc kInstalled = {"installed", "Quarnel was successfully installed", OK, "asterisk"};
constexpr BoxDesc kConfirm = {"confirm-cancel", "Are you sure you want to cancel the setup?", YESNO, "question"};
// Its text goes on with an e-mail address.
constexpr BoxDesc kCanceled = {"canceled", "Setup was canceled. Any notes or errors you can send on my email: ", OK,
                               "exclamation", kCaption, "[^\\s@]+@[^\\s@]+\\.[^\\s@]+"};
constexpr BoxDesc kExists = {"directory-exists", "Directory allready exsist. Continue with the instalation ?\n\nNOTES: "
                             "Click on the YES button if this is previous installation of this software, otherwise "
                             "click on the NO button and select another installation directory.", YESNO, "question"};

// The run: setup.exe, the job that holds it and all it starts, its main
// window, the payload's files in archive order.
inline PROCESS_INFORMATION pi = {};
inline HANDLE hJob = nullptr;
inline std::string setupExe;
inline HWND hMain = nullptr;
// The registry view setup.exe writes through: a 32-bit program's HKLM\SOFTWARE
// is the 32-bit view of a 64-bit system.
inline REGSAM samSetupView = 0;
inline std::vector<std::string> records;

// Prints the check's line; false (and the run fails) when bOk is.
__attribute__((format(gnu_printf, 2, 3))) bool Check(bool bOk, const char* pszFormat, ...);
// Ends the scenario when a check the rest depends on failed.
struct Abort {};
inline void Need(bool bOk) { if (!bOk) throw Abort(); }
inline bool Exited() { return WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }

// The screen once hWnd has painted, numbered in the scenario's order.
void Shot(HWND hWnd, const char* pszWhat);
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
// A click as the button itself reports it to its dialog; PressToClose for a
// button that closes it.
void Press(HWND hDlg, int id);
void PressToClose(HWND hDlg, int id, const char* pszWhat);
// The dialog, its title and owner checked and its screenshot saved.
HWND Dialog(const DialogDesc& dlg, HWND hOwner = hMain);
// A message box interrupting hOwner: its text, caption, buttons and icon;
// then the answer, and it closes.
void Box(const BoxDesc& box, HWND hOwner, int answer);
// A button (0: a key already pressed) raising a box; once the box is
// answered, the dialog stays as it was, or closes.
void Answer(HWND hDlg, int button, const BoxDesc& box, int answer, bool bStays = true);
// The last box, over the main window: OK, and setup.exe exits with 0, no
// other window showing meanwhile.
void Ends(const BoxDesc& box);
// Cancel (or, already pressed, Esc) on a page: Yes, the page closes, OK on
// the closing box, and setup.exe ends.
void CancelOut(HWND hPage, int button = IDCANCEL);

// The main window, a borderless popup over the whole screen, then the
// agreement page; DirPage goes on through it to the install-directory page.
HWND Agreement();
HWND DirPage();
// The copy page, caught as soon as it shows; CopyPageWithDefaults goes
// through the install-directory page to it.
HWND CopyPage();
HWND CopyPageWithDefaults();
// Reads the copy page's status line until the page closes. The page answers
// between two records only, so what is read is the record just written;
// onRecord(i) runs when record i is first read. Returns the indices read.
std::vector<size_t> FollowCopy(HWND hPage, const std::string& dir, const std::function<void(size_t)>& onRecord = {});
// The copy page (caught as it shows, unless already) writing every record
// into dir, shown mid-run. Installed goes on: Finish on the shortcut page,
// the success message, and the exit.
void Copied(const std::string& dir, HWND hPage = CopyPage());
void Installed(const std::string& dir, HWND hPage = CopyPage());
void InstallWithDefaults();
// The shortcut page, shown after a whole copy run.
HWND ShortcutPage();

// Each record's state in dir, in archive order: W whole, P present but
// different, - absent; Expected: nWhole whole, then rest, then absent.
std::string RecordStates(const std::string& dir);
std::string Expected(size_t nWhole, const std::string& rest = "");
// The end state of a copy run: the records as expected, AImages empty, and
// no temporary file.
void CheckCopied(const std::string& dir, const std::string& expected);
void CheckTempGone();

// bTestDrives: needs scripts/test-drives.sh up; pszTemp: the temporary
// directory of the setup (and the driver), when not the system's; prepare:
// what the screen must show before setup.exe starts.
struct Scenario {
    const char* pszName;
    void (*run)();
    bool bTestDrives = false;
    const char* pszTemp = nullptr;
    void (*prepare)() = nullptr;
};
// Each scenario file adds its scenarios, and the paths they make that the
// reset before every run removes, with static objects:
//   static ScenarioList kMine = {{"name", Run}, {"other", [] { Run2(true); }, true}};
//   static MadePaths kMineMade = {"C:\\Made"};
// What the machine holds besides paths (registry entries, paths known only at
// run time) is reset by functions that return what they could not reset:
//   static ResetStep kMineReset = {ResetMine};
struct ScenarioList { ScenarioList(std::initializer_list<Scenario> scenarios); };
struct MadePaths { MadePaths(std::initializer_list<std::string> paths); };
struct ResetStep { ResetStep(std::string (*reset)()); };

// Fault-matrix support, for scenarios that need more than the steps above.
// The copy page's error box leaves the caption to the system.
constexpr BoxDesc kCantDecompress = {"cant-decompress", "Can't decompress setup files", OK, "hand", "Error"};
// The bytes of one of the game's files as they went into the payload.
std::string GameFile(const std::string& name);
// Starts setup.exe again, as a user would after the first run ended.
void StartAgain();
// Reports the scenario skipped (exit 77) when the drive is not there.
void NeedDrive(const char* pszRoot);
// One row of the fault matrix, printed as a table line when the scenario
// ends, however it ends: the fault, what the installer should do, what was
// seen (the scenario's words, the game's files in dir when given, the exit
// code), and whether every check held.
struct MatrixRow {
    const char *pszFault, *pszExpected;
    std::string dir = "", seen = "aborted";
    ~MatrixRow();
};

// The directory browser, opened from the install-directory page, and the
// free space it shows against the requirement, in units of 1000 bytes.
constexpr unsigned long REQUIRED_KB = 21000;
constexpr char kProgramFiles[] = "C:\\Program files";
inline const DialogDesc kDirBrowser = {"dir-browser", "Setup - directory",
                                       {{IDOK, "Button", "OK"}, {IDCANCEL, "Button", "Cancel"},
                                        {IDC_FOLDER_NAME, "Edit", kProduct}, {IDC_DRIVE_COMBO, "ComboBox", nullptr},
                                        {IDC_FOLDER_LIST, "SysListView32", nullptr},
                                        {IDC_RESULT_PATH, "Edit", nullptr}, {IDC_FREE_SPACE, "Static", nullptr}}};
constexpr char kNoSpace[] = "You do not have enough Free disk space on this drive for installation. Change the drive "
                            "or remove some other program-s to free more disk space.";
// The browser's space error leaves the caption to the system.
constexpr BoxDesc kNoSpaceBox = {"no-space", kNoSpace, YESNO, "hand"};
constexpr BoxDesc kBrowserNoSpace = {"browser-no-space", kNoSpace, YESNO, "hand", "Error"};
// The drive roots the system reports, and the bytes free to the user on one
// (0 when the system cannot tell).
std::vector<std::string> SystemDrives();
ULONGLONG FreeBytes(const std::string& root);
// The browser stands in parent with the folder name: its result path, drive,
// free-space line and listing say so.
void CheckBrowser(HWND hBrowser, const std::string& parent, const std::string& name);
// A drive chosen from the combo, or a folder double-clicked in the list;
// then the browser stands in parent.
struct BrowseStep { bool bDrive; std::string target, parent; };
void Browse(HWND hBrowser, const BrowseStep& step, const std::string& name = kProduct);
// Browse on the page: every drive the system has is offered, in its order;
// the browser stands in parent.
HWND OpenBrowser(HWND hPage, const std::string& parent);
// The browser closed with the button; the page then shows installDir.
void CloseBrowser(HWND hBrowser, int button, HWND hPage, const std::string& installDir);

// A second setup.exe run beside the first: StartBeside keeps the run driven
// so far in other and starts another, which the steps above drive from then
// on; SwapRun switches the two.
struct Run { PROCESS_INFORMATION pi; HANDLE hJob; HWND hMain; };
void StartBeside(Run& other);
void SwapRun(Run& other);
