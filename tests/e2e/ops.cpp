// The operations only some rows need: crafted payloads, planted DLLs, the
// snapshot of what the user has, a drive filled beforehand, the agreement
// page's focus and scroll, the long install directory, the 26 drives, the shortcut page and
// its browser, the registry entries and links afterwards, and the uninstall
// round trips with their ways of starting the stored command line.
#include "shortcuts/shortcuts.h"
#include "tests/common/test_support.h"
#include "tests/e2e/driver.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

// Crafted payloads in a copy of setup.exe beside the driver: "craft 60
// cut=size" (the game's first 60 records, then the 61st cut inside its name,
// size or data), "craft 79 extra=NAME" (a record of the test's own after
// them), "craft 79 raw" (no gzip around the archive); "damage flip|half|none"
// (setup.exe's own payload with its middle byte inverted, cut to its first
// half, or removed).
// setup.exe's payload resource.
static qt::Bytes Payload()
{
    HMODULE hExe = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC hRes = hExe ? FindResourceA(hExe, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) : nullptr;
    const auto* pData = hRes ? static_cast<const unsigned char*>(LockResource(LoadResource(hExe, hRes))) : nullptr;
    qt::Bytes payload(pData, pData ? pData + SizeofResource(hExe, hRes) : pData);
    if (hExe)
        FreeLibrary(hExe);
    return payload;
}

// Wine's UpdateResource cannot remove a resource: the copy is made with none
// and given every resource of setup.exe but the payload.
struct Update { HMODULE hFrom; HANDLE hTo; bool bOk; };
static BOOL CALLBACK CopyLanguage(HMODULE, LPCSTR pszType, LPCSTR pszName, WORD wLang, LONG_PTR lParam)
{
    auto& u = *reinterpret_cast<Update*>(lParam);
    HRSRC hRes = FindResourceExA(u.hFrom, pszType, pszName, wLang);
    bool bPayload = pszType == RT_RCDATA && pszName == MAKEINTRESOURCEA(IDR_PAYLOAD);
    u.bOk &= bPayload || (hRes && UpdateResourceA(u.hTo, pszType, pszName, wLang, LockResource(LoadResource(u.hFrom, hRes)),
                                                  SizeofResource(u.hFrom, hRes)));
    return TRUE;
}
static BOOL CALLBACK CopyName(HMODULE hFrom, LPCSTR pszType, LPSTR pszName, LONG_PTR lParam)
{
    return EnumResourceLanguagesA(hFrom, pszType, pszName, CopyLanguage, lParam);
}
static BOOL CALLBACK CopyType(HMODULE hFrom, LPSTR pszType, LONG_PTR lParam)
{
    return EnumResourceNamesA(hFrom, pszType, CopyName, lParam);
}
static bool WithoutPayload(const std::string& exe)
{
    Update u = {LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE),
                CopyFileA(setupExe.c_str(), exe.c_str(), FALSE) ? BeginUpdateResourceA(exe.c_str(), TRUE) : nullptr, true};
    u.bOk = u.hFrom && u.hTo && EnumResourceTypesA(u.hFrom, CopyType, reinterpret_cast<LONG_PTR>(&u)) && u.bOk;
    u.bOk = u.hTo && EndUpdateResourceA(u.hTo, !u.bOk) && u.bOk;
    if (u.hFrom)
        FreeLibrary(u.hFrom);
    HMODULE hExe = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    char szFirst[2] = "";
    bool bNone = hExe && !FindResourceA(hExe, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) &&
                 LoadStringA(hExe, IDS_LICENCE, szFirst, sizeof(szFirst)) > 0;
    if (hExe)
        FreeLibrary(hExe);
    return u.bOk && bNone;
}

static void OpCraft(const Step& s)
{
    std::stringstream words(s.arg);
    std::string word, cut, extra;
    size_t nReal = 0;
    bool bRaw = false;
    words >> nReal;
    while (words >> word)
        cut = word.compare(0, 4, "cut=") == 0 ? word.substr(4) : cut,
        extra = word.compare(0, 6, "extra=") == 0 ? word.substr(6) : extra, bRaw |= word == "raw";
    qt::Bytes archive, payload;
    for (size_t i = 0; i < nReal && i < records.size(); ++i)
        qt::AppendRecord(archive, records[i], qt::TextBytes(GameFile(records[i])));
    if (!extra.empty())
        qt::AppendRecord(archive, extra, qt::TextBytes("escaped"));
    if (!cut.empty() && nReal < records.size()) {
        const std::string& name = records[nReal];
        size_t at = archive.size(), cbHead = 1 + name.size() + 4;
        qt::AppendRecord(archive, name, qt::TextBytes(GameFile(name)));
        archive.resize(at + (cut == "name"   ? 1 + name.size() / 2
                             : cut == "size" ? cbHead - 2
                                             : cbHead + (archive.size() - at - cbHead) / 2));
    }
    payload = bRaw ? archive : qt::Gzip(archive);
    if (s.op == "damage") {
        Need(Check(!(payload = Payload()).empty(), "%s carries a payload", setupExe.c_str()));
        if (s.arg == "flip")
            payload[payload.size() / 2] ^= 0xFF;
        payload.resize(s.arg == "half" ? payload.size() / 2 : payload.size());
    }
    char szDriver[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, szDriver, sizeof(szDriver));
    std::string exe = std::string(szDriver).substr(0, std::string(szDriver).find_last_of('\\')) + "\\" + rowName + ".exe";
    bool bCrafted = s.arg == "none" ? WithoutPayload(exe) : qt::CraftSetupExe(setupExe, exe, &payload);
    Need(Check(bCrafted, "%s carries %s", exe.c_str(),
               s.arg == "none" ? "no payload" : (std::to_string(payload.size()) + " crafted bytes as its payload").c_str()));
    setupExe = exe;
}

