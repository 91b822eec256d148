#include "tests/common/windows_support.h"

#include "resources/resource.h"
#include "shell/comguard.h"
#include "shell/regguard.h"

#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <algorithm>
#include <fstream>

namespace qt {

namespace {

std::wstring Wide(const std::string& text)
{
    std::wstring wide(text.size() + 1, L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(),
                                                        static_cast<int>(wide.size())) - 1));
    return wide;
}

}  // namespace

// Every entry of dir but "." and ".."; only subfolders not starting with a
// dot when bSubfolders.
std::vector<std::string> Entries(const std::string& dir, bool bSubfolders)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + (dir.back() == '\\' ? "*" : "\\*")).c_str(), &fd);
    for (BOOL bFound = hFind != INVALID_HANDLE_VALUE; bFound; bFound = FindNextFileA(hFind, &fd)) {
        std::string name = fd.cFileName;
        bool bFolder = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (name != "." && name != ".." && (!bSubfolders || (bFolder && name[0] != '.')))
            names.push_back(name);
    }
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
    return names;
}

bool StartInJob(JobRun& run, const std::string& program, const std::string& commandLine, const std::string& dir)
{
    run = {CreateJobObjectA(nullptr, nullptr), {}};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    std::string line = commandLine.empty() ? "\"" + program + "\"" : commandLine;
    std::string folder = dir.empty() ? program.substr(0, program.find_last_of('\\')) : dir;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (run.hJob && SetInformationJobObject(run.hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)) &&
        CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                       folder.c_str(), &si, &run.pi) &&
        AssignProcessToJobObject(run.hJob, run.pi.hProcess) && ResumeThread(run.pi.hThread) != static_cast<DWORD>(-1))
        return true;
    DWORD dwError = GetLastError();
    EndJob(run);
    SetLastError(dwError);
    return false;
}

DWORD ExitCodeWithin(const JobRun& run, DWORD ms)
{
    DWORD dwExit = ~0u;
    bool bEnded = run.pi.hProcess && WaitForSingleObject(run.pi.hProcess, ms) == WAIT_OBJECT_0;
    return bEnded && GetExitCodeProcess(run.pi.hProcess, &dwExit) ? dwExit : ~0u;
}

void EndJob(JobRun& run)
{
    if (run.hJob) {
        TerminateJobObject(run.hJob, 0);
        CloseHandle(run.hJob);
    }
    if (run.pi.hProcess) {
        WaitForSingleObject(run.pi.hProcess, 10000);
        CloseHandle(run.pi.hProcess);
        CloseHandle(run.pi.hThread);
    }
    run = {};
}

std::wstring ReadShellLinkW(const std::wstring& link)
{
    ComInitGuard com(*LoadOle32());
    ComPtrGuard<IShellLinkW> shellLink;
    ComPtrGuard<IPersistFile> file;
    wchar_t wszTarget[MAX_PATH] = L"", wszDescription[MAX_PATH] = L"", wszArgs[MAX_PATH] = L"",
            wszDir[MAX_PATH] = L"", wszIcon[MAX_PATH] = L"";
    WORD wHotkey = 0;
    int iIcon = 0;
    bool bRead =
        SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, shellLink.Out())) &&
        SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.Out())) &&
        SUCCEEDED(file->Load(link.c_str(), STGM_READ)) &&
        SUCCEEDED(shellLink->GetPath(wszTarget, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
        SUCCEEDED(shellLink->GetDescription(wszDescription, MAX_PATH)) &&
        SUCCEEDED(shellLink->GetArguments(wszArgs, MAX_PATH)) &&
        SUCCEEDED(shellLink->GetWorkingDirectory(wszDir, MAX_PATH)) && SUCCEEDED(shellLink->GetHotkey(&wHotkey)) &&
        SUCCEEDED(shellLink->GetIconLocation(wszIcon, MAX_PATH, &iIcon));
    std::wstring extra = std::wstring(wszArgs) + wszDir + wszIcon + (wHotkey || iIcon ? L"hotkey or icon" : L"");
    return bRead ? std::wstring(wszTarget) + L"|" + wszDescription + (extra.empty() ? L"" : L"|" + extra) : L"-";
}

std::string ReadShellLink(const std::string& link)
{
    std::wstring wide = ReadShellLinkW(Wide(link));
    std::string text(wide.size() * 2 + 1, '\0');
    text.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, text.data(),
                                                        static_cast<int>(text.size()), nullptr, nullptr) - 1));
    return text;
}

