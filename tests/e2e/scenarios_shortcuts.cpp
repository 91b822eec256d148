// The shortcut page and its browser: where the program group goes, what
// Finish and Cancel leave in the registry and on disk, and the shell opening
// the group at the end.
#include "tests/e2e/driver.h"

#include <objbase.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>

constexpr char kUpItem[] = "........", kLinkDesktop[] = "Quarnel.lnk";
constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
// The two parent keys the entries go under, and what a user who may read but
// not write them is allowed (read, delete, and changing the permissions back).
constexpr const char* kEntryParents[] = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
constexpr char kReadOnly[] = "D:P(A;;KRSDWD;;;WD)", kFullAccess[] = "D:(A;OICI;KA;;;WD)";
static bool SetKeyAccess(const char* pszKey, const char* pszSddl)
{
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    HKEY hKey = nullptr;
    bool bSet = ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &pSecurity, nullptr) &&
                RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, WRITE_DAC, &hKey) == ERROR_SUCCESS &&
                RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pSecurity) == ERROR_SUCCESS;
    if (hKey)
        RegCloseKey(hKey);
    LocalFree(pSecurity);
    return bSet;
}

// Made below the browser's top folder; the second sorts ahead of the up item.
constexpr char kTestGroups[] = "QuarnelTestGroups", kEarly[] = "!Early";
constexpr char kTypedGroup[] = "C:\\QuarnelTypedGroup", kFallbackGroup[] = "C:\\Quarnel";
constexpr char kDeepRoot[] = "C:\\QuarnelDeep";
static MadePaths kShortcutsMade = {kTypedGroup, kFallbackGroup, kDeepRoot};

constexpr BoxDesc kConfirmShortcuts = {"confirm-shortcuts", "Cancel creating the shortcuts?", YESNO, "question",
                                       "Confirmation"};
static const DialogDesc kGroupBrowser = {"group-browser", "",
                                         {{IDOK, "Button", "OK"}, {IDCANCEL, "Button", "Cancel"},
                                          {IDC_GROUP_PATH, "Edit", nullptr}, {IDC_GROUP_LIST, "SysListView32", nullptr}}};

static std::string Programs() { return ShellFolder(CSIDL_COMMON_PROGRAMS); }
static std::string Desktop() { return ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY); }
// Where the browser stops going up: the programs folder's longest ancestor
// of 21 characters or fewer.
static std::string BrowserTop()
{
    std::string path = Programs();
    while (path.size() > 21 && path.find('\\') != std::string::npos)
        path.erase(path.rfind('\\'));
    return path;
}

// The Shell Folders values written afresh (a scenario removes one), the
// product's keys removed, and the group folders and the desktop shortcut.
static std::string ResetShortcuts()
{
    std::string left;
    for (const char* pszKey : kEntryParents) {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_WRITE, &hKey) == ERROR_SUCCESS)
            RegCloseKey(hKey);
        else if (!SetKeyAccess(pszKey, kFullAccess))
            left += std::string(" locked HKLM\\") + pszKey;
    }
    for (auto [pszName, folder] : {std::pair{"Common Programs", Programs()}, {"Common Desktop", Desktop()}})
        if (folder.empty() || RegSetKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, pszName, REG_SZ, folder.c_str(),
                                              static_cast<DWORD>(folder.size() + 1)) != ERROR_SUCCESS)
            left += std::string(" Shell Folders: ") + pszName;
    // In both views: a 32-bit setup.exe writes the 32-bit one.
    for (const char* pszKey : {kAppPaths, kUninstall})
        for (REGSAM samView : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            if (LONG lResult = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, pszKey, samView, 0);
                lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND)
                left += std::string(" HKLM\\") + pszKey;
    for (const std::string& path : {Join(Programs(), kProduct), Join(Desktop(), kLinkDesktop),
                                    Join(BrowserTop(), kTestGroups)}) {
        RemoveTree(path);
        left += Exists(path) ? " " + path : "";
    }
    return left;
}
static ResetStep kShortcutsReset = {ResetShortcuts};

