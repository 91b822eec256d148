// The fault matrix end to end: installers around payloads crafted for the
// test, a drive that fills during the extraction, a run killed midway and
// started again, an install directory named outside ASCII. Each row checks
// what the user sees, the exit code and the disk, and prints itself as a
// line of the matrix.
#include "tests/common/test_support.h"
#include "tests/e2e/driver.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>

// S: is a drive with room for the free-space check but not for the staged
// payload, its archive and the game together (scripts/test-drives.sh).
constexpr char kFill[] = "S:\\", kFillTemp[] = "S:\\Temp", kFillDir[] = "S:\\Quarnel";
constexpr char kNonAsciiName[] = "Qu\xE4rnel", kNonAsciiDir[] = "C:\\Program files\\Qu\xE4rnel";
static MadePaths kFaultMade = {kFillTemp, kFillDir, "S:\\ballast.bin", kNonAsciiDir, "C:\\Program files\\escaped.txt",
                               "C:\\escaped.txt"};

constexpr BoxDesc kNotGzip = {"gzip-error", "setup: not in gzip format\n", OK, "none", "Error"};
static const DialogDesc kBrowser = {"dir-browser", "Setup - directory", {{IDOK, "Button", "OK"},
                                    {IDC_DRIVE_COMBO, "ComboBox", nullptr}, {IDC_FOLDER_NAME, "Edit", nullptr}}};

// What the user has: every file (with its size and time) and folder on C:
// but the system's folder, in the setup's folder, at the root of the host's
// file system, and on the filling drive. Taken before setup.exe starts.
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
    if (GetDriveTypeA(kFill) > DRIVE_NO_ROOT_DIR)
        Walk(kFill, tree, true);
    return tree;
}
static void TakeSnapshot() { before = Snapshot(); }

// Nothing the user had is gone, and nothing is new or changed outside the
// install directory and what the shortcut page makes (the program group and
// the desktop shortcut): the temporary directory is as it was, since
// whatever the run writes there must go again.
static void CheckUntouched(const std::string& installDir)
{
    std::string group = Lower(Join(ShellFolder(CSIDL_COMMON_PROGRAMS), kProduct));
    std::string desktopLink = Lower(Join(ShellFolder(CSIDL_COMMON_DESKTOPDIRECTORY), "Quarnel.lnk"));
    std::string inside = Lower(installDir) + "\\", removed, written;
    auto made = [&](const std::string& path) {
        return (path + "\\").compare(0, inside.size(), inside) == 0 || path == desktopLink ||
               (path + "\\").compare(0, group.size() + 1, group + "\\") == 0;
    };
    Tree after = Snapshot();
    for (const auto& [path, what] : before)
        removed += after.count(path) ? "" : " " + path;
    for (const auto& [path, what] : after) {
        auto was = before.find(path);
        bool bKept = was != before.end() && was->second == what;
        written += bKept || made(path) ? "" : " " + path;
    }
    Check(!before.empty() && removed.empty(), "nothing the user had removed (%zu entries)%s", before.size(),
          removed.substr(0, 300).c_str());
    Check(written.empty(), "nothing written outside %s or left in the temporary directory%s", installDir.c_str(),
          written.substr(0, 300).c_str());
}

// The copy page ends by itself: no box of its own, the cancel message, exit 0.
static void CopyEnds(HWND hPage)
{
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "copy page closes"));
    Ends(kCanceled);
}