// "plant a,b": setup.exe copied to C:\QuarnelDownloads (its folder and its
// current one), with planted.dll laid as a.dll and b.dll there and in the
// temporary folder, below which the uninstaller runs its copy. Wine prefers
// its built-ins wherever a DLL lies; the prefix's overrides make the programs
// started look for those names natively first, as Windows looks in a
// program's own folder (WINEDLLOVERRIDES set here would not reach them: Wine
// hands a child the variable it was started with). A planted DLL that loads
// leaves its name in C:\QuarnelPlanted; the driver's reset drops the
// overrides of the DLLs it finds in C:\QuarnelDownloads.
static void OpPlant(const Step& s)
{
    char szDriver[MAX_PATH] = "", szTemp[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, szDriver, sizeof(szDriver));
    DWORD dwType = SCS_64BIT_BINARY;  // a DLL of another machine would be passed over, loading nothing
    bool b32 = GetBinaryTypeA(setupExe.c_str(), &dwType) && dwType == SCS_32BIT_BINARY;
    std::string dll = std::string(szDriver).substr(0, std::string(szDriver).find_last_of('\\')) +
                      (b32 ? "\\planted32.dll" : "\\planted.dll");
    std::string temp(szTemp, GetTempPathA(sizeof(szTemp), szTemp)), exe = Join(kDownloads, "setup.exe");
    Interpret("mkdir " + std::string(kDownloads) + "; mkdir C:\\QuarnelPlanted");
    bool bLaid = CopyFileA(setupExe.c_str(), exe.c_str(), FALSE);
    std::stringstream names(s.arg);
    for (std::string name; std::getline(names, name, ',');) {
        for (const std::string& path : {Join(kDownloads, name + ".dll"), temp + name + ".dll"})
            bLaid = CopyFileA(dll.c_str(), path.c_str(), FALSE) && bLaid;
        bLaid = qt::SetRegValue(HKEY_CURRENT_USER, kWineOverrides, name.c_str(), "native,builtin") && bLaid;
    }
    Need(Check(bLaid, "%s planted beside %s and in %s, native first (%s)", s.arg.c_str(), exe.c_str(), temp.c_str(),
               dll.c_str()));
    setupExe = exe;
}

// What the user has: every file (with its size and time) and folder on C:
// but the system's folder, in the setup's folder, at the root of the host's
// file system, and on S:. Taken before setup.exe starts.
using Tree = std::map<std::string, std::string>;
static Tree before;
static std::string Lower(std::string text)
{
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}
static void Walk(const std::string& dir, Tree& tree, bool bDeep)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(Join(dir, "*").c_str(), &fd);
    for (BOOL bFound = hFind != INVALID_HANDLE_VALUE; bFound; bFound = FindNextFileA(hFind, &fd)) {
        std::string name = fd.cFileName, path = Join(dir, name);
        if (name == "." || name == "..")
            continue;
        bool bDir = fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        tree[Lower(path)] = bDir ? "folder"
                                 : std::to_string(ULONGLONG{fd.nFileSizeHigh} << 32 | fd.nFileSizeLow) + "@" +
                                       std::to_string(ULONGLONG{fd.ftLastWriteTime.dwHighDateTime} << 32 |
                                                      fd.ftLastWriteTime.dwLowDateTime);
        if (bDir && bDeep && Lower(path) != "c:\\windows")
            Walk(path, tree, true);
    }
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
}
static Tree Snapshot()
{
    Tree tree;
    Walk("C:\\", tree, true);
    Walk(setupExe.substr(0, setupExe.find_last_of('\\')), tree, false);
    Walk("Z:\\", tree, false);
    if (GetDriveTypeA("S:\\") > DRIVE_NO_ROOT_DIR)
        Walk("S:\\", tree, true);
    return tree;
}
static void OpSnapshot(const Step&) { before = Snapshot(); }