// A shortcut file as "target|description", "-" when it cannot be read.
static std::string LinkOf(const std::string& path)
{
    CoInitialize(nullptr);
    IShellLinkA* pLink = nullptr;
    IPersistFile* pFile = nullptr;
    wchar_t wszPath[MAX_PATH] = L"";
    char szTarget[MAX_PATH] = "", szDescription[MAX_PATH] = "";
    bool bRead = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wszPath, MAX_PATH) &&
                 SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                            reinterpret_cast<void**>(&pLink))) &&
                 SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile))) &&
                 SUCCEEDED(pFile->Load(wszPath, STGM_READ)) &&
                 SUCCEEDED(pLink->GetPath(szTarget, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                 SUCCEEDED(pLink->GetDescription(szDescription, MAX_PATH));
    if (pFile)
        pFile->Release();
    if (pLink)
        pLink->Release();
    CoUninitialize();
    return bRead ? std::string(szTarget) + "|" + szDescription : "-";
}

// A key of setup.exe's registry view, null when it cannot be opened.
static HKEY OpenKey(const char* pszKey, REGSAM samAccess)
{
    HKEY hKey = nullptr;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, samAccess | samSetupView, &hKey) == ERROR_SUCCESS ? hKey
                                                                                                          : nullptr;
}
// A registry value as "type:size:text", "-" when missing.
static std::string ValueOf(const char* pszKey, const char* pszName)
{
    char szData[512] = "";
    DWORD dwType = 0, cbData = sizeof(szData);
    HKEY hKey = OpenKey(pszKey, KEY_READ);
    bool bRead = hKey && RegGetValueA(hKey, nullptr, pszName, RRF_RT_ANY | RRF_NOEXPAND, &dwType, szData, &cbData) ==
                             ERROR_SUCCESS;
    if (hKey)
        RegCloseKey(hKey);
    return bRead ? std::to_string(dwType) + ":" + std::to_string(cbData) + ":" + szData : "-";
}
static bool SetValue(const char* pszKey, const char* pszName, const std::string& text)
{
    HKEY hKey = OpenKey(pszKey, KEY_WRITE);
    bool bSet = hKey && RegSetValueExA(hKey, pszName, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                       static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
    if (hKey)
        RegCloseKey(hKey);
    return bSet;
}
static std::string Sz(const std::string& text) { return "1:" + std::to_string(text.size() + 1) + ":" + text; }

// What the page left: the six values naming the group; the group's three
// shortcuts (bLinks, in the group when made) and the desktop's one, each
// pointing at its game file, or none.
static void CheckShortcuts(const std::string& group, bool bGroup, bool bLinks, bool bDesktop, bool bEntries = true)
{
    // The uninstall command quoted: Windows starts the stored text as it is.
    std::vector<std::string> values, expected = {Sz(kProduct), Sz(kDefaultDir), Sz(kProduct),
                                                  Sz("\"" + Join(kDefaultDir, "uninstall.exe") + "\""), Sz(group),
                                                  Sz(kDefaultDir)};
    if (!bEntries)
        expected.assign(expected.size(), "-");
    for (auto [pszKey, pszName] : {std::pair{kAppPaths, ""}, {kAppPaths, "Path"}, {kUninstall, "DisplayName"},
                                   {kUninstall, "UninstallString"}, {kUninstall, "Scdir"}, {kUninstall, "Progdir"}})
        values.push_back(ValueOf(pszKey, pszName));
    std::string shown;
    for (const std::string& value : values)
        shown += " [" + value + "]";
    Check(values == expected, "six values:%s", shown.c_str());

    Check(IsDir(group) == bGroup, "%s %s", group.c_str(), bGroup ? "made" : "not made");
    struct Link { std::string folder; const char *pszName, *pszTarget, *pszDescription; bool bMade; };
    for (const Link& link : {Link{Desktop(), kLinkDesktop, "quarnel.exe", "Quarnel", bDesktop},
                             {group, "Quarnel.lnk", "quarnel.exe", "Quarnel", bLinks},
                             {group, "Uninstall.lnk", "uninstall.exe", "Uninstall", bLinks},
                             {group, "Readme.lnk", "Readme.rtf", "Readme", bLinks}}) {
        std::string path = Join(link.folder, link.pszName), target = Join(kDefaultDir, link.pszTarget);
        std::string read = LinkOf(path);
        Check(link.bMade ? read == target + "|" + link.pszDescription && Exists(target) : !Exists(path),
              "%s: %s", path.c_str(), link.bMade ? read.c_str() : "none");
    }
}

// The processes setup.exe started that still run (setup.exe itself may
// still be listed for a moment after its exit).
static std::vector<DWORD> Started()
{
    struct { JOBOBJECT_BASIC_PROCESS_ID_LIST list; ULONG_PTR more[31]; } ids = {};
    if (!QueryInformationJobObject(hJob, JobObjectBasicProcessIdList, &ids, sizeof(ids), nullptr))
        return {DWORD(-1)};
    std::vector<DWORD> pids;
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i)
        if (ids.list.ProcessIdList[i] != pi.dwProcessId)
            pids.push_back(static_cast<DWORD>(ids.list.ProcessIdList[i]));
    return pids;
}
static std::string StartedNames()
{
    std::string names;
    for (DWORD pid : Started()) {
        char szImage[MAX_PATH] = "?";
        DWORD cch = sizeof(szImage);
        HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
        if (hProcess)
            QueryFullProcessImageNameA(hProcess, 0, szImage, &cch), CloseHandle(hProcess);
        names += " " + std::to_string(pid) + ":" + szImage;
    }
    return names;
}