// Crafted payloads: the game's first nReal records whole, then record nReal
// cut inside its name, size or data, or a record of the test's own (a name
// that leaves the install directory, or an 80th); or the whole archive
// without gzip around it. The fault comes late enough (record 61) that the
// payload takes a while to decompress and the copy page is caught.
enum class Cut { None, Name, Size, Data };
struct Crafted {
    const char *pszScenario, *pszFault, *pszExpected;
    size_t nReal;
    Cut cut;
    const char* pszExtra;
    bool bGzip = true;
};
constexpr char kStops[] = "no box from the page, canceled; the records before it whole, none after";
static const Crafted kCrafted[] = {
    {"fault_not_gzip", "payload not gzip", "gzip error, can't decompress, canceled; nothing written", 79, Cut::None,
     nullptr, false},
    {"fault_cut_in_name", "archive cut inside a name", kStops, 60, Cut::Name, nullptr},
    {"fault_cut_in_size", "archive cut inside a size", kStops, 60, Cut::Size, nullptr},
    {"fault_cut_in_data", "archive cut inside a record's data", kStops, 60, Cut::Data, nullptr},
    {"fault_80_records", "80 records", "installed; the 80th never written", 79, Cut::None, "GAMEBIN\\extra.dat"},
    {"fault_name_dotdot", "record name with ..", kStops, 60, Cut::None, "..\\escaped.txt"},
    {"fault_name_drive", "record name with a drive letter", kStops, 60, Cut::None, "C:\\escaped.txt"},
    {"fault_name_backslash", "record name with a leading backslash", kStops, 60, Cut::None, "\\escaped.txt"},
};

static qt::Bytes BytesOf(const std::string& text) { return qt::Bytes(text.begin(), text.end()); }

static qt::Bytes CraftedPayload(const Crafted& c)
{
    qt::Bytes archive;
    for (size_t i = 0; i < c.nReal; ++i)
        qt::AppendRecord(archive, records[i], BytesOf(GameFile(records[i])));
    if (c.pszExtra)
        qt::AppendRecord(archive, c.pszExtra, BytesOf("escaped"));
    if (c.cut != Cut::None) {
        const std::string& name = records[c.nReal];
        size_t at = archive.size(), cbHead = 1 + name.size() + 4;
        qt::AppendRecord(archive, name, BytesOf(GameFile(name)));
        archive.resize(at + (c.cut == Cut::Name   ? 1 + name.size() / 2
                             : c.cut == Cut::Size ? cbHead - 2
                                                  : cbHead + (archive.size() - at - cbHead) / 2));
    }
    return c.bGzip ? qt::Gzip(archive) : archive;
}

// A copy of setup.exe with the crafted payload in place of its own, read
// back as the installer will find it; the run starts that copy.
static void Craft(const Crafted& c)
{
    std::string exe = setupExe.substr(0, setupExe.find_last_of('\\')) + "\\tests\\e2e\\" + c.pszScenario + ".exe";
    qt::Bytes payload = CraftedPayload(c);
    HANDLE hUpdate = CopyFileA(setupExe.c_str(), exe.c_str(), FALSE) ? BeginUpdateResourceA(exe.c_str(), FALSE)
                                                                     : nullptr;
    bool bUpdated = hUpdate && UpdateResourceA(hUpdate, RT_RCDATA, MAKEINTRESOURCEA(IDR_PAYLOAD),
                                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), payload.data(),
                                               static_cast<DWORD>(payload.size()));
    bUpdated = hUpdate && EndUpdateResourceA(hUpdate, !bUpdated) && bUpdated;
    HMODULE hExe = bUpdated ? LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    HRSRC hRes = hExe ? FindResourceA(hExe, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) : nullptr;
    const void* pData = hRes ? LockResource(LoadResource(hExe, hRes)) : nullptr;
    bool bRead = pData && SizeofResource(hExe, hRes) == payload.size() &&
                 std::equal(payload.begin(), payload.end(), static_cast<const unsigned char*>(pData));
    if (hExe)
        FreeLibrary(hExe);
    Need(Check(bRead, "%s carries the %zu crafted bytes as its payload", exe.c_str(), payload.size()));
    setupExe = exe;
}

// The decompression's box, the page's, the cancel message; no game file.
static std::string DecompressionFails(HWND hPage, const BoxDesc& gzError)
{
    Box(gzError, nullptr, IDOK);
    Box(kCantDecompress, hPage, IDOK);
    CopyEnds(hPage);
    CheckCopied(kDefaultDir, Expected(0));
    return "gzip error, can't decompress, canceled";
}