// Nothing the user had is gone, and nothing is new or changed outside the
// install directory and what the shortcut page makes: the temporary
// directory is as it was, since whatever the run writes there must go again.
static void OpUntouched(const Step&)
{
    std::string inside = Lower(installDir) + "\\", lowGroup = Lower(group) + "\\", removed, written;
    std::string desktopLink = Lower(Join(Desktop(), "Quarnel.lnk"));
    auto made = [&](const std::string& path) {
        return (path + "\\").compare(0, inside.size(), inside) == 0 || path == desktopLink ||
               (path + "\\").compare(0, lowGroup.size(), lowGroup) == 0;
    };
    Tree after = Snapshot();
    for (const auto& [path, what] : before)
        removed += after.count(path) ? "" : " " + path;
    for (const auto& [path, what] : after) {
        auto was = before.find(path);
        written += (was != before.end() && was->second == what) || made(path) ? "" : " " + path;
    }
    Check(!before.empty() && removed.empty(), "nothing the user had removed (%zu entries)%s", before.size(),
          removed.substr(0, 300).c_str());
    Check(written.empty(), "nothing written outside %s or left in the temporary directory%s", installDir.c_str(),
          written.substr(0, 300).c_str());
}

// "fill S:\ [N]": a file of the user's fills the drive but for N bytes (8
// MiB): written, not merely sized, since the drive keeps no room for a sparse
// file's holes.
static void OpFill(const Step& s)
{
    std::string root = s.arg.substr(0, 3), path = Join(root, "ballast.bin");
    ULONGLONG cbLeft = s.arg.size() > 4 ? std::strtoull(s.arg.c_str() + 4, nullptr, 10) : 8 << 20;
    ULARGE_INTEGER free = {};
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool bFilled = GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr) && hFile != INVALID_HANDLE_VALUE;
    static const char zeros[1 << 20] = {};
    for (ULONGLONG cb = 0; bFilled && cb + cbLeft < free.QuadPart; cb += sizeof(zeros)) {
        DWORD written = 0;
        bFilled = WriteFile(hFile, zeros, sizeof(zeros), &written, nullptr) && written == sizeof(zeros);
    }
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    GetDiskFreeSpaceExA(root.c_str(), &free, nullptr, nullptr);
    Need(Check(bFilled, "%s written, %llu bytes left", path.c_str(), free.QuadPart));
}

// Record N's file made beforehand, read-only and held open: Wine run as root
// writes to read-only files all the same; a handle sharing only reading
// keeps it from being opened for writing. "kept N": unchanged afterwards.
static void OpLockedFile(const Step& s)
{
    std::string path = Join(kDefaultDir, records.at(std::strtoul(s.arg.c_str(), nullptr, 10)));
    std::error_code ec;
    bool bMade = std::filesystem::create_directories(path.substr(0, path.find_last_of('\\')), ec) &&
                 (std::ofstream(path, std::ios::binary) << "kept").flush() &&
                 SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    HANDLE hHold = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Need(Check(bMade && hHold != INVALID_HANDLE_VALUE, "read-only %s made beforehand", path.c_str()));
}
static void OpKept(const Step& s)
{
    std::string path = Join(installDir, records.at(std::strtoul(s.arg.c_str(), nullptr, 10)));
    Check(ReadAll(path) == "kept", "%s unchanged", path.c_str());
}

// The drive filled during the extraction: the staged payload and its
// archive lie beside the install directory, and the first record not whole
// did not fit in what they left.
static ULONGLONG Pages(ULONGLONG cb) { return (cb + 4095) / 4096 * 4096; }
static void OpRoom(const Step&)
{
    size_t n = WholeRecords(installDir);
    ULONGLONG cbArchive = 0, cbStaged = Pages(Payload().size());
    for (const std::string& name : records)
        cbArchive += 5 + name.size() + GameFile(name).size();
    ULARGE_INTEGER free = {};
    GetDiskFreeSpaceExA(installDir.substr(0, 3).c_str(), &free, nullptr, nullptr);
    long long room = static_cast<long long>(free.QuadPart - cbStaged - Pages(cbArchive));
    ULONGLONG cbRecord = n < records.size() ? Pages(GameFile(records[n]).size()) : 0;
    Check(cbStaged && room >= 0 && cbRecord > static_cast<ULONGLONG>(room),
          "record %zu (%llu bytes) did not fit in the %lld bytes left beside the staged files", n + 1, cbRecord, room);
}

