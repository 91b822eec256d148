#include "tests/e2e/reset.h"

#include <windows.h>

#include <vector>

namespace e2e {

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Deletes a file or a directory with all it holds; read-only entries too,
// since the installer may write its files read-only.
void RemoveTree(const std::string& path)
{
    DWORD attrs = GetFileAttributesA(path.c_str());
    if (attrs == INVALID_FILE_ATTRIBUTES)
        return;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name != "." && name != "..")
                RemoveTree(path + "\\" + name);
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(path.c_str());
}

std::string ShellFolder(const char* pszValue)
{
    char szPath[MAX_PATH] = "";
    DWORD cb = sizeof(szPath);
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                     pszValue, RRF_RT_REG_SZ, nullptr, szPath, &cb) != ERROR_SUCCESS)
        return "";
    return szPath;
}

// Both registry views: a 32-bit installer writes under WOW6432Node.
bool RemoveProductKey(const char* pszParent, std::string& problem)
{
    bool bRemoved = true;
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY hParent;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszParent, 0, KEY_ALL_ACCESS | view, &hParent) != ERROR_SUCCESS)
            continue;
        LSTATUS status = RegDeleteTreeA(hParent, "Quarnel");
        RegCloseKey(hParent);
        if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
            problem += std::string(" HKLM\\") + pszParent + "\\Quarnel";
            bRemoved = false;
        }
    }
    return bRemoved;
}

}  // namespace

bool ResetInstallState(std::string& problem)
{
    // With the folders the scenarios make themselves, and the product folder
    // on the test drives (scripts/test-drives.sh).
    std::vector<std::string> paths = {"C:\\Program files\\Quarnel", "C:\\QuarnelTestGames", "C:\\QuarnelTyped",
                                      "Q:\\Quarnel", "R:\\Quarnel"};
    char szTemp[MAX_PATH];
    DWORD cchTemp = GetTempPathA(sizeof(szTemp), szTemp);
    if (cchTemp > 0 && cchTemp < sizeof(szTemp)) {
        paths.push_back(std::string(szTemp) + "filesdata.gz");
        paths.push_back(std::string(szTemp) + "filesdata.dat");
    }
    std::string programs = ShellFolder("Common Programs");
    if (!programs.empty())
        paths.push_back(programs + "\\Quarnel");
    std::string desktop = ShellFolder("Common Desktop");
    if (!desktop.empty())
        paths.push_back(desktop + "\\Quarnel.lnk");

    bool bClean = true;
    for (const std::string& path : paths) {
        RemoveTree(path);
        if (Exists(path)) {
            problem += " " + path;
            bClean = false;
        }
    }
    bClean &= RemoveProductKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths", problem);
    bClean &= RemoveProductKey("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall", problem);
    return bClean;
}

}  // namespace e2e
