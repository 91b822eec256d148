// The built uninstall.exe against an installation made here as Setup makes
// one: the files of the real manifest in a scratch install folder, with the
// uninstaller among them, the uninstall entry and App Paths key under HKLM,
// the program group's links and the desktop link. It is started from the
// install folder, with /S unless a test answers its question, by its path
// quoted as the uninstall entry holds it, or unquoted as earlier installers
// wrote it (the install folder's name has a space).
#include "shortcuts/shortcuts.h"
#include "tests/common/test_support.h"
#include "uninstall/uninstall_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace qt;

namespace {

using Names = std::vector<std::string>;

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const Names kGroupLinks = {"Quarnel.lnk", "Readme.lnk", "Uninstall.lnk"};

bool KeyExists(const char* pszKey)
{
    HKEY hKey;
    bool bExists = RegOpenKeyExA(HKEY_LOCAL_MACHINE, pszKey, 0, KEY_READ, &hKey) == ERROR_SUCCESS;
    if (bExists)
        RegCloseKey(hKey);
    return bExists;
}

// A REG_SZ value under HKLM; an empty one is deleted.
void SetValue(const char* pszKey, const char* pszName, const std::string& value)
{
    if (value.empty())
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, pszKey, pszName);
    else
        RegSetKeyValueA(HKEY_LOCAL_MACHINE, pszKey, pszName, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

// Links as Setup makes them.
void MakeLink(const std::string& link, const std::string& target)
{
    ASSERT_EQ(CreateShellLink(target.c_str(), link.c_str(), ""), S_OK) << link;
}

class UninstallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream manifest(WinePath(GAME_TREE_UNIX) + "\\manifest.txt");
        for (std::string name; std::getline(manifest, name);)
            files.push_back(name);
        ASSERT_FALSE(files.empty());
        for (const std::string& name : files) {
            fs::create_directories(FsPath(progdir + "\\" + name).parent_path());
            WriteFile(progdir + "\\" + name, TextBytes(name));
        }
        ASSERT_TRUE(CopyFileA(WinePath(UNINSTALL_EXE_UNIX).c_str(), uninstaller.c_str(), FALSE));
        for (const std::string& dir : {progdir + "\\AImages", scdir, desktop, temp})
            fs::create_directories(FsPath(dir));

        for (const auto& [pszName, value] : {std::pair<const char*, std::string>{"DisplayName", "Quarnel"},
                                             {"UninstallString", uninstaller}, {"Scdir", scdir}, {"Progdir", progdir}})
            SetValue(kUninstallKey, pszName, value);
        SetValue(kAppPathsKey, "", "Quarnel");
        SetValue(kAppPathsKey, "Path", progdir);
        char szValue[MAX_PATH] = "";
        DWORD cb = sizeof szValue;
        RegGetValueA(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Desktop", RRF_RT_REG_SZ, nullptr, szValue, &cb);
        savedDesktop = szValue;
        SetValue(kShellFoldersKey, "Common Desktop", desktop);
        for (const char* pszTarget : {"quarnel.exe", "readme.rtf", "uninstall.exe"})
            MakeLink(scdir + "\\" + kGroupLinks[links++], progdir + "\\" + pszTarget);
        MakeLink(desktopLink, progdir + "\\quarnel.exe");

        GetEnvironmentVariableA("TEMP", szSavedTemp, MAX_PATH);
        SetEnvironmentVariableA("TEMP", temp.c_str());
        SetEnvironmentVariableA("TMP", temp.c_str());
    }
    void TearDown() override
    {
        if (hJob)
            CloseHandle(hJob);  // ends whatever still runs
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstallKey);
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
        SetValue(kShellFoldersKey, "Common Desktop", savedDesktop);
        SetEnvironmentVariableA("TEMP", szSavedTemp);
        SetEnvironmentVariableA("TMP", szSavedTemp);
    }

    // Starts the uninstaller from the install folder in a job that ends it
    // and its copy with the test; the original's exit code.
    DWORD Run(const char* pszArgs = "/S", bool bQuoted = true)
    {
        if (!hJob) {
            hJob = CreateJobObjectA(nullptr, nullptr);
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(hJob, JobObjectExtendedLimitInformation, &limits, sizeof limits);
        }
        std::string command = (bQuoted ? "\"" + uninstaller + "\" " : uninstaller + " ") + pszArgs;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        DWORD dwExit = ~0u;
        if (!CreateProcessA(uninstaller.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                            scratch.Path().c_str(), &si, &pi))
            return dwExit;
        AssignProcessToJobObject(hJob, pi.hProcess);
        ResumeThread(pi.hThread);
        if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(pi.hProcess, &dwExit);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        return dwExit;
    }

    void ExpectInstalled()
    {
        Names expected = files;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFiles(progdir), expected);
        EXPECT_TRUE(Exists(progdir + "\\AImages"));
        EXPECT_EQ(ListFiles(scdir), kGroupLinks);
        EXPECT_TRUE(Exists(desktopLink));
        EXPECT_TRUE(KeyExists(kUninstallKey) && KeyExists(kAppPathsKey));
    }

    ScratchDir scratch;
    const std::string progdir = scratch.Path("Program files\\Quarnel"), uninstaller = progdir + "\\uninstall.exe";
    const std::string scdir = scratch.Path("Start Menu\\Programs\\Quarnel"), desktop = scratch.Path("Desktop");
    const std::string desktopLink = desktop + "\\Quarnel.lnk", temp = scratch.Path("Temp");
    Names files;
    size_t links = 0;
    std::string savedDesktop;
    char szSavedTemp[MAX_PATH] = "";
    HANDLE hJob = nullptr;
};