// The shell's window of the group, named after its last component.
static HWND GroupWindow(const std::string& name)
{
    HWND hFolder = nullptr;
    PollUntil(APPEAR_MS, [&] {
        for (HWND hWnd : Windows(0))
            if (!hFolder && IsWindowVisible(hWnd) && TitleOf(hWnd) == name)
                hFolder = hWnd;
        return hFolder != nullptr;
    });
    return hFolder;
}
// After the exit: the shell shows the group in a window named after its
// last component (the window is closed here); for no group, nothing shows. The window is looked for among all processes: when no shell
// process runs yet, the one setup.exe starts hands the folder to another.
static void CheckShellOpened(const std::string& group)
{
    if (group.empty()) {
        // Silent: no window and no box from any process. (Whether a shell
        // process starts is Wine's affair: the first window of a session
        // starts its desktop process too.)
        std::string shown;
        PollUntil(1500, [&] {
            for (HWND hWnd : Windows(0))
                if (IsWindowVisible(hWnd))
                    shown += " [" + ClassOf(hWnd) + ":" + TitleOf(hWnd) + "]";
            return !shown.empty();
        });
        Check(shown.empty(), "nothing shown for an empty folder%s", shown.c_str());
        return;
    }
    std::string name = group.substr(group.rfind('\\') + 1);
    HWND hFolder = GroupWindow(name);
    std::string started = StartedNames();
    Need(Check(hFolder, "the shell opens the group: a window \"%s\" (started:%s)", name.c_str(), started.c_str()));
    Shot(hFolder, "program-group");
    PostMessageA(hFolder, WM_CLOSE, 0, 0);
    Check(PollUntil(APPEAR_MS, [&] { return Gone(hFolder); }), "group window closed");
}

