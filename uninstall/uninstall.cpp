// uninstall.exe: removes an installation of Quarnel. It finds the
// installation only through the folders Setup recorded in its uninstall
// entry, and removes what Setup made there: the files this build packed
// (kInstalledFiles, written at build time from the packer's manifest), their
// folders when empty, the links and the registry keys. A file the player
// added, such as a saved game, stays with the folders that hold it.
//
// It runs from the folder it empties, and a running program's file cannot be
// removed: started there, it continues from a copy of itself in the
// temporary folder.
//
// uninstall.exe [/S]   /S: no questions and no messages; the original waits
//                      for its copy and returns the copy's exit code
//                      (UninstallExit in uninstall_rules.h).

#include "shell/comguard.h"
#include "shell/regguard.h"
#include "shell/strutil.h"
#include "shell/system_dll.h"
#include "uninstall/installed_files.h"
#include "uninstall/uninstall_rules.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstring>

namespace {

const char kCaption[] = "Quarnel - Uninstall";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kTempPrefix[] = "qun";
// The temporary copy's folder: kCopyFolderPrefix and 32 random hex digits,
// made new by each run, so no other program can have placed anything there.
const char kCopyFolderPrefix[] = "Quarnel-uninstall-";
// The shell's link object, defined here: libuuid's one object file carries
// every GUID of the system headers, some 40 KB.
constexpr CLSID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// A recorded folder: the longest the rules accept, its terminator, and one
// byte more, so that a value the registry cannot fit in is too long for the
// rules as well.
constexpr size_t kFolderBuffer = RECORDED_FOLDER_MAX + 2;
// How many leftovers the closing message names; the rest are only counted.
constexpr int kMaxListed = 12;

bool gbSilent;

// A box, unless the run is unattended.
void Say(const char* pszText, UINT uStyle)
{
    if (!gbSilent)
        MessageBoxA(nullptr, pszText, kCaption, uStyle);
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle()
    {
        if (h_)
            CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

class ComApartment {
public:
    ComApartment() : bReady_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment()
    {
        if (bReady_)
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool bReady_;
};

// What could not be removed: counted, and the first kMaxListed named, one a line.
struct LeftOver {
    char szList[kMaxListed * (MAX_PATH + 8)];
    int nCount;
};

void AddLeftOver(LeftOver* pLeft, const char* pszWhat)
{
    if (pLeft->nCount++ < kMaxListed) {
        StrAppend(pLeft->szList, "\n    ");
        StrAppend(pLeft->szList, pszWhat);
    }
}

// The long form of an existing path, in place, so that a path recorded or
// started in its 8.3 form compares equal to the long one. Left as it is when
// the path does not exist or its long form does not fit.
template <size_t N> void UseLongForm(char (&szPath)[N])
{
    char szLong[MAX_PATH];
    DWORD cch = GetLongPathNameA(szPath, szLong, MAX_PATH);
    if (cch > 0 && cch < MAX_PATH && cch < N)
        StrCopy(szPath, szLong);
}

// A folder recorded as a REG_SZ value, judged by the rules. A value of
// another type counts as missing.
// bAsShellFolder: one backslash at its end is dropped, as Setup drops it
// when it puts its link there.
PathRefusal ReadRecordedFolder(HKEY hKey, const char* pszName, char (&szFolder)[kFolderBuffer],
                               bool bAsShellFolder = false)
{
    DWORD dwType = REG_NONE;
    DWORD cb = kFolderBuffer - 1;
    LONG lResult = hKey ? RegQueryValueExA(hKey, pszName, nullptr, &dwType, reinterpret_cast<BYTE*>(szFolder), &cb)
                        : ERROR_FILE_NOT_FOUND;
    szFolder[lResult == ERROR_SUCCESS ? cb : 0] = '\0';
    if (lResult == ERROR_MORE_DATA && dwType == REG_SZ)
        return PathRefusal::TooLong;
    if (lResult != ERROR_SUCCESS || dwType != REG_SZ)
        return CheckRecordedFolder(nullptr, 0);
    // The registry keeps the terminator that the writer passed, or none.
    size_t cch = cb;
    if (cch > 0 && szFolder[cch - 1] == '\0')
        --cch;
    if (bAsShellFolder && cch > 0 && szFolder[cch - 1] == '\\')
        szFolder[--cch] = '\0';
    return CheckRecordedFolder(szFolder, cch);
}

// A junction, a symbolic link or a mount point: what lies below it is not
// the installation's, wherever the link points.
bool IsLink(const char* pszLevel)
{
    DWORD dwAttributes = GetFileAttributesA(pszLevel);
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Nothing below a link inside the install folder is removed; an existing
// file there is reported as left.
bool BehindLink(const char* pszPath, const char* pszProgdir, LeftOver* pLeft)
{
    if (!ReachesThroughLink(pszPath, std::strlen(pszProgdir), IsLink))
        return false;
    if (pLeft && GetFileAttributesA(pszPath) != INVALID_FILE_ATTRIBUTES)
        AddLeftOver(pLeft, pszPath);
    return true;
}

void RemoveFile(const char* pszPath, LeftOver* pLeft)
{
    if (DeleteFileA(pszPath))
        return;
    DWORD dwError = GetLastError();
    if (dwError != ERROR_FILE_NOT_FOUND && dwError != ERROR_PATH_NOT_FOUND)
        AddLeftOver(pLeft, pszPath);
}

void RemoveKey(const char* pszKey, LeftOver* pLeft)
{
    LONG lResult = RegDeleteKeyA(HKEY_LOCAL_MACHINE, pszKey);
    if (lResult != ERROR_SUCCESS && lResult != ERROR_FILE_NOT_FOUND) {
        char szName[MAX_PATH];
        StrCopy(szName, "HKEY_LOCAL_MACHINE\\");
        StrAppend(szName, pszKey);
        AddLeftOver(pLeft, szName);
    }
}

bool ReadLinkTarget(const char* pszLink, char (&szTarget)[MAX_PATH]);

// A link of Setup's names is Setup's only when it starts something in the
// install folder: a wrong "Scdir" or another program's link of the same name
// keeps it.
void RemoveOwnLink(const char* pszFolder, const char* pszName, const char* pszProgdir, LeftOver* pLeft)
{
    char szLink[MAX_PATH], szTarget[MAX_PATH];
    if (!PathJoin(szLink, pszFolder, pszName) || GetFileAttributesA(szLink) == INVALID_FILE_ATTRIBUTES ||
        !ReadLinkTarget(szLink, szTarget))
        return;
    UseLongForm(szTarget);
    if (IsInsideFolder(szTarget, pszProgdir))
        RemoveFile(szLink, pLeft);
}

// Nothing else in the program group is Setup's; its folder goes only when
// that leaves it empty.
void RemoveProgramGroup(const char* pszScdir, const char* pszProgdir, LeftOver* pLeft)
{
    for (const char* pszLink : kGroupLinks)
        RemoveOwnLink(pszScdir, pszLink, pszProgdir, pLeft);
    RemoveDirectoryA(pszScdir);
}

bool ReadLinkTarget(const char* pszLink, char (&szTarget)[MAX_PATH])
{
    WCHAR wszLink[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, pszLink, -1, wszLink, MAX_PATH) == 0)
        return false;
    ComPtrGuard<IShellLinkA> link;
    ComPtrGuard<IPersistFile> file;
    return SUCCEEDED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, __uuidof(IShellLinkA), link.Out())) &&
           SUCCEEDED(link->QueryInterface(__uuidof(IPersistFile), file.Out())) &&
           SUCCEEDED(file->Load(wszLink, STGM_READ)) &&
           link->GetPath(szTarget, MAX_PATH, nullptr, SLGP_RAWPATH) == S_OK;
}

// The original may still be running, waiting for this copy (/S). Windows
// keeps a running program's file from being deleted but lets it move within
// its volume: moved into the temporary folder, it goes at the next restart
// and no longer holds the install folder.
void RemoveOriginal(const char* pszFrom, LeftOver* pLeft)
{
    if (DeleteFileA(pszFrom) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return;
    char szTempDir[MAX_PATH], szAside[MAX_PATH];
    DWORD cch = GetTempPathA(MAX_PATH, szTempDir);
    if (cch > 0 && cch < MAX_PATH && GetTempFileNameA(szTempDir, kTempPrefix, 0, szAside) != 0) {
        if (MoveFileExA(pszFrom, szAside, MOVEFILE_REPLACE_EXISTING)) {
            MoveFileExA(szAside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
            return;
        }
        DeleteFileA(szAside);
    }
    AddLeftOver(pLeft, pszFrom);
}

// The original's own file goes last, and only when nothing else is left:
// until then the uninstall entry still starts it for another try.
void RemoveInstalledFiles(const char* pszProgdir, const char* pszFrom, LeftOver* pLeft)
{
    char szPath[MAX_PATH];
    bool bOriginalListed = false;
    for (const char* pszName : kInstalledFiles) {
        if (!PathJoin(szPath, pszProgdir, pszName))
            continue;  // too long for Setup to have made it
        if (BehindLink(szPath, pszProgdir, pLeft))
            continue;
        if (SamePath(szPath, pszFrom))
            bOriginalListed = true;
        else
            RemoveFile(szPath, pLeft);
    }
    if (bOriginalListed && pLeft->nCount == 0)
        RemoveOriginal(pszFrom, pLeft);
}

// RemoveDirectoryA removes only empty folders, so the player's files keep
// theirs and the install folder. A folder that is a link goes as the link.
void RemoveInstalledFolders(const char* pszProgdir)
{
    char szPath[MAX_PATH];
    for (const char* pszFolder : kInstalledFolders)
        if (PathJoin(szPath, pszProgdir, pszFolder) && !BehindLink(szPath, pszProgdir, nullptr))
            RemoveDirectoryA(szPath);
    RemoveDirectoryA(pszProgdir);
}

void ReportResult(const char* pszProgdir, const LeftOver& left, PathRefusal groupRefusal)
{
    char szText[sizeof left.szList + 1024];
    if (left.nCount == 0) {
        StrCopy(szText, "Quarnel was removed from this computer.");
    } else {
        StrCopy(szText, "Quarnel was removed, except for these, which could not be removed (a program may be "
                        "using them, they are read-only, or they lie behind a link):\n");
        StrAppend(szText, left.szList);
        if (left.nCount > kMaxListed) {
            char szMore[64];
            StrFormat(szMore, sizeof szMore, "\n    and %d more", left.nCount - kMaxListed);
            StrAppend(szText, szMore);
        }
        StrAppend(szText, "\n\nClose the programs that use them, then remove Quarnel again from the list of "
                          "programs in the Control Panel.");
    }
    if (groupRefusal != PathRefusal::None) {
        StrAppend(szText, "\n\nThe shortcuts of the program group were left: its folder in the uninstall entry ");
        StrAppend(szText, PathRefusalText(groupRefusal));
        StrAppend(szText, ".");
    } else if (left.nCount == 0 && GetFileAttributesA(pszProgdir) != INVALID_FILE_ATTRIBUTES) {
        StrAppend(szText, "\n\nThe folder ");
        StrAppend(szText, pszProgdir);
        StrAppend(szText, " was kept: it holds files that Setup did not install, such as saved games.");
    }
    Say(szText, left.nCount == 0 && groupRefusal == PathRefusal::None ? MB_OK | MB_ICONINFORMATION
                                                                      : MB_OK | MB_ICONWARNING);
}

// The temporary copy, started by the original with the original's path.
int Uninstall(const char* pszFrom)
{
    char szFrom[MAX_PATH], szStartDir[MAX_PATH];
    if (!StrCopy(szFrom, pszFrom))
        return UNINSTALL_REFUSED;
    UseLongForm(szFrom);
    StrCopy(szStartDir, szFrom);
    char* pszSlash = std::strrchr(szStartDir, '\\');
    *(pszSlash ? pszSlash : szStartDir) = '\0';

    char szProgdir[kFolderBuffer], szScdir[kFolderBuffer], szDesktop[kFolderBuffer];
    PathRefusal refusal, groupRefusal;
    {
        RegKeyGuard uninstallKey, shellFolders;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_QUERY_VALUE, uninstallKey.Out()) != ERROR_SUCCESS) {
            Say("Quarnel is not installed.", MB_OK | MB_ICONINFORMATION);
            return UNINSTALL_REFUSED;
        }
        refusal = ReadRecordedFolder(uninstallKey, "Progdir", szProgdir);
        if (refusal == PathRefusal::None) {
            UseLongForm(szProgdir);
            refusal = CheckInstallFolder(szProgdir, std::strlen(szProgdir), szStartDir);
        }
        groupRefusal = ReadRecordedFolder(uninstallKey, "Scdir", szScdir);
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, kShellFoldersKey, 0, KEY_QUERY_VALUE, shellFolders.Out());
        if (ReadRecordedFolder(shellFolders, "Common Desktop", szDesktop, true) != PathRefusal::None)
            szDesktop[0] = '\0';
    }
    if (refusal != PathRefusal::None) {
        char szText[kFolderBuffer + 256];
        StrCopy(szText, "Quarnel cannot be uninstalled: the install folder in its uninstall entry ");
        StrAppend(szText, PathRefusalText(refusal));
        if (szProgdir[0] != '\0') {
            StrAppend(szText, " (");
            StrAppend(szText, szProgdir);
            StrAppend(szText, ")");
        }
        StrAppend(szText, ".\n\nNothing was removed.");
        Say(szText, MB_OK | MB_ICONERROR);
        return UNINSTALL_REFUSED;
    }
    if (!gbSilent) {
        char szText[kFolderBuffer + 256];
        StrCopy(szText, "Remove Quarnel from this computer?\n\nThe game's files in ");
        StrAppend(szText, szProgdir);
        StrAppend(szText, " and its shortcuts are removed. Saved games and other files you added there are kept.");
        if (MessageBoxA(nullptr, szText, kCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return UNINSTALL_CANCELLED;
    }

    LeftOver left = {};
    {
        ComApartment com;
        if (groupRefusal == PathRefusal::None)
            RemoveProgramGroup(szScdir, szProgdir, &left);
        if (szDesktop[0] != '\0')
            RemoveOwnLink(szDesktop, kDesktopLink, szProgdir, &left);
    }
    RemoveInstalledFiles(szProgdir, szFrom, &left);
    RemoveInstalledFolders(szProgdir);
    RemoveKey(kAppPathsKey, &left);
    // Kept while anything is left, so that the entry can start another try.
    if (left.nCount == 0)
        RemoveKey(kUninstallKey, &left);
    ReportResult(szProgdir, left, groupRefusal);
    return left.nCount == 0 && groupRefusal == PathRefusal::None ? UNINSTALL_DONE : UNINSTALL_INCOMPLETE;
}

int CannotCopy()
{
    Say("Uninstall cannot continue: it could not place a copy of itself in the temporary folder.\n\n"
        "Nothing was removed.",
        MB_OK | MB_ICONERROR);
    return UNINSTALL_NO_COPY;
}

// A program that has ended may hold its file a moment longer.
void DeleteCopy(const char* pszCopy, const char* pszCopyDir)
{
    for (int nTry = 0; nTry < 20 && !DeleteFileA(pszCopy); ++nTry)
        Sleep(50);
    RemoveDirectoryA(pszCopyDir);
}

// A new folder of this run's own in the temporary folder. Its name cannot be
// guessed beforehand, and one that exists already is never used: whatever
// is in it was put there by someone else.
bool MakeCopyFolder(const char* pszTempDir, char (&szCopyDir)[MAX_PATH])
{
    for (int nTry = 0; nTry < 8; ++nTry) {
        GUID random;
        char szName[64];
        if (FAILED(CoCreateGuid(&random)) ||
            !StrFormat(szName, sizeof szName, "%s%08lX%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X", kCopyFolderPrefix,
                       static_cast<unsigned long>(random.Data1), random.Data2, random.Data3, random.Data4[0],
                       random.Data4[1], random.Data4[2], random.Data4[3], random.Data4[4], random.Data4[5],
                       random.Data4[6], random.Data4[7]) ||
            !PathJoin(szCopyDir, pszTempDir, szName))
            return false;
        if (CreateDirectoryA(szCopyDir, nullptr))
            return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return false;
}

// The original: copies itself into a folder of its own in the temporary
// folder and starts the copy, which does the work. Neither process keeps the
// install folder as its current folder, which would keep the folder from
// being removed.
int RunFromTemporaryCopy()
{
    char szSelf[MAX_PATH], szTempDir[MAX_PATH], szCopyDir[MAX_PATH], szCopy[MAX_PATH];
    DWORD cchSelf = GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    DWORD cchTemp = GetTempPathA(MAX_PATH, szTempDir);
    if (cchSelf == 0 || cchSelf >= MAX_PATH || cchTemp == 0 || cchTemp >= MAX_PATH ||
        !MakeCopyFolder(szTempDir, szCopyDir))
        return CannotCopy();
    char szCommand[2 * MAX_PATH + 32];
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    SetCurrentDirectoryA(szCopyDir);
    if (!PathJoin(szCopy, szCopyDir, kUninstallerName) || !CopyFileA(szSelf, szCopy, TRUE) ||
        !ComposeCopyCommand(szCommand, sizeof szCommand, szCopy, gbSilent, szSelf) ||
        !CreateProcessA(szCopy, szCommand, nullptr, nullptr, FALSE, 0, nullptr, szCopyDir, &si, &pi)) {
        SetCurrentDirectoryA(szTempDir);
        DeleteCopy(szCopy, szCopyDir);
        return CannotCopy();
    }
    Handle process(pi.hProcess), thread(pi.hThread);
    if (!gbSilent)
        return UNINSTALL_DONE;
    DWORD dwExit = UNINSTALL_INCOMPLETE;
    WaitForSingleObject(process.Get(), INFINITE);
    GetExitCodeProcess(process.Get(), &dwExit);
    SetCurrentDirectoryA(szTempDir);
    DeleteCopy(szCopy, szCopyDir);
    return static_cast<int>(dwExit);
}

// Whether this program is a copy running from a folder of its own in the
// temporary folder, as the original makes it; szSelfDir: that folder.
bool CopyFolderOf(const char* pszSelf, char (&szSelfDir)[MAX_PATH])
{
    char szTempDir[MAX_PATH];
    DWORD cch = GetTempPathA(MAX_PATH, szTempDir);
    if (cch == 0 || cch >= MAX_PATH || !StrCopy(szSelfDir, pszSelf))
        return false;
    UseLongForm(szTempDir);
    UseLongForm(szSelfDir);
    char* pszSlash = std::strrchr(szSelfDir, '\\');
    if (!pszSlash)
        return false;
    *pszSlash = '\0';
    pszSlash = std::strrchr(szSelfDir, '\\');
    if (!pszSlash || std::strncmp(pszSlash + 1, kCopyFolderPrefix, sizeof kCopyFolderPrefix - 1) != 0)
        return false;
    char chName = pszSlash[1];
    pszSlash[1] = '\0';  // GetTempPathA ends its folder with a backslash
    bool bInTemp = SamePath(szSelfDir, szTempDir);
    pszSlash[1] = chName;
    return bInTemp;
}

}  // namespace

// The whole command line, not WinMain's: an entry that holds the program's
// path unquoted is recognised only by that path (ParseUninstallCommandLine).
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    char szSelf[MAX_PATH];
    DWORD cchSelf = GetModuleFileNameA(nullptr, szSelf, MAX_PATH);
    if (cchSelf == 0 || cchSelf >= MAX_PATH)
        szSelf[0] = '\0';  // cut or unknown: only the usual reading
    UninstallArgs args;
    bool bValid = ParseUninstallCommandLine(GetCommandLineA(), szSelf, &args);
    gbSilent = args.bSilent;
    if (!bValid) {
        Say("Usage: uninstall.exe [/S]\n\n/S removes Quarnel without asking and without messages.",
            MB_OK | MB_ICONINFORMATION);
        return UNINSTALL_REFUSED;
    }
    if (!args.pszFrom)
        return RunFromTemporaryCopy();
    // The copy's own file and then its folder go at the next restart (with /S
    // the original removes them as soon as the copy ends). Only a copy in a
    // folder of its own in the temporary folder: a /FROM= typed by hand must
    // not cost the program its file.
    char szSelfDir[MAX_PATH];
    if (szSelf[0] != '\0' && CopyFolderOf(szSelf, szSelfDir)) {
        MoveFileExA(szSelf, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        MoveFileExA(szSelfDir, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
    return Uninstall(args.pszFrom);
}