// Started as the system's list starts an entry of an earlier installer: the
// path unquoted, its space and all.
TEST_F(UninstallTest, RemovesEverythingSetupMadeAndItsOwnCopy)
{
    EXPECT_EQ(Run("/S", false), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_FALSE(Exists(progdir) || Exists(scdir) || Exists(desktopLink));
    EXPECT_TRUE(Exists(scratch.Path("Program files")) && Exists(scratch.Path("Start Menu\\Programs")));
    EXPECT_FALSE(KeyExists(kUninstallKey) || KeyExists(kAppPathsKey));
    // The copy is gone. The original waited for it, so its file could not be
    // deleted: it was moved here, to go at the next restart.
    const Names inTemp = ListFiles(temp);
    ASSERT_EQ(inTemp.size(), 1u);
    EXPECT_TRUE(ReadFile(temp + "\\" + inTemp[0]) == ReadFile(WinePath(UNINSTALL_EXE_UNIX)));
}

TEST_F(UninstallTest, KeepsWhatTheUserAddedAndOtherProgramsLinks)
{
    WriteFile(progdir + "\\GAMEBIN\\save1.sav", TextBytes("stage 7"));
    WriteFile(scdir + "\\Notes.txt", TextBytes("mine"));
    MakeLink(desktopLink, "C:\\windows\\notepad.exe");
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_EQ(ListFiles(progdir), Names{"GAMEBIN\\save1.sav"});
    EXPECT_EQ(ListFiles(progdir, true), Names{"GAMEBIN"});
    EXPECT_EQ(ListFiles(scdir), Names{"Notes.txt"});
    EXPECT_TRUE(Exists(desktopLink));
    EXPECT_FALSE(KeyExists(kUninstallKey));
}

// No value, a folder the rules refuse (each reason is the rules' test), and
// a folder other than the one it was started from.
TEST_F(UninstallTest, RefusesAnInstallFolderItCannotTrustAndRemovesNothing)
{
    fs::create_directories(FsPath(scratch.Path("Other")));
    for (const std::string& value : {std::string(), progdir + "\\..\\Quarnel", scratch.Path("Other")}) {
        SCOPED_TRACE(value);
        SetValue(kUninstallKey, "Progdir", value);  // empty: no value at all
        EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_REFUSED));
        ExpectInstalled();
    }
}

TEST_F(UninstallTest, FilesItCannotRemoveStayAndTheEntryStartsAnotherTry)
{
    const std::string held = progdir + "\\" + files.back(), readOnly = progdir + "\\" + files.front();
    ASSERT_TRUE(files.back() != kUninstallerName && files.front() != kUninstallerName);
    HANDLE hHeld = CreateFileA(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHeld, INVALID_HANDLE_VALUE);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_INCOMPLETE));
    Names left = {files.back(), files.front(), kUninstallerName};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(ListFiles(progdir), left);
    EXPECT_TRUE(KeyExists(kUninstallKey));
    EXPECT_FALSE(KeyExists(kAppPathsKey) || Exists(scdir));

    CloseHandle(hHeld);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_FALSE(Exists(progdir) || KeyExists(kUninstallKey));
}

// The ".." leads back to the real program group: only the refusal keeps the
// links. Another try would refuse it again, so the entry goes.
TEST_F(UninstallTest, ARefusedProgramGroupKeepsItsLinksAndTheRestGoes)
{
    SetValue(kUninstallKey, "Scdir", scdir + "\\..\\Quarnel");
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_INCOMPLETE));
    EXPECT_EQ(ListFiles(scdir), kGroupLinks);
    EXPECT_FALSE(Exists(progdir) || Exists(desktopLink) || KeyExists(kUninstallKey));
}

// Without /S the original returns at once and its copy asks.
TEST_F(UninstallTest, AnsweringNoRemovesNothing)
{
    EXPECT_EQ(Run(""), static_cast<DWORD>(UNINSTALL_DONE));
    HWND hBox = nullptr;
    for (int nTry = 0; nTry < 200 && !(hBox && IsWindowVisible(hBox) && GetDlgItem(hBox, IDNO)); ++nTry, Sleep(100))
        hBox = FindWindowA("#32770", "Quarnel - Uninstall");
    ASSERT_TRUE(hBox && GetDlgItem(hBox, IDNO)) << "no question asked";
    DWORD dwCopy = 0, dwExit = ~0u;
    GetWindowThreadProcessId(hBox, &dwCopy);
    HANDLE hCopy = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwCopy);
    ASSERT_NE(hCopy, nullptr);
    PostMessageA(hBox, WM_COMMAND, MAKEWPARAM(IDNO, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(hBox, IDNO)));
    if (WaitForSingleObject(hCopy, 20000) == WAIT_OBJECT_0)
        GetExitCodeProcess(hCopy, &dwExit);
    CloseHandle(hCopy);
    EXPECT_EQ(dwExit, static_cast<DWORD>(UNINSTALL_CANCELLED));
    ExpectInstalled();
}

}  // namespace