static void RunCrafted(const Crafted& c)
{
    MatrixRow row{c.pszFault, c.pszExpected, kDefaultDir};
    HWND hPage = CopyPageWithDefaults();
    if (!c.bGzip) {
        row.seen = DecompressionFails(hPage, kNotGzip);
    } else if (c.nReal == records.size()) {
        Installed(kDefaultDir, hPage);
        Check(!Exists(Join(kDefaultDir, c.pszExtra)), "%s not written", c.pszExtra);
        row.seen = "installed";
    } else {
        std::vector<size_t> seen = FollowCopy(hPage, kDefaultDir);
        // Sampled from outside, the last record or two may pass unseen; none
        // past the fault may ever show (the disk is checked exactly below).
        Check(!seen.empty() && seen.back() < c.nReal && seen.back() + 5 >= c.nReal,
              "the run stops by record %zu (last seen %zu)", c.nReal, seen.empty() ? 0 : seen.back() + 1);
        CopyEnds(hPage);
        CheckCopied(kDefaultDir, Expected(c.nReal));
        row.seen = "canceled";
    }
    CheckUntouched(kDefaultDir);
}

template <size_t i> Scenario CraftedScenario()
{
    return {kCrafted[i].pszScenario, [] { RunCrafted(kCrafted[i]); }, false, nullptr, [] {
                Craft(kCrafted[i]);
                TakeSnapshot();
            }};
}

// Through the browser: the drive's letter typed into its drive box, the
// folder name typed into its emptied edit (a sent message overtakes the
// posted keys, so the name is whole only once every key is handled); OK,
// and the page shows dir.
static void ChooseDir(HWND hPage, const char* pszDrive, const std::string& name, const std::string& dir)
{
    Press(hPage, IDC_BROWSE);
    HWND hBrowser = Dialog(kBrowser, hPage), hName = GetDlgItem(hBrowser, IDC_FOLDER_NAME);
    LRESULT set = 0;
    std::string typed, shown;
    bool bTyped = PostChars(GetDlgItem(hBrowser, IDC_DRIVE_COMBO), pszDrive) &&
                  Ask(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""), set) && PostChars(hName, name) &&
                  PollUntil(APPEAR_MS, [&] { return (typed = TextOf(hName)) == name; });
    Need(Check(bTyped, "browser: drive \"%s\" and folder \"%s\" typed", pszDrive, typed.c_str()));
    PressToClose(hBrowser, IDOK, "dir-browser");
    bool bShown = PollUntil(APPEAR_MS, [&] { return (shown = TextOf(GetDlgItem(hPage, IDC_TARGET_EDIT))) == dir; });
    Need(Check(bShown, "page shows \"%s\"", shown.c_str()));
    PressToClose(hPage, IDOK, "install-dir page");
}

static ULONGLONG Pages(ULONGLONG cb) { return (cb + 4095) / 4096 * 4096; }

// The staged payload and its archive lie beside the install directory: the
// run stops at the first record that does not fit in what they leave, and
// takes away the cut file and both of them.
static void DiskFills()
{
    MatrixRow row{"disk fills during the extraction", "the run stops at the record that does not fit, no cut file, "
                  "temporary files removed, canceled", kFillDir};
    ChooseDir(DirPage(), "s", kProduct, kFillDir);
    FollowCopy(CopyPage(), kFillDir);
    Ends(kCanceled);
    row.seen = "canceled";
    std::string states = RecordStates(kFillDir);
    size_t n = std::min(states.find_first_not_of('W'), records.size());
    Need(Check(n > 0 && n < records.size(), "%zu records whole before the drive filled", n));
    CheckCopied(kFillDir, Expected(n));

    // What the staged files took: the payload resource and the archive.
    HMODULE hExe = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    HRSRC hRes = hExe ? FindResourceA(hExe, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) : nullptr;
    ULONGLONG cbArchive = 0, cbStaged = hRes ? Pages(SizeofResource(hExe, hRes)) : 0;
    if (hExe)
        FreeLibrary(hExe);
    for (const std::string& name : records)
        cbArchive += 5 + name.size() + GameFile(name).size();
    ULARGE_INTEGER free = {};
    GetDiskFreeSpaceExA(kFill, &free, nullptr, nullptr);
    long long room = static_cast<long long>(free.QuadPart - cbStaged - Pages(cbArchive));
    ULONGLONG cbRecord = Pages(GameFile(records[n]).size());
    Check(cbStaged && room >= 0 && cbRecord > static_cast<ULONGLONG>(room),
          "record %zu (%llu bytes) did not fit in the %lld bytes left beside the staged files", n + 1, cbRecord,
          room);
    CheckUntouched(kFillDir);
}