// The browser in parent: edit 211 and the sorted listing (the up item below
// 21 characters, the real subfolders, the product folder) say so.
static void CheckGroupBrowser(HWND hBrowser, const std::string& parent)
{
    std::string shown, want = parent + "\\" + kProduct;
    bool bShown = PollUntil(APPEAR_MS, [&] { return (shown = TextOf(GetDlgItem(hBrowser, IDC_GROUP_PATH))) == want; });
    Check(bShown && Settled(hBrowser), "group browser shows %s", shown.c_str());
    std::vector<std::string> expected = Entries(parent + "\\", true), items = ListViewTexts(GetDlgItem(hBrowser, IDC_GROUP_LIST));
    if (parent.size() > 21)
        expected.push_back(kUpItem);
    expected.push_back(kProduct);
    std::sort(expected.begin(), expected.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    std::string listed;
    for (const std::string& item : items)
        listed += " [" + item + "]";
    Check(items == expected, "%s listed, sorted:%s", parent.c_str(), listed.c_str());
}
static void PageShows(HWND hPage, const std::string& text)
{
    std::string shown;
    bool bShown = PollUntil(APPEAR_MS, [&] { return (shown = TextOf(GetDlgItem(hPage, IDC_TARGET_EDIT))) == text; });
    Check(bShown, "page shows \"%s\"", shown.c_str());
}

// After a whole copy: the page proposes the common programs folder ("C:" when
// it is not known) with the desktop box checked; its Browse opens the
// browser there, and Cancel keeps the folder reached. Finish (or a confirmed
// Cancel) writes the entries, then the success message and the shell open
// of the group.
enum : unsigned {
    NO_PROGRAMS = 1,  // "Common Programs" removed beforehand
    UNCHECK = 2,      // the desktop box unchecked
    TYPED = 4,        // a folder typed over the edit before the end
    CANCEL_NO = 8,    // Cancel answered No first
    CANCEL_YES = 16,  // ends with Cancel answered Yes instead of Finish
    BROWSE = 32,      // the browser walked up to its top and into two folders before its Cancel
    DEEP = 64,        // "Common Programs" so deep that the group fits but none of its links would
    LOCKED = 128,     // the parent keys of both entries readable but not writable
};
// 245 characters: the group (253) can be made, its links (264 to 267) cannot.
static const std::string kDeepPrograms = std::string(kDeepRoot) + "\\" + std::string(120, 'd') + "\\" +
                                         std::string(245 - sizeof(kDeepRoot) - 121, 'e');
static void RunShortcutPage(unsigned flags)
{
    struct { bool bNoPrograms, bUncheck, bTyped, bCancelNo, bCancelYes, bBrowse, bDeep, bLocked; } run = {
        (flags & NO_PROGRAMS) != 0, (flags & UNCHECK) != 0, (flags & TYPED) != 0, (flags & CANCEL_NO) != 0,
        (flags & CANCEL_YES) != 0,  (flags & BROWSE) != 0,  (flags & DEEP) != 0,  (flags & LOCKED) != 0};
    for (const char* pszKey : kEntryParents)
        if (run.bLocked)
            Need(Check(SetKeyAccess(pszKey, kReadOnly), "HKLM\\%s made read-only", pszKey));
    // Asked before the value goes: the shell writes it back when asked.
    std::string programs = Programs(), groups = Join(BrowserTop(), kTestGroups), early = Join(groups, kEarly);
    if (run.bNoPrograms)
        Need(Check(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs") == ERROR_SUCCESS,
                   "\"Common Programs\" removed beforehand"));
    if (run.bDeep) {
        std::string deep = kDeepPrograms;
        Need(Check(CreateDirectoryA(kDeepRoot, nullptr) &&
                       CreateDirectoryA(deep.substr(0, deep.rfind('\\')).c_str(), nullptr) &&
                       CreateDirectoryA(deep.c_str(), nullptr) &&
                       RegSetKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", REG_SZ, deep.c_str(),
                                       static_cast<DWORD>(deep.size() + 1)) == ERROR_SUCCESS,
                   "\"Common Programs\" set to a folder of %zu characters", deep.size()));
        programs = deep;
    }
    if (run.bBrowse)
        Need(Check(CreateDirectoryA(groups.c_str(), nullptr) && CreateDirectoryA(early.c_str(), nullptr),
                   "%s made beforehand", early.c_str()));
    Copied(kDefaultDir, CopyPageWithDefaults());
    HWND hPage = ShortcutPage(), hEdit = GetDlgItem(hPage, IDC_TARGET_EDIT), hBox = GetDlgItem(hPage, IDC_DESKTOP_CHECK);
    std::string parent = run.bNoPrograms ? "C:" : programs;
    PageShows(hPage, parent);
    LRESULT checked = -1;
    Check(Ask(hBox, BM_GETCHECK, 0, 0, checked) && checked == BST_CHECKED, "desktop box checked");
    if (run.bUncheck)
        Need(Check(PostMessageA(hBox, BM_CLICK, 0, 0) &&
                       PollUntil(APPEAR_MS, [&] { return Ask(hBox, BM_GETCHECK, 0, 0, checked) && !checked; }),
                   "desktop box unchecked"));

    Press(hPage, IDC_BROWSE);
    HWND hBrowser = Dialog(kGroupBrowser, hPage);
    CheckGroupBrowser(hBrowser, parent);
    if (run.bBrowse) {
        for (; parent.size() > 21; CheckGroupBrowser(hBrowser, parent)) {
            Need(Check(DoubleClickItem(GetDlgItem(hBrowser, IDC_GROUP_LIST), kUpItem), "double-click the up item"));
            parent.erase(parent.rfind('\\'));
        }
        // The product-folder item last: a folder that does not exist yet,
        // which Finish makes with every level it lacks.
        for (const char* pszInto : {kTestGroups, kEarly, kProduct}) {
            std::vector<std::string> items = ListViewTexts(GetDlgItem(hBrowser, IDC_GROUP_LIST));
            int nAt = static_cast<int>(std::find(items.begin(), items.end(), pszInto) - items.begin());
            Need(Check(DoubleClickItem(GetDlgItem(hBrowser, IDC_GROUP_LIST), pszInto), "double-click \"%s\" (item %d)",
                       pszInto, nAt));
            CheckGroupBrowser(hBrowser, parent = Join(parent, pszInto));
        }
        Shot(hBrowser, "group-browser-navigated");
    }
    PressToClose(hBrowser, IDCANCEL, "group browser");
    // Cancel keeps the folder reached; the page shows it with the group.
    PageShows(hPage, parent + "\\" + kProduct);
    if (run.bTyped)
        Check(PostMessageA(hEdit, EM_SETSEL, 0, -1) && PostChars(hEdit, kTypedGroup) &&
                  PollUntil(APPEAR_MS, [&] { return TextOf(hEdit) == kTypedGroup; }),
              "typed \"%s\" over the folder", kTypedGroup);

    if (run.bCancelNo)
        Answer(hPage, IDCANCEL, kConfirmShortcuts, IDNO);
    if (run.bCancelYes)
        Answer(hPage, IDCANCEL, kConfirmShortcuts, IDYES, false);
    else
        PressToClose(hPage, IDOK, "shortcut page");
    Ends(kInstalled);
    std::string group = parent + "\\" + kProduct;
    CheckShortcuts(group, !run.bCancelYes, !run.bCancelYes && !run.bDeep, !run.bCancelYes && !run.bUncheck,
                   !run.bLocked);
    if (run.bDeep)
        Check(IsDir(group) && Entries(group + "\\", false).empty(), "no shortcut saved under a cut name in the group");
    CheckShellOpened(run.bCancelYes ? "" : group);
    if (run.bTyped)
        Check(!Exists(kTypedGroup), "%s not made", kTypedGroup);
}

