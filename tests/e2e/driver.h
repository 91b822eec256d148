// The end-to-end driver: one interpreter over the rows of rows.txt. A row's
// setup, steps and checks afterwards are words naming operations; the
// installer-level ones live in driver.cpp, the few rows' own checks in
// ops.cpp and backdrop.cpp. A step that cannot go on throws Abort through
// Need; main then shows what setup.exe has on the screen.
#pragma once
#include "resources/resource.h"
#include "tests/common/windows_support.h"
#include "tests/e2e/probe.h"

#include <initializer_list>
#include <string>
#include <vector>

constexpr char kCaption[] = "Quarnel - Setup", kProduct[] = "Quarnel", kDefaultDir[] = "C:\\Program files\\Quarnel";
constexpr char kProgramFiles[] = "C:\\Program files";
// Where rows plant DLLs beside a copy of setup.exe, and the prefix's overrides.
constexpr char kDownloads[] = "C:\\QuarnelDownloads", kWineOverrides[] = "Software\\Wine\\DllOverrides";
constexpr int MSGBOX_TEXT = 0xFFFF, MSGBOX_ICON = 0x440;  // Wine's message box controls

// A dialog is recognised by its controls: id, class and (when given) text.
// Pages have no title; a dialog opened from a page has one.
struct Control { int id; const char *pszClass, *pszText; };
struct DialogDesc { const char *pszName, *pszTitle; std::vector<Control> controls; };

// A message box: its text (or the text it begins with, pszRest matching the
// rest), buttons (bit n for id n), icon and caption; the answer that closes
// the dialog it interrupts (0: none does).
struct BoxDesc {
    const char *pszName, *pszText;
    unsigned buttons;
    const char *pszIcon, *pszCaption, *pszRest;
    int closesOn;
};

// One step of a row: "op arg", "op@arg", and "op>box:answer" when it raises
// a box.
struct Step {
    std::string op, arg;
    const BoxDesc* pBox = nullptr;
    int answer = 0;
};
using OpFn = void (*)(const Step&);
struct Op { const char* pszName; OpFn run; };
// Each file adds its operations with a static object.
struct OpList { OpList(std::initializer_list<Op> ops); };

// The run: setup.exe in its job, its main window, the row's state.
struct Run { qt::JobRun job; HWND hMain = nullptr, hPage = nullptr, hCopy = nullptr; };
inline Run run;
inline std::string setupExe, rowName;
inline std::vector<std::string> records;  // the payload's files in archive order
inline REGSAM samSetupView = 0;           // a 32-bit setup.exe writes the 32-bit view
inline std::string installDir = kDefaultDir, programs, group;  // what the row installs and where its group goes
// The directory browser when open, where it stands and the name it proposes.
inline HWND hBrowser = nullptr;
inline std::string browserName = kProduct;

// Prints the check's line; false (and the row fails) when bOk is.
__attribute__((format(gnu_printf, 2, 3))) bool Check(bool bOk, const char* pszFormat, ...);
struct Abort {};
inline void Need(bool bOk) { if (!bOk) throw Abort(); }

void Shot(HWND hWnd, const char* pszWhat);
void Press(HWND hDlg, int id);
void PressToClose(HWND hDlg, int id, const char* pszWhat);
HWND Dialog(const DialogDesc& dlg, HWND hOwner);
HWND ShortcutPage();

// Each record whole in dir, counted from the first.
size_t WholeRecords(const std::string& dir);
std::string GameFile(const std::string& name);
inline std::string Programs() { return ShellFolder(0x17 /* CSIDL_COMMON_PROGRAMS */); }
inline std::string Desktop() { return ShellFolder(0x19 /* CSIDL_COMMON_DESKTOPDIRECTORY */); }
// Runs steps written as in a row; named operations made of others use it.
void Interpret(const std::string& steps);
// The registry entries, program groups and desktop link of earlier runs
// removed; what could not be.
std::string ResetShortcuts();