bool KeyExists(HKEY hRoot, const std::string& key, REGSAM samView)
{
    RegKeyGuard k;
    return RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_READ | samView, k.Out()) == ERROR_SUCCESS;
}

std::string RegValueText(HKEY hRoot, const std::string& key, const char* pszName, REGSAM samView)
{
    char szData[1024] = "";
    DWORD dwType = 0, cbData = sizeof(szData) - 1;
    RegKeyGuard k;
    bool bRead = RegOpenKeyExA(hRoot, key.c_str(), 0, KEY_READ | samView, k.Out()) == ERROR_SUCCESS &&
                 RegGetValueA(k, nullptr, pszName, RRF_RT_ANY | RRF_NOEXPAND, &dwType, szData, &cbData) ==
                     ERROR_SUCCESS;
    return bRead ? std::to_string(dwType) + ":" + std::to_string(cbData) + ":" + szData : "-";
}

bool SetRegValue(HKEY hRoot, const std::string& key, const char* pszName, const std::string& text, REGSAM samView,
                 DWORD dwType)
{
    RegKeyGuard k;
    return RegCreateKeyExA(hRoot, key.c_str(), 0, nullptr, 0, KEY_WRITE | samView, nullptr, k.Out(), nullptr) ==
               ERROR_SUCCESS &&
           RegSetValueExA(k, pszName, 0, dwType, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

bool LockKey(HKEY hRoot, const std::string& key, bool bLocked, REGSAM samView)
{
    // Read, delete and give the rights back; or everything, inherited.
    const char* pszSddl = bLocked ? "D:P(A;;KRSDWD;;;WD)" : "D:(A;OICI;KA;;;WD)";
    PSECURITY_DESCRIPTOR pSecurity = nullptr;
    RegKeyGuard k;
    bool bSet = ConvertStringSecurityDescriptorToSecurityDescriptorA(pszSddl, SDDL_REVISION_1, &pSecurity, nullptr) &&
                RegCreateKeyExA(hRoot, key.c_str(), 0, nullptr, 0, WRITE_DAC | samView, nullptr, k.Out(), nullptr) ==
                    ERROR_SUCCESS &&
                RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, pSecurity) == ERROR_SUCCESS;
    LocalFree(pSecurity);
    return bSet;
}

namespace {

bool IsLink(const std::string& path)
{
    DWORD dwAttributes = GetFileAttributesA(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A Unix tool of the machine Wine runs on, given this process's paths in
// Unix form; true once bDone holds (the tool's exit is not reported).
template <class F> bool RunUnixTool(const char* pszTool, std::initializer_list<std::string> paths, F bDone)
{
    using ToUnix = char*(CDECL*)(LPCWSTR);
    auto pfnToUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    std::string command = pszTool, program = "Z:" + command.substr(0, command.find(' '));
    for (const std::string& path : paths) {
        std::wstring wide(path.begin(), path.end());
        char* pszUnix = pfnToUnix ? pfnToUnix(wide.c_str()) : nullptr;
        if (!pszUnix)
            return false;
        command += std::string(" \"") + pszUnix + "\"";
        HeapFree(GetProcessHeap(), 0, pszUnix);
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    for (int nTry = 0; nTry < 100 && !bDone(); ++nTry)
        Sleep(50);
    return bDone();
}

}  // namespace

bool MakeDirectoryLink(const std::string& link, const std::string& target)
{
    return RunUnixTool("/bin/ln -s", {target, link}, [&] { return IsLink(link); });
}

void RemoveTree(const std::string& path)
{
    DWORD dwAttributes = GetFileAttributesA(path.c_str());
    if (dwAttributes == INVALID_FILE_ATTRIBUTES)
        return;
    if (dwAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        if (!RemoveDirectoryA(path.c_str()) && !DeleteFileA(path.c_str()))
            RunUnixTool("/bin/rm", {path}, [&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
        return;
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(dwAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    for (const std::string& name : Entries(path, false))
        RemoveTree(path + "\\" + name);
    // Wine lists no link whose target is gone, so it cannot be removed
    // through it; rm removes links, never what they point at.
    if (!RemoveDirectoryA(path.c_str()))
        RunUnixTool("/bin/rm -rf", {path}, [&] { return GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES; });
}

std::vector<std::string> Subfolders(const std::string& dir) { return Entries(dir, true); }

std::vector<std::string> ExpectedFolderList(const std::string& parent, bool bUp, const std::string& product)
{
    std::vector<std::string> items = Subfolders(parent);
    if (bUp)
        items.push_back(kUpItem);
    items.push_back(product);
    std::sort(items.begin(), items.end(),
              [](const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) < 0; });
    return items;
}

bool PollText(HWND hControl, const std::string& want, DWORD ms, std::string* pShown)
{
    std::vector<char> text(65536);
    std::string shown;
    for (DWORD dwStart = GetTickCount();; Sleep(50)) {
        DWORD_PTR cch = 0;
        bool bRead = SendMessageTimeoutA(hControl, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                                         SMTO_ABORTIFHUNG, 5000, &cch);
        shown = bRead ? std::string(text.data(), cch) : "(no answer)";
        if (shown == want || GetTickCount() - dwStart >= ms)
            break;
    }
    if (pShown)
        *pShown = shown;
    return shown == want;
}

HMODULE LoadSetupExe(const std::string& setupExe)
{
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    return LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
}

std::vector<std::string> ReadManifest(const std::string& gameDir)
{
    std::vector<std::string> names;
    std::ifstream manifest(gameDir + "\\manifest.txt");
    for (std::string name; std::getline(manifest, name);) {
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        if (!name.empty())
            names.push_back(name);
    }
    return names;
}

bool CraftSetupExe(const std::string& setupExe, const std::string& exe, const std::vector<unsigned char>* pPayload)
{
    // An update with no data removes the resource.
    void* pData = pPayload ? const_cast<unsigned char*>(pPayload->data()) : nullptr;
    DWORD cbData = pPayload ? static_cast<DWORD>(pPayload->size()) : 0;
    HANDLE hUpdate = CopyFileA(setupExe.c_str(), exe.c_str(), FALSE) ? BeginUpdateResourceA(exe.c_str(), FALSE)
                                                                     : nullptr;
    bool bUpdated = hUpdate && UpdateResourceA(hUpdate, RT_RCDATA, MAKEINTRESOURCEA(IDR_PAYLOAD),
                                               MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), pData, cbData);
    bUpdated = hUpdate && EndUpdateResourceA(hUpdate, !bUpdated) && bUpdated;
    HMODULE hExe = bUpdated ? LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE) : nullptr;
    HRSRC hRes = hExe ? FindResourceA(hExe, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA) : nullptr;
    const auto* pRead = hRes ? static_cast<const unsigned char*>(LockResource(LoadResource(hExe, hRes))) : nullptr;
    bool bAsCrafted = hExe && (pPayload ? pRead && SizeofResource(hExe, hRes) == cbData &&
                                              std::equal(pPayload->begin(), pPayload->end(), pRead)
                                        : !hRes);
    if (hExe)
        FreeLibrary(hExe);
    return bAsCrafted;
}

std::vector<std::vector<std::string>> ArgumentGroups(int argc, char** argv, int nFirst, int nGroup)
{
    std::vector<std::vector<std::string>> groups;
    for (int i = nFirst; nGroup > 0 && argc > nFirst && (argc - nFirst) % nGroup == 0 && i < argc; i += nGroup)
        groups.emplace_back(argv + i, argv + i + nGroup);
    return groups;
}

}  // namespace qt