// The installation removed again the way a user would, from the system's
// list of programs: the uninstall entry's command started as Windows starts
// it, answered Yes (ASKED), with /S added (SILENT), as an earlier build wrote
// it, unquoted (LEGACY), or through Wine's own list of installed programs
// (WINE_LIST). A saved game the player added in a folder of their own stays,
// with the install folder that holds it; a tampered "Progdir" of a drive's
// root makes it refuse, removing nothing.
enum UninstallWay { ASKED, SILENT, LEGACY, WINE_LIST, TAMPERED };
static bool WriteAll(const std::string& path, const std::string& text)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD cbWritten = 0;
    bool bWritten = hFile != INVALID_HANDLE_VALUE &&
                    WriteFile(hFile, text.data(), static_cast<DWORD>(text.size()), &cbWritten, nullptr) &&
                    cbWritten == text.size();
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    return bWritten;
}
// The exit code once the process ends, STILL_ACTIVE if it does not in time.
static DWORD Ended(PROCESS_INFORMATION& run, DWORD ms)
{
    DWORD dwExit = STILL_ACTIVE;
    if (WaitForSingleObject(run.hProcess, ms) != WAIT_OBJECT_0 || !GetExitCodeProcess(run.hProcess, &dwExit))
        dwExit = STILL_ACTIVE;
    CloseHandle(run.hThread);
    CloseHandle(run.hProcess);
    return dwExit;
}
// The uninstaller's box, in whichever of its processes shows it: the text it
// begins with, answered.
static void UninstallBox(const char* pszName, const std::string& begins, int answer)
{
    HWND hBox = nullptr;
    PollUntil(APPEAR_MS * 3, [&] {
        for (HWND hWnd : Windows(0, GetDesktopWindow()))
            if (!hBox && IsWindowVisible(hWnd) && ClassOf(hWnd) == "#32770" && TitleOf(hWnd) == "Quarnel - Uninstall" &&
                TextOf(GetDlgItem(hWnd, MSGBOX_TEXT)).compare(0, begins.size(), begins) == 0)
                hBox = hWnd;
        return hBox != nullptr;
    });
    Need(Check(hBox != nullptr, "the uninstaller asks/says \"%s...\"", begins.c_str()));
    Shot(hBox, pszName);
    PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hBox, answer)));
    Check(PollUntil(APPEAR_MS, [&] { return Gone(hBox); }), "the box closes");
}
// Wine's list of installed programs: uninstaller.exe with args, its output
// to hOut when given.
static PROCESS_INFORMATION StartWineUninstaller(const std::string& args, HANDLE hOut = nullptr)
{
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (hOut) {
        si.dwFlags = STARTF_USESTDHANDLES;
        si.hStdOutput = si.hStdError = hOut;
    }
    PROCESS_INFORMATION run = {};
    std::string program = ShellFolder(CSIDL_SYSTEM) + "\\uninstaller.exe", commandLine = "uninstaller.exe " + args;
    Need(Check(CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, hOut != nullptr, 0, nullptr,
                              nullptr, &si, &run),
               "started %s", commandLine.c_str()));
    return run;
}
static std::string WineListOfPrograms(DWORD& dwExit)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    Need(CreatePipe(&hRead, &hWrite, &sa, 0));
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    PROCESS_INFORMATION run = StartWineUninstaller("--list", hWrite);
    CloseHandle(hWrite);
    std::string out;
    char buffer[4096];
    for (DWORD cb = 0; ReadFile(hRead, buffer, sizeof(buffer), &cb, nullptr) && cb;)
        out.append(buffer, cb);
    CloseHandle(hRead);
    dwExit = Ended(run, APPEAR_MS * 6);
    return out;
}
static void UninstallRoundTrip(UninstallWay way)
{
    // The page's own rows check the browser and the shell's window; the
    // window is only closed here, so that no later run finds it open (Wine's
    // 32-bit shell may die under an emulated CPU: then there is none).
    InstallWithDefaults();
    if (HWND hFolder = GroupWindow(kProduct))
        PostMessageA(hFolder, WM_CLOSE, 0, 0);
    bool bTampered = way == TAMPERED;
    std::string group = Join(Programs(), kProduct), saves = Join(kDefaultDir, "Saves"), save = Join(saves, "slot1.sav");
    std::string uninstaller = Join(kDefaultDir, "uninstall.exe");
    Need(Check(CreateDirectoryA(saves.c_str(), nullptr) && WriteAll(save, "level 7"), "saved game %s", save.c_str()));
    if (bTampered)
        Need(Check(SetValue(kUninstall, "Progdir", "C:\\"), "\"Progdir\" set to C:\\"));
    if (way == LEGACY)
        Need(Check(SetValue(kUninstall, "UninstallString", uninstaller), "entry as an earlier build wrote it"));
    std::string command = ValueOf(kUninstall, "UninstallString");
    command.erase(0, command.find(':', command.find(':') + 1) + 1);
    Need(Check(command == (way == LEGACY ? uninstaller : "\"" + uninstaller + "\""), "uninstall entry: %s",
               command.c_str()));

    DWORD dwExit = STILL_ACTIVE;
    if (way == WINE_LIST) {
        std::string listed = WineListOfPrograms(dwExit);
        Check(dwExit == 0 && listed.find("|||Quarnel") != std::string::npos,
              "Wine's list of installed programs shows Quarnel: %s", listed.c_str());
        PROCESS_INFORMATION run = StartWineUninstaller("--remove Quarnel");
        UninstallBox("uninstall-question", "Remove Quarnel from this computer?", IDYES);
        UninstallBox("uninstall-done", "Quarnel was removed from this computer.", IDOK);
        dwExit = Ended(run, APPEAR_MS * 3);
    } else {
        // As Windows' list starts it; unattended runs add /S.
        if (way == SILENT || bTampered)
            command += " /S";
        PROCESS_INFORMATION run = {};
        std::string program;
        Need(Check(StartStored(command, run, &program) && program == uninstaller, "started %s as Windows does",
                   command.c_str()));
        if (way == ASKED || way == LEGACY) {
            UninstallBox("uninstall-question", "Remove Quarnel from this computer?", IDYES);
            UninstallBox("uninstall-done", "Quarnel was removed from this computer.", IDOK);
        }
        dwExit = Ended(run, APPEAR_MS * 3);
    }
    Check(dwExit == (bTampered ? 2u : 0u), "uninstaller exit code %lu", static_cast<unsigned long>(dwExit));
    // Without /S the original ends once its temporary copy runs: the copy
    // removes the files after the boxes.
    PollUntil(APPEAR_MS, [&] { return bTampered || !Exists(uninstaller); });

    std::string states = RecordStates(kDefaultDir);
    Check(states == Expected(bTampered ? records.size() : 0), "records (W whole, - none): %s", states.c_str());
    Check(ReadAll(save) == "level 7", "the saved game is still there");
    Check(IsDir(Join(kDefaultDir, "AImages")) == bTampered, "AImages %s", bTampered ? "kept" : "removed");
    for (const std::string& link : {Join(group, "Quarnel.lnk"), Join(group, "Uninstall.lnk"),
                                    Join(group, "Readme.lnk"), Join(Desktop(), kLinkDesktop)})
        Check(Exists(link) == bTampered, "%s %s", link.c_str(), bTampered ? "kept" : "removed");
    Check(IsDir(group) == bTampered, "%s %s", group.c_str(), bTampered ? "kept" : "removed");
    for (const char* pszKey : {kAppPaths, kUninstall}) {
        HKEY hKey = OpenKey(pszKey, KEY_READ);
        if (hKey)
            RegCloseKey(hKey);
        Check((hKey != nullptr) == bTampered, "HKLM\\%s %s", pszKey, bTampered ? "kept" : "removed");
    }
}