// The install directory typed in the ANSI code page lies under the name as
// the file system spells it in UTF-16, and the entries and the shortcuts
// name it so, read back as Unicode.
static void OpNonAscii(const Step&)
{
    Need(Check(GetACP() == 1252, "ANSI code page %u", GetACP()));
    const std::wstring wDir = L"C:\\Program files\\Qu\u00e4rnel";
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(L"C:\\Program files\\Qu*rnel", &fd);
    bool bNamed = hFind != INVALID_HANDLE_VALUE && wcscmp(fd.cFileName, L"Qu\u00e4rnel") == 0 &&
                  !FindNextFileW(hFind, &fd) && GetFileAttributesW((wDir + L"\\quarnel.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
    Check(bNamed, "the only folder like it is Qu\\u00e4rnel, the game in it");
    wchar_t wsz[MAX_PATH] = L"";
    DWORD cb = sizeof(wsz);
    HKEY hEntry = nullptr;
    Check(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel", 0,
                        KEY_READ | samSetupView, &hEntry) == ERROR_SUCCESS &&
              RegGetValueW(hEntry, nullptr, L"Progdir", RRF_RT_REG_SZ, nullptr, wsz, &cb) == ERROR_SUCCESS &&
              wDir == wsz, "Progdir names Qu\\u00e4rnel");
    if (hEntry)
        RegCloseKey(hEntry);
    std::string link = Join(group, "Quarnel.lnk");
    std::wstring read = qt::ReadShellLinkW(std::wstring(link.begin(), link.end()));
    Check(read == wDir + L"\\quarnel.exe|Quarnel", "%s points into Qu\\u00e4rnel", link.c_str());
}

// The licence exactly as setup.exe carries it (one that fills the buffer
// counts as none), read-only, scrolling; I Agree focused and the default.
static LRESULT nScrolled = -1;
static void OpLicence(const Step&)
{
    HWND hPage = run.hPage, hEdit = GetDlgItem(hPage, IDC_LICENCE_TEXT);
    static char szLicence[1 << 16];
    HMODULE hSetup = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    int cch = hSetup ? LoadStringA(hSetup, IDS_LICENCE, szLicence, sizeof(szLicence)) : 0;
    FreeLibrary(hSetup);
    std::string shown = TextOf(hEdit);
    Check(cch > 0 && cch < static_cast<int>(sizeof(szLicence)) - 1 && shown == szLicence,
          "licence shown whole (%zu of %d chars)", shown.size(), cch);
    Check(FocusOf(hPage) == GetDlgItem(hPage, IDOK), "focus on \"I Agree\"");
    LRESULT defId = 0, first = -1;
    Check(Ask(hPage, DM_GETDEFID, 0, 0, defId) && defId == MAKELONG(IDOK, DC_HASDEFID), "\"I Agree\" is the default");
    Check(GetWindowLongA(hEdit, GWL_STYLE) & ES_READONLY, "licence text is read-only");
    Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, first);
    // Posted messages are handled in order: once the scroll shows, the typed
    // character before it has been handled too.
    PostMessageA(hEdit, WM_CHAR, 'x', 1);
    PostMessageA(hEdit, WM_VSCROLL, SB_PAGEDOWN, 0);
    bool bScrolled = PollUntil(APPEAR_MS, [&] {
        return Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, nScrolled) && nScrolled > first;
    });
    Need(Check(bScrolled, "licence scrolls (first line %ld -> %ld)", long(first), long(nScrolled)));
    Check(TextOf(hEdit) == shown, "typing into the licence changes nothing");
}
static void OpStillScrolled(const Step&)
{
    LRESULT now = -1;
    Check(Ask(GetDlgItem(run.hPage, IDC_LICENCE_TEXT), EM_GETFIRSTVISIBLELINE, 0, 0, now) && now == nScrolled,
          "licence still scrolled to line %ld", long(now));
    Check(FocusOf(run.hPage) == GetDlgItem(run.hPage, IDOK), "focus back on \"I Agree\"");
}

// A folder chosen deep enough that a lengthened name takes the install
// directory past 259 characters (navigation refuses to go that deep with
// the long name; typed once there, it is taken as it stands): Next neither
// asks nor makes anything, and the page stays.
static void OpLongDir(const Step&)
{
    std::string deep = std::string(180, 'd'), name = kProduct + std::string(60, 'x');
    Interpret("mkdir C:\\QuarnelTestGames\\" + deep + "; browse; up; into QuarnelTestGames; into " + deep);
    LRESULT set = 0;
    Need(Check(Ask(GetDlgItem(hBrowser, IDC_FOLDER_NAME), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()), set),
               "name lengthened to %zu characters", name.size()));
    browserName = name;
    Interpret("ok");
    Press(run.hPage, IDOK);
    // Whatever Next does is done once the page answers again.
    Sleep(500);
    Need(Check(Settled(run.hPage) && Usable(run.hPage) && Windows(run.job.pi.dwProcessId).size() == 2,
               "Next on %zu characters: the page stays, nothing else shows", installDir.size()));
    Check(!IsDir(installDir), "%s not made", installDir.c_str());
    installDir = kDefaultDir;
}

static void OpDriveCount(const Step& s)
{
    HWND hCombo = GetDlgItem(hBrowser, IDC_DRIVE_COMBO);
    LRESULT count = 0;
    Check(Ask(hCombo, CB_GETCOUNT, 0, 0, count) && count == std::atol(s.arg.c_str()), "%ld drives in the drive box",
          long(count));
    PostMessageA(hCombo, CB_SHOWDROPDOWN, TRUE, 0);
    Shot(hBrowser, "browser-drives");
    PostMessageA(hCombo, CB_SHOWDROPDOWN, FALSE, 0);
}

