// The built uninstall.exe against an installation made here as Setup makes
// one: the files of the real manifest in a scratch install folder, with the
// uninstaller among them, the uninstall entry and App Paths key under HKLM,
// the program group's links and the desktop link. It is started from the
// install folder, with /S unless a test answers its question, by its path
// quoted as the uninstall entry holds it, or unquoted as earlier installers
// wrote it (the install folder's name has a space).
#include "shortcuts/shortcuts.h"
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"
#include "uninstall/uninstall_rules.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qt;

namespace {

using Names = std::vector<std::string>;

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const Names kGroupLinks = {"Quarnel.lnk", "Readme.lnk", "Uninstall.lnk"};

bool KeyExists(const char* pszKey) { return qt::KeyExists(HKEY_LOCAL_MACHINE, pszKey); }

// A REG_SZ value under HKLM; an empty one is deleted.
void SetValue(const char* pszKey, const char* pszName, const std::string& value)
{
    if (value.empty())
        RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, pszKey, pszName);
    else
        SetRegValue(HKEY_LOCAL_MACHINE, pszKey, pszName, value);
}

// What the system deletes or renames at the next restart, upper-cased.
std::string PendingAtRestart()
{
    std::string pending(1 << 20, '\0');
    DWORD cb = static_cast<DWORD>(pending.size());
    RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                 "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, pending.data(), &cb);
    CharUpperBuffA(pending.data(), cb);
    return pending;
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
        files = ReadManifest(WinePath(GAME_TREE_UNIX));
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
        EndJob(run);  // ends whatever still runs
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
        EndJob(run);
        std::string command = (bQuoted ? "\"" + uninstaller + "\" " : uninstaller + " ") + pszArgs;
        return StartInJob(run, uninstaller, command, scratch.Path()) ? ExitCodeWithin(run, 60000) : ~0u;
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
    JobRun run;
};

// Started as the system's list starts an entry of an earlier installer: the
// path unquoted, its space and all. The desktop's value ends in a backslash,
// which Setup drops when it puts its link there.
TEST_F(UninstallTest, RemovesEverythingSetupMadeAndItsOwnCopy)
{
    SetValue(kShellFoldersKey, "Common Desktop", desktop + "\\");
    EXPECT_EQ(Run("/S", false), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_FALSE(Exists(progdir) || Exists(scdir) || Exists(desktopLink));
    EXPECT_TRUE(Exists(scratch.Path("Program files")) && Exists(scratch.Path("Start Menu\\Programs")));
    EXPECT_FALSE(KeyExists(kUninstallKey) || KeyExists(kAppPathsKey));
    // The copy is gone with its folder. The original waited for it, so its
    // file could not be deleted: it was moved here, to go at the next restart.
    const Names inTemp = ListFiles(temp);
    EXPECT_TRUE(ListFiles(temp, true).empty());
    ASSERT_EQ(inTemp.size(), 1u);
    EXPECT_TRUE(ReadFile(temp + "\\" + inTemp[0]) == ReadFile(WinePath(UNINSTALL_EXE_UNIX)));
}

// The desktop link of another program whose folder's name begins as the
// install folder's does is not Setup's.
TEST_F(UninstallTest, KeepsWhatTheUserAddedAndOtherProgramsLinks)
{
    WriteFile(progdir + "\\GAMEBIN\\save1.sav", TextBytes("stage 7"));
    WriteFile(scdir + "\\Notes.txt", TextBytes("mine"));
    MakeLink(desktopLink, progdir + " Tools\\quarnel.exe");
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_EQ(ListFiles(progdir), Names{"GAMEBIN\\save1.sav"});
    EXPECT_EQ(ListFiles(progdir, true), Names{"GAMEBIN"});
    EXPECT_EQ(ListFiles(scdir), Names{"Notes.txt"});
    EXPECT_TRUE(Exists(desktopLink));
    EXPECT_FALSE(KeyExists(kUninstallKey));
}

// "Scdir" sent to another program's group: its links of the same names stay.
TEST_F(UninstallTest, KeepsTheLinksOfAnotherProgramsGroup)
{
    const std::string other = scratch.Path("Start Menu\\Programs\\Other");
    fs::create_directories(FsPath(other));
    for (const std::string& name : kGroupLinks)
        MakeLink(other + "\\" + name, scratch.Path("Program files\\Other\\") + name + ".exe");
    SetValue(kUninstallKey, "Scdir", other);
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_DONE));
    EXPECT_EQ(ListFiles(other), kGroupLinks);
    EXPECT_FALSE(Exists(progdir) || Exists(desktopLink));
}

// A folder of the game replaced by a link to another folder holding files of
// the same names, as a user who can write to the install folder's parent
// could plant one: nothing there is removed, and what is left is reported.
TEST_F(UninstallTest, RemovesNothingThroughALink)
{
    const std::string& name = *std::find_if(files.begin(), files.end(),
                                            [](const std::string& n) { return n.find('\\') != std::string::npos; });
    const std::string folder = progdir + "\\" + name.substr(0, name.find('\\')), elsewhere = scratch.Path("Elsewhere");
    ASSERT_TRUE(MoveFileA(folder.c_str(), elsewhere.c_str()));
    ASSERT_TRUE(MakeDirectoryLink(folder, elsewhere)) << "no link at " << folder;
    struct LinkGone { std::string path; ~LinkGone() { RemoveTree(path); } } gone{folder};
    const Names before = ListFiles(elsewhere);
    EXPECT_EQ(Run(), static_cast<DWORD>(UNINSTALL_INCOMPLETE));
    EXPECT_EQ(ListFiles(elsewhere), before);
    EXPECT_TRUE(KeyExists(kUninstallKey));
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

// Without /S the original returns at once and its copy asks; the copy goes
// at the next restart.
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
    // The copy ran from a new folder of its own; both go at the restart.
    const Names inTemp = ListFiles(temp);
    ASSERT_EQ(inTemp.size(), 1u);
    EXPECT_EQ(inTemp[0].rfind("Quarnel-uninstall-", 0), 0u) << inTemp[0];
    EXPECT_EQ(inTemp[0].size(), std::string("Quarnel-uninstall-\\uninstall.exe").size() + 32) << inTemp[0];
    std::string copy = temp + "\\" + inTemp[0], folder = copy.substr(0, copy.rfind('\\'));
    for (std::string pending : {copy, folder}) {
        CharUpperBuffA(pending.data(), static_cast<DWORD>(pending.size()));
        EXPECT_NE(PendingAtRestart().find(pending + '\0'), std::string::npos) << pending << " not to go at restart";
    }
}

// Names compare as the file system compares them, outside ASCII too (the
// ANSI code page is 1252 here).
TEST(UninstallPaths, CaseIsComparedAsTheFileSystemDoes)
{
    EXPECT_TRUE(SamePath("C:\\Spiele\\Qu\xE4rnel", "c:\\SPIELE\\QU\xC4RNEL"));
    EXPECT_TRUE(IsInsideFolder("C:\\SPIELE\\QU\xC4RNEL\\quarnel.exe", "C:\\Spiele\\Qu\xE4rnel"));
    EXPECT_FALSE(SamePath("C:\\Spiele\\Qu\xE4rnel", "C:\\Spiele\\Quarnel"));
}

}  // namespace