static ScenarioList kShortcutScenarios = {
    {"shortcuts_finish", [] { RunShortcutPage(0); }},
    {"shortcuts_no_desktop", [] { RunShortcutPage(UNCHECK); }},
    {"shortcuts_typed_ignored", [] { RunShortcutPage(TYPED); }},
    {"shortcuts_cancel_no_finish", [] { RunShortcutPage(CANCEL_NO); }},
    {"shortcuts_cancel_yes", [] {
         MatrixRow row{"Cancel on the shortcut page, confirmed",
                       "entries written, no folder or shortcut, success message, nothing opened"};
         RunShortcutPage(CANCEL_YES);
         row.seen = "installed without shortcuts";
     }},
    {"shortcuts_no_programs_folder", [] { RunShortcutPage(NO_PROGRAMS); }},
    {"shortcuts_browser", [] { RunShortcutPage(BROWSE); }},
    {"shortcuts_locked_keys", [] {
         MatrixRow row{"App Paths and Uninstall keys not writable",
                       "both entries skipped silently; group, shortcuts, success as usual"};
         RunShortcutPage(LOCKED);
         row.seen = "installed without entries";
     }},
    {"shortcuts_deep_programs_folder", [] {
         MatrixRow row{"Start-menu folder so deep that a link path passes 259 characters",
                       "group made, its links refused (none under a cut name), desktop link, entries, success"};
         RunShortcutPage(DEEP);
         row.seen = "installed";
     }},
    {"uninstall_round_trip", [] { UninstallRoundTrip(ASKED); }},
    {"uninstall_silent", [] { UninstallRoundTrip(SILENT); }},
    {"uninstall_legacy_entry", [] { UninstallRoundTrip(LEGACY); }},
    {"uninstall_wine_list", [] { UninstallRoundTrip(WINE_LIST); }},
    {"uninstall_tampered_progdir", [] { UninstallRoundTrip(TAMPERED); }},
    // The demo: the same walk, for its screenshots.
    {"walkthrough", [] { RunShortcutPage(0); }},
};