// The shortcut page: the registry paths, the folders set up beforehand.
constexpr char kShellFolders[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kAppPaths[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
constexpr const char* kEntryParents[] = {"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
                                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall"};
// Made below the browser's top folder; the second sorts ahead of the up item.
constexpr char kTestGroups[] = "QuarnelTestGroups", kEarly[] = "!Early";
// Where the group browser stops going up: the programs folder's longest
// ancestor of 21 characters or fewer.
static std::string BrowserTop()
{
    std::string path = Programs();
    while (path.size() > 21 && path.find('\\') != std::string::npos)
        path.erase(path.rfind('\\'));
    return path;
}

std::string ResetShortcuts()
{
    std::string left;
    for (const char* pszKey : kEntryParents)
        if (!qt::LockKey(HKEY_LOCAL_MACHINE, pszKey, false))
            left += std::string(" locked HKLM\\") + pszKey;
    for (auto [pszName, folder] : {std::pair{"Common Programs", Programs()}, {"Common Desktop", Desktop()}})
        if (folder.empty() || !qt::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, pszName, folder))
            left += std::string(" Shell Folders: ") + pszName;
    // In both views: a 32-bit setup.exe writes the 32-bit one.
    for (const char* pszKey : {kAppPaths, kUninstall})
        for (REGSAM samView : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
            if (LONG lResult = RegDeleteKeyExA(HKEY_LOCAL_MACHINE, pszKey, samView, 0);
                lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND)
                left += std::string(" HKLM\\") + pszKey;
    for (const std::string& path : {Join(Programs(), kProduct), Join(Desktop(), "Quarnel.lnk"),
                                    Join(BrowserTop(), kTestGroups)}) {
        qt::RemoveTree(path);
        left += Exists(path) ? " " + path : "";
    }
    programs = Programs();
    group = Join(programs, kProduct);
    return left;
}

// Setup: "Common Programs" removed (asked before it goes: the shell writes
// it back when asked) or so deep (245 characters) that the group (253) can
// be made and its links (264 to 267) cannot; both entries' parent keys
// readable but not writable; folders for the group browser's walk.
static void OpNoPrograms(const Step&)
{
    Need(Check(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs") == ERROR_SUCCESS,
               "\"Common Programs\" removed beforehand"));
    programs = "C:";
    group = programs + "\\" + kProduct;
}
static void OpDeepPrograms(const Step&)
{
    std::string deep = "C:\\QuarnelDeep\\" + std::string(120, 'd') + "\\" + std::string(109, 'e');
    Interpret("mkdir " + deep);
    Need(Check(qt::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Programs", deep),
               "\"Common Programs\" set to a folder of %zu characters", deep.size()));
    programs = deep;
    group = Join(programs, kProduct);
}
static void OpLockKeys(const Step&)
{
    for (const char* pszKey : kEntryParents)
        Need(Check(qt::LockKey(HKEY_LOCAL_MACHINE, pszKey), "HKLM\\%s made read-only", pszKey));
}
static void OpGroups(const Step&) { Interpret("mkdir " + Join(Join(BrowserTop(), kTestGroups), kEarly)); }

// The group browser in parent: its edit and the sorted listing (the up item
// below 21 characters, the real subfolders, the product folder) say so.
static void CheckGroupBrowser(HWND hGroups, const std::string& parent)
{
    std::string shown;
    Check(qt::PollText(GetDlgItem(hGroups, IDC_GROUP_PATH), parent + "\\" + kProduct, APPEAR_MS, &shown) &&
              Settled(hGroups), "group browser shows %s", shown.c_str());
    std::vector<std::string> items = ListViewTexts(GetDlgItem(hGroups, IDC_GROUP_LIST));
    std::string listed;
    for (const std::string& item : items)
        listed += " [" + item + "]";
    Check(items == qt::ExpectedFolderList(parent + "\\", parent.size() > 21, kProduct), "%s listed, sorted:%s",
          parent.c_str(), listed.c_str());
}

// After a whole copy the page proposes the programs folder ("C:" when it is
// not known) with the desktop box checked; Browse opens the browser there
// ("walk": walked up to its top and into two folders and the product folder,
// which does not exist yet), and its Cancel keeps the folder reached.
static void OpShortcuts(const Step& s)
{
    static const DialogDesc kGroupBrowser = {"group-browser", "", {{IDOK, "Button", "OK"},
        {IDCANCEL, "Button", "Cancel"}, {IDC_GROUP_PATH, "Edit", nullptr}, {IDC_GROUP_LIST, "SysListView32", nullptr}}};
    HWND hPage = run.hPage = ShortcutPage(), hBox = GetDlgItem(hPage, IDC_DESKTOP_CHECK);
    std::string shown, parent = programs;
    Check(qt::PollText(GetDlgItem(hPage, IDC_TARGET_EDIT), parent, APPEAR_MS, &shown), "page shows \"%s\"",
          shown.c_str());
    LRESULT checked = -1;
    Check(Ask(hBox, BM_GETCHECK, 0, 0, checked) && checked == BST_CHECKED, "desktop box checked");
    Press(hPage, IDC_BROWSE);
    HWND hGroups = Dialog(kGroupBrowser, hPage), hList = GetDlgItem(hGroups, IDC_GROUP_LIST);
    CheckGroupBrowser(hGroups, parent);
    for (; s.arg == "walk" && parent.size() > 21; CheckGroupBrowser(hGroups, parent)) {
        Need(Check(DoubleClickItem(hList, qt::kUpItem), "double-click the up item"));
        parent.erase(parent.rfind('\\'));
    }
    for (const char* pszInto : {kTestGroups, kEarly, kProduct}) {
        if (s.arg != "walk")
            break;
        Need(Check(DoubleClickItem(hList, pszInto), "double-click \"%s\"", pszInto));
        CheckGroupBrowser(hGroups, parent = Join(parent, pszInto));
    }
    PressToClose(hGroups, IDCANCEL, "group browser");
    group = parent + "\\" + kProduct;
    Check(qt::PollText(GetDlgItem(hPage, IDC_TARGET_EDIT), group, APPEAR_MS, &shown), "page shows \"%s\"",
          shown.c_str());
}
static void OpUncheck(const Step&)
{
    HWND hBox = GetDlgItem(run.hPage, IDC_DESKTOP_CHECK);
    LRESULT checked = -1;
    Need(Check(PostMessageA(hBox, BM_CLICK, 0, 0) &&
                   PollUntil(APPEAR_MS, [&] { return Ask(hBox, BM_GETCHECK, 0, 0, checked) && !checked; }),
               "desktop box unchecked"));
}

// Afterwards, "made group,links,desktop,entries" (those made; the rest
// must not be): the six values naming the group, the group folder, its
// three links and the desktop's, each pointing at its game file.
static std::string Sz(const std::string& text) { return "1:" + std::to_string(text.size() + 1) + ":" + text; }
static void OpCheckShortcuts(const Step& s)
{
    auto has = [&](const char* pszWhat) { return s.arg.find(pszWhat) != std::string::npos; };
    // The uninstall command quoted: Windows starts the stored text as it is.
    std::vector<std::string> values, expected = {Sz(kProduct), Sz(kDefaultDir), Sz(kProduct),
                                                  Sz("\"" + Join(kDefaultDir, "uninstall.exe") + "\""), Sz(group),
                                                  Sz(kDefaultDir)};
    if (!has("entries"))
        expected.assign(expected.size(), "-");
    std::string shown;
    for (auto [pszKey, pszName] : {std::pair{kAppPaths, ""}, {kAppPaths, "Path"}, {kUninstall, "DisplayName"},
                                   {kUninstall, "UninstallString"}, {kUninstall, "Scdir"}, {kUninstall, "Progdir"}}) {
        values.push_back(qt::RegValueText(HKEY_LOCAL_MACHINE, pszKey, pszName, samSetupView));
        shown += " [" + values.back() + "]";
    }
    Check(values == expected, "six values:%s", shown.c_str());
    Check(IsDir(group) == has("group"), "%s %s", group.c_str(), has("group") ? "made" : "not made");
    struct Link { std::string folder; const char *pszName, *pszTarget, *pszDescription; bool bMade; };
    for (const Link& link : {Link{Desktop(), "Quarnel.lnk", "quarnel.exe", "Quarnel", has("desktop")},
                             {group, "Quarnel.lnk", "quarnel.exe", "Quarnel", has("links")},
                             {group, "Uninstall.lnk", "uninstall.exe", "Uninstall", has("links")},
                             {group, "Readme.lnk", "Readme.rtf", "Readme", has("links")}}) {
        std::string path = Join(link.folder, link.pszName), target = Join(kDefaultDir, link.pszTarget);
        std::string read = qt::ReadShellLink(path);
        Check(link.bMade ? read == target + "|" + link.pszDescription && Exists(target) : !Exists(path), "%s: %s",
              path.c_str(), link.bMade ? read.c_str() : "none");
    }
}
static void OpGroupEmpty(const Step&)
{
    Check(IsDir(group) && qt::Entries(group + "\\", false).empty(), "no shortcut saved under a cut name in the group");
}

// The shell's window of the group, named after its last component, among
// all processes: when no shell runs yet, the one setup.exe starts hands the
// folder to another.
static HWND GroupWindow(const std::string& name, DWORD ms)
{
    HWND hFolder = nullptr;
    PollUntil(ms, [&] {
        for (HWND hWnd : Windows(0))
            if (!hFolder && IsWindowVisible(hWnd) && TitleOf(hWnd) == name)
                hFolder = hWnd;
        return hFolder != nullptr;
    });
    return hFolder;
}
// After the exit the shell shows the group (the window is closed here).
static void OpOpened(const Step&)
{
    std::string name = group.substr(group.rfind('\\') + 1);
    HWND hFolder = GroupWindow(name, APPEAR_MS);
    Need(Check(hFolder, "the shell opens the group: a window \"%s\"", name.c_str()));
    Shot(hFolder, "program-group");
    PostMessageA(hFolder, WM_CLOSE, 0, 0);
    Check(PollUntil(APPEAR_MS, [&] { return Gone(hFolder); }), "group window closed");
}
// No group: no window and no box from any process. (Whether a shell process
// starts is Wine's affair: the first window of a session starts its desktop
// process too.)
static void OpNothingOpened(const Step&)
{
    std::string shown;
    PollUntil(1500, [&] {
        for (HWND hWnd : Windows(0))
            if (IsWindowVisible(hWnd))
                shown += " [" + ClassOf(hWnd) + ":" + TitleOf(hWnd) + "]";
        return !shown.empty();
    });
    Check(shown.empty(), "nothing shown for an empty folder%s", shown.c_str());
}

// The installation removed again from the system's list of programs: the
// stored command started as Windows starts it and answered Yes ("stored"),
// with /S ("silent"), as an earlier build wrote it, unquoted ("legacy"),
// through Wine's own list ("wine-list"), or refused for a tampered
// "Progdir" of a drive's root ("tampered", exit 2). A saved game the player
// added in a folder of their own stays, with the install folder holding it.
constexpr char kSave[] = "C:\\Program files\\Quarnel\\Saves\\slot1.sav";
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
// Bent by "bend": a game folder replaced by a link to a folder of
// same-named files, "Scdir" sent to another program's group, "Common
// Desktop" ending in a backslash. The uninstall then leaves the linked files
// and says so.
constexpr char kElsewhere[] = "C:\\QuarnelElsewhere", kOtherGroup[] = "C:\\QuarnelOtherGroup";
static std::string linkedFolder, desktopLink;
static std::vector<std::string> elsewhereFiles;
static void AskedAndDone()
{
    UninstallBox("uninstall-question", "Remove Quarnel from this computer?", IDYES);
    if (linkedFolder.empty())
        UninstallBox("uninstall-done", "Quarnel was removed from this computer.", IDOK);
    else
        UninstallBox("uninstall-left", "Quarnel was removed, except for these", IDOK);
}
static void OpBend(const Step&)
{
    auto nested = std::find_if(records.begin(), records.end(), [](auto& n) { return n.find('\\') != n.npos; });
    Need(nested != records.end());
    linkedFolder = Join(installDir, nested->substr(0, nested->find('\\')));
    desktopLink = Join(Desktop(), "Quarnel.lnk");
    bool bBent = MoveFileA(linkedFolder.c_str(), kElsewhere) && qt::MakeDirectoryLink(linkedFolder, kElsewhere) &&
                 CreateDirectoryA(kOtherGroup, nullptr) &&
                 qt::SetRegValue(HKEY_LOCAL_MACHINE, kUninstall, "Scdir", kOtherGroup, samSetupView) &&
                 qt::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Desktop", Desktop() + "\\", samSetupView);
    for (const char* pszLink : {"Quarnel.lnk", "Uninstall.lnk", "Readme.lnk"})
        bBent = bBent && CreateShellLink("C:\\QuarnelOther\\other.exe", Join(kOtherGroup, pszLink).c_str(), "") == S_OK;
    elsewhereFiles = qt::ListFiles(qt::FsPath(kElsewhere));
    Need(Check(bBent && !elsewhereFiles.empty(), "%s links to %s; Scdir %s; desktop value ends in a backslash",
               linkedFolder.c_str(), kElsewhere, kOtherGroup));
}
static void OpBent(const Step&)
{
    Check(qt::ListFiles(qt::FsPath(kElsewhere)) == elsewhereFiles, "the %zu files behind the link stay", elsewhereFiles.size());
    Check(qt::ListFiles(qt::FsPath(kOtherGroup)).size() == 3, "the other program's group keeps its three links");
    Check(!Exists(desktopLink), "the desktop link goes: %s", desktopLink.c_str());
    Check(qt::KeyExists(HKEY_LOCAL_MACHINE, kUninstall, samSetupView), "the uninstall entry stays for another try");
    qt::RemoveTree(linkedFolder);
}
// Wine's list of installed programs: uninstaller.exe with args, its output
// read through a pipe.
static DWORD WineUninstaller(const std::string& args, std::string* pOut)
{
    SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
    HANDLE hRead = nullptr, hWrite = nullptr;
    Need(CreatePipe(&hRead, &hWrite, &sa, 0));
    SetHandleInformation(hRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = hWrite;
    PROCESS_INFORMATION started = {};
    std::string program = ShellFolder(0x25 /* CSIDL_SYSTEM */) + "\\uninstaller.exe", line = "uninstaller.exe " + args;
    Need(Check(CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &started),
               "started %s", line.c_str()));
    CloseHandle(hWrite);
    if (!pOut)
        AskedAndDone();
    char buffer[4096];
    for (DWORD cb = 0; ReadFile(hRead, buffer, sizeof(buffer), &cb, nullptr) && cb;)
        if (pOut)
            pOut->append(buffer, cb);
    CloseHandle(hRead);
    qt::JobRun job = {nullptr, started};
    DWORD dwExit = qt::ExitCodeWithin(job, APPEAR_MS * 6);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return dwExit;
}
static void OpUninstall(const Step& s)
{
    // The page's own rows check the shell's window; it is only closed here,
    // so that no later run finds it open (Wine's 32-bit shell may die under
    // an emulated CPU: then there is none).
    if (HWND hFolder = GroupWindow(kProduct, APPEAR_MS))
        PostMessageA(hFolder, WM_CLOSE, 0, 0);
    std::string uninstaller = Join(kDefaultDir, "uninstall.exe"), saves = Join(kDefaultDir, "Saves");
    Need(Check(CreateDirectoryA(saves.c_str(), nullptr) && (std::ofstream(kSave) << "level 7").flush(), "saved game %s",
               kSave));
    if (s.arg == "tampered")
        Need(Check(qt::SetRegValue(HKEY_LOCAL_MACHINE, kUninstall, "Progdir", "C:\\", samSetupView),
                   "\"Progdir\" set to C:\\"));
    if (s.arg == "legacy")
        Need(Check(qt::SetRegValue(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString", uninstaller, samSetupView),
                   "entry as an earlier build wrote it"));
    std::string command = qt::RegValueText(HKEY_LOCAL_MACHINE, kUninstall, "UninstallString", samSetupView);
    command.erase(0, command.find(':', command.find(':') + 1) + 1);
    Need(Check(command == (s.arg == "legacy" ? uninstaller : "\"" + uninstaller + "\""), "uninstall entry: %s",
               command.c_str()));
    DWORD dwExit = STILL_ACTIVE;
    if (s.arg == "wine-list") {
        std::string listed;
        dwExit = WineUninstaller("--list", &listed);
        Check(dwExit == 0 && listed.find("|||Quarnel") != std::string::npos,
              "Wine's list of installed programs shows Quarnel: %s", listed.c_str());
        dwExit = WineUninstaller("--remove Quarnel", nullptr);
    } else {
        // As Windows' list starts it; unattended runs add /S.
        if (s.arg == "silent" || s.arg == "tampered")
            command += " /S";
        PROCESS_INFORMATION started = {};
        std::string program;
        Need(Check(StartStored(command, started, &program) && program == uninstaller, "started %s as Windows does",
                   command.c_str()));
        if (s.arg == "stored" || s.arg == "legacy")
            AskedAndDone();
        qt::JobRun job = {nullptr, started};
        dwExit = qt::ExitCodeWithin(job, APPEAR_MS * 3);
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
    }
    Check(dwExit == (s.arg == "tampered" ? 2u : 0u), "uninstaller exit code %lu", static_cast<unsigned long>(dwExit));
    // Without /S the original ends once its temporary copy runs: the copy
    // removes the files after the boxes.
    PollUntil(APPEAR_MS, [&] { return s.arg == "tampered" || !linkedFolder.empty() || !Exists(uninstaller); });
}
// Afterwards: the saved game is there; "uninstalled yes|no": AImages, the
// links, the group and both keys gone, or all kept.
static void OpSaved(const Step&) { Check(ReadAll(kSave) == "level 7", "the saved game is still there"); }
static void OpUninstalled(const Step& s)
{
    bool bKept = s.arg == "no";
    for (const std::string& path : {Join(kDefaultDir, "AImages"), Join(group, "Quarnel.lnk"),
                                    Join(group, "Uninstall.lnk"), Join(group, "Readme.lnk"),
                                    Join(Desktop(), "Quarnel.lnk"), group})
        Check(Exists(path) == bKept, "%s %s", path.c_str(), bKept ? "kept" : "removed");
    for (const char* pszKey : {kAppPaths, kUninstall})
        Check(qt::KeyExists(HKEY_LOCAL_MACHINE, pszKey, samSetupView) == bKept, "HKLM\\%s %s", pszKey,
              bKept ? "kept" : "removed");
}

static OpList kOps = {
    {"craft", OpCraft}, {"damage", OpCraft}, {"plant", OpPlant}, {"snapshot", OpSnapshot}, {"untouched", OpUntouched},
    {"fill", OpFill}, {"locked-file", OpLockedFile}, {"kept", OpKept}, {"room", OpRoom}, {"non-ascii", OpNonAscii},
    {"licence", OpLicence}, {"still-scrolled", OpStillScrolled}, {"long-dir", OpLongDir},
    {"drive-count", OpDriveCount}, {"no-programs", OpNoPrograms}, {"deep-programs", OpDeepPrograms},
    {"lock-keys", OpLockKeys}, {"groups", OpGroups}, {"shortcuts", OpShortcuts}, {"uncheck", OpUncheck},
    {"made", OpCheckShortcuts}, {"group-empty", OpGroupEmpty}, {"opened", OpOpened},
    {"nothing-opened", OpNothingOpened}, {"uninstall", OpUninstall}, {"saved", OpSaved},
    {"uninstalled", OpUninstalled}, {"bend", OpBend}, {"bent", OpBent},
};