// The temporary directory on S: with room for the staged payload only (a
// file of the user's takes the rest): the archive cannot be written whole.
constexpr char kBallast[] = "S:\\ballast.bin";
constexpr BoxDesc kWriteFailed = {"gzip-error", "setup: failed fwrite\n", OK, "none", "Error"};
static void FillBeforehand()
{
    ULARGE_INTEGER free = {};
    HANDLE hFile = CreateFileA(kBallast, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool bFilled = GetDiskFreeSpaceExA(kFill, &free, nullptr, nullptr) && hFile != INVALID_HANDLE_VALUE;
    // Written, not merely sized: the drive keeps no room for a sparse file's holes.
    static const char zeros[1 << 20] = {};
    for (ULONGLONG cb = 0; bFilled && cb + (8 << 20) < free.QuadPart; cb += sizeof(zeros)) {
        DWORD written = 0;
        bFilled = WriteFile(hFile, zeros, sizeof(zeros), &written, nullptr) && written == sizeof(zeros);
    }
    if (hFile != INVALID_HANDLE_VALUE)
        CloseHandle(hFile);
    GetDiskFreeSpaceExA(kFill, &free, nullptr, nullptr);
    Need(Check(bFilled, "%s written beforehand, %llu bytes left on %s", kBallast, free.QuadPart, kFill));
}

static void DiskFillsDecompressing()
{
    MatrixRow row{"temporary drive fills during the decompression", "\"failed fwrite\", can't decompress, canceled; "
                  "no game file, temporary files removed", kDefaultDir};
    row.seen = DecompressionFails(CopyPageWithDefaults(), kWriteFailed);
    CheckUntouched(kDefaultDir);
}

// Killed between two records, then started again with the defaults: the
// directory exists, Yes, and every file is whole afterwards.
static void KilledMidway()
{
    MatrixRow row{"installer killed during the extraction, run again",
                  "existing-directory question; Yes; every file whole; temporary files removed", kDefaultDir};
    size_t nKilled = 0;
    FollowCopy(CopyPageWithDefaults(), kDefaultDir, [&](size_t i) {
        if (nKilled || i < 20)
            return;
        nKilled = i + 1;
        Need(Check(TerminateProcess(pi.hProcess, 1) && WaitForSingleObject(pi.hProcess, APPEAR_MS) == WAIT_OBJECT_0,
                   "setup.exe killed after record %zu was read", nKilled));
    });
    std::string states = RecordStates(kDefaultDir);
    size_t nWhole = std::min(states.find_first_not_of('W'), records.size());
    Need(Check(nKilled && nWhole >= nKilled && nWhole < records.size(), "killed: %s", states.c_str()));
    char szTemp[MAX_PATH] = "";
    GetTempPathA(sizeof(szTemp), szTemp);
    std::string staged = Join(szTemp, "filesdata.gz"), archive = Join(szTemp, "filesdata.dat");
    Check(Exists(staged) && Exists(archive), "the killed run left %s and %s", staged.c_str(), archive.c_str());
    StartAgain();
    Answer(DirPage(), IDOK, kExists, IDYES, false);
    Installed(kDefaultDir);
    row.seen = "killed; again: directory-exists, Yes, installed";
    CheckUntouched(kDefaultDir);
}

// A folder name in the ANSI code page typed into the browser: the files lie
// under the name the user typed, as the file system spells it in UTF-16.
static void NonAsciiDir()
{
    MatrixRow row{"install directory outside ASCII (a-umlaut, code page 1252)",
                  "installed under the name as typed", kNonAsciiDir};
    Need(Check(GetACP() == 1252, "ANSI code page %u", GetACP()));
    ChooseDir(DirPage(), "", kNonAsciiName, kNonAsciiDir);
    Installed(kNonAsciiDir);
    row.seen = "installed";
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(L"C:\\Program files\\Qu*rnel", &fd);
    bool bNamed = hFind != INVALID_HANDLE_VALUE && wcscmp(fd.cFileName, L"Qu\u00e4rnel") == 0 &&
                  !FindNextFileW(hFind, &fd) &&
                  GetFileAttributesW(L"C:\\Program files\\Qu\u00e4rnel\\quarnel.exe") != INVALID_FILE_ATTRIBUTES;
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
    Check(bNamed, "the only folder like it is Qu\\u00e4rnel, the game in it");
    // The entries and the shortcuts name it too, read back as Unicode.
    const std::wstring wDir = L"C:\\Program files\\Qu\u00e4rnel";
    wchar_t wsz[MAX_PATH] = L"";
    DWORD cb = sizeof(wsz);
    HKEY hEntry = nullptr;
    Check(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel", 0,
                        KEY_READ | samSetupView, &hEntry) == ERROR_SUCCESS &&
              RegGetValueW(hEntry, nullptr, L"Progdir", RRF_RT_REG_SZ, nullptr, wsz, &cb) == ERROR_SUCCESS &&
              wDir == wsz,
          "Progdir names Qu\\u00e4rnel");
    if (hEntry)
        RegCloseKey(hEntry);
    std::string link = Join(Join(ShellFolder(CSIDL_COMMON_PROGRAMS), kProduct), "Quarnel.lnk");
    std::wstring wLink(link.begin(), link.end());
    wsz[0] = L'\0';
    CoInitialize(nullptr);
    IShellLinkW* pLink = nullptr;
    IPersistFile* pFile = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&pLink))) &&
        SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile))) &&
        SUCCEEDED(pFile->Load(wLink.c_str(), STGM_READ)))
        pLink->GetPath(wsz, MAX_PATH, nullptr, SLGP_RAWPATH);
    if (pFile)
        pFile->Release();
    if (pLink)
        pLink->Release();
    CoUninitialize();
    Check(wDir + L"\\quarnel.exe" == wsz, "%s points into Qu\\u00e4rnel", link.c_str());
    CheckUntouched(kNonAsciiDir);
}

static ScenarioList kFaultScenarios = {
    CraftedScenario<0>(), CraftedScenario<1>(), CraftedScenario<2>(), CraftedScenario<3>(),
    CraftedScenario<4>(), CraftedScenario<5>(), CraftedScenario<6>(), CraftedScenario<7>(),
    {"fault_disk_fills", DiskFills, false, kFillTemp, [] {
         NeedDrive(kFill);
         Need(Check(CreateDirectoryA(kFillTemp, nullptr), "%s made beforehand", kFillTemp));
         TakeSnapshot();
     }},
    {"fault_disk_fills_decompressing", DiskFillsDecompressing, false, kFillTemp, [] {
         NeedDrive(kFill);
         Need(Check(CreateDirectoryA(kFillTemp, nullptr), "%s made beforehand", kFillTemp));
         FillBeforehand();
         TakeSnapshot();
     }},
    {"fault_killed_midway", KilledMidway, false, nullptr, TakeSnapshot},
    {"fault_non_ascii_dir", NonAsciiDir, false, nullptr, TakeSnapshot},
};
