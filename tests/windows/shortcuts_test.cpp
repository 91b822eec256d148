// The registry entries against Wine's registry, the shell links through its
// shell-link object, and the page's Finish under missing folders in this
// process, from the real setup.exe's template. The rest of what Finish and Cancel leave, and the browser's walk
// up and into folders, are checked end to end; the browser's link limit by
// the rules' test and fuzzer.
#include "resources/resource.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"

#include <gtest/gtest.h>
#include <objbase.h>

#include <algorithm>

using namespace qt;

namespace {

std::string Value(const std::string& key, const char* pszName)
{
    return RegValueText(HKEY_LOCAL_MACHINE, key, pszName);
}
void SetValue(const std::string& key, const char* pszName, DWORD dwType, const std::string& data)
{
    ASSERT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, key, pszName, data, 0, dwType));
}
std::string Under(const char* pszKey, const char* pszSub = szProductKey) { return std::string(pszKey) + "\\" + pszSub; }

// The six values, in write order.
std::vector<std::string> ProductValues()
{
    std::vector<std::string> values;
    for (const RegistryValue& value : aRegistryValues)
        values.push_back(Value(Under(value.pszKey), value.pszName));
    return values;
}

// HKEY_LOCAL_MACHINE of this process redirected to a scratch key holding the
// installer's three keys, so that keys can be locked and folders pointed
// anywhere without touching the machine's own.
class ScratchMachine {
public:
    ScratchMachine()
    {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\QuarnelScratchMachine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &hRoot_, nullptr);
        for (const char* pszKey : {szAppPathsKey, szUninstallKey, szShellFoldersKey}) {
            HKEY hKey = nullptr;
            RegCreateKeyExA(hRoot_, pszKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr);
            RegCloseKey(hKey);
        }
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, hRoot_);
    }
    ~ScratchMachine()
    {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegDeleteTreeA(hRoot_, nullptr);
        RegCloseKey(hRoot_);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuarnelScratchMachine");
    }
    void Lock(const std::string& key) { ASSERT_TRUE(LockKey(hRoot_, key)); }

private:
    HKEY hRoot_ = nullptr;
};

// Written again (Cancel refused, then Finish) over a value of another type
// and beside one of another program's. The keys are made non-volatile: under
// a volatile key, which goes at the next restart, no lasting key can be made.
TEST(RegistryEntries, SixTextValuesReplacedOthersKeptKeysLasting)
{
    ScratchMachine machine;
    StrCopy(szInstallDir, "C:\\Program files\\Quarnel");
    for (int nPass = 0; nPass < 3; ++nPass) {
        WriteAppPathEntry();
        WriteUninstallEntry("C:\\Menu\\Programs\\Quarnel");
        if (nPass == 0) {
            SetValue(Under(szUninstallKey), "Other", REG_SZ, "kept");
            SetValue(Under(szUninstallKey), "Scdir", REG_DWORD, "old");
        }
    }
    // The command quoted, so that the blank does not split it; paths bare.
    EXPECT_EQ(ProductValues(),
              (std::vector<std::string>{"1:8:Quarnel", "1:25:C:\\Program files\\Quarnel", "1:8:Quarnel",
                                        "1:41:\"C:\\Program files\\Quarnel\\uninstall.exe\"",
                                        "1:25:C:\\Menu\\Programs\\Quarnel", "1:25:C:\\Program files\\Quarnel"}));
    EXPECT_EQ(Value(Under(szUninstallKey), "Other"), "1:5:kept");
    for (const char* pszKey : {szAppPathsKey, szUninstallKey})
        EXPECT_TRUE(SetRegValue(HKEY_LOCAL_MACHINE, Under(pszKey) + "\\Lasting", "", "x")) << pszKey;
}

// A parent that cannot be opened for writing, or a product key that cannot
// be opened with full access, skips that entry; the other is still written.
TEST(RegistryEntries, UnwritableKeysSkipOnlyTheirEntry)
{
    for (bool bLockParent : {true, false}) {
        SCOPED_TRACE(bLockParent);
        ScratchMachine machine;
        machine.Lock(bLockParent ? szAppPathsKey : Under(szUninstallKey));
        WriteAppPathEntry();
        WriteUninstallEntry("C:\\G\\Quarnel");
        std::vector<std::string> values = ProductValues();
        EXPECT_EQ(values[0] == "-" && values[1] == "-", bLockParent);
        EXPECT_EQ(values[2] == "-" && values[5] == "-", !bLockParent);
        EXPECT_EQ(std::count(values.begin(), values.end(), "-"), bLockParent ? 2 : 4);
    }
}

TEST(RegistryEntries, ShellFolderReadWithoutOneTrailingBackslash)
{
    ScratchMachine machine;
    struct Case { DWORD dwType; const char* pszData; int nResult; const char* pszFolder; };
    // Any type read as text, unexpanded (what the text itself may hold is the
    // rules' test).
    for (const Case& c : {Case{REG_EXPAND_SZ, "%SystemDrive%\\Menu\\", 1, "%SystemDrive%\\Menu"},
                          {REG_NONE, nullptr, 0, "unchanged"}}) {
        if (c.pszData)
            SetValue(szShellFoldersKey, "Common Programs", c.dwType, c.pszData);
        else
            RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, szShellFoldersKey, "Common Programs");
        char szFolder[SHORTCUT_TEXT_SIZE] = "unchanged";
        EXPECT_EQ(ReadShellFolder(szFolder, "Common Programs"), c.nResult) << (c.pszData ? c.pszData : "missing");
        EXPECT_STREQ(szFolder, c.pszFolder);
    }
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, szShellFoldersKey);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, szShellFoldersKey);
    char szFolder[SHORTCUT_TEXT_SIZE] = "unchanged";
    EXPECT_EQ(ReadShellFolder(szFolder, "Common Desktop"), 0) << "no Shell Folders key";
    EXPECT_STREQ(szFolder, "unchanged");
}

// COM is left as it was found: uninitialised on this thread.
bool ComReleased()
{
    HRESULT hr = CoInitialize(nullptr);
    CoUninitialize();
    return hr == S_OK;
}

TEST(ShellLink, SavesTargetAndDescriptionOnlyRefusesWhatCannotBeSaved)
{
    ScratchDir scratch;
    std::string target = scratch.Path("game.exe");
    WriteFile(target, TextBytes("MZ"));
    // The longest link path the wide buffer takes, and one more character.
    std::string deep = scratch.Path(std::string(200, 'd'));
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    std::string at259 = deep + "\\" + std::string(MAX_LINK_PATH - deep.size() - 5, 'n') + ".lnk";
    std::string at260 = deep + "\\" + std::string(MAX_LINK_PATH - deep.size() - 4, 'n') + ".lnk";
    ASSERT_EQ(at259.size(), MAX_LINK_PATH);

    struct Case { std::string link; bool bSaved; };
    for (const Case& c : {Case{scratch.Path("Game.lnk"), true}, {scratch.Path("missing\\Game.lnk"), false},
                          {at260, false}, {at259, true}}) {
        SCOPED_TRACE(c.link.size());
        HRESULT hr = CreateShellLink(target.c_str(), c.link.c_str(), "Quarnel");
        EXPECT_EQ(SUCCEEDED(hr), c.bSaved);
        EXPECT_TRUE(ComReleased());
        EXPECT_EQ(ReadShellLink(c.link), c.bSaved ? target + "|Quarnel" : "-");
        if (c.link == at260) {
            EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
        }
    }
    EXPECT_EQ(ListFiles(deep), std::vector<std::string>{at259.substr(deep.size() + 1)}) << "nothing saved cut short";
    // An existing link is replaced.
    EXPECT_TRUE(SUCCEEDED(CreateShellLink(scratch.Path("other.exe").c_str(), scratch.Path("Game.lnk").c_str(), "2")));
    EXPECT_EQ(ReadShellLink(scratch.Path("Game.lnk")), scratch.Path("other.exe") + "|2");
}

// Finish under a "Common Programs" folder whose two last levels are missing,
// as the browser can leave it, and under one that is there with its group:
// every level is made and the group gets its three links.
TEST(ShortcutPage, FinishMakesEveryMissingLevelOfTheGroup)
{
    hAppInstance = LoadSetupExe(WinePath(SETUP_EXE_UNIX));
    ASSERT_NE(hAppInstance, nullptr);
    for (bool bExisting : {false, true}) {
        SCOPED_TRACE(bExisting);
        ScratchMachine machine;
        ScratchDir scratch;
        std::string group = scratch.Path("Menu\\Programs\\Quarnel");
        if (bExisting)
            fs::create_directories(FsPath(group));
        SetValue(szShellFoldersKey, "Common Programs", REG_SZ, scratch.Path("Menu\\Programs"));
        StrCopy(szInstallDir, scratch.Path().c_str());
        for (const LinkRow& row : aLinkRows)
            WriteFile(scratch.Path(row.pszTargetName), TextBytes("MZ"));
        HWND hDlg = CreateDialogParamA(hAppInstance, "IDD_SHORTCUT", nullptr, ShortcutDlgProc, 0);
        ASSERT_NE(hDlg, nullptr);
        SendMessageA(hDlg, WM_COMMAND, IDOK, 0);
        DestroyWindow(hDlg);
        EXPECT_STREQ(szOpenFolder, group.c_str());
        ASSERT_TRUE(Exists(group));
        EXPECT_EQ(ListFiles(scratch.FsRoot() / "Menu"),
                  (std::vector<std::string>{"Programs\\Quarnel\\Quarnel.lnk", "Programs\\Quarnel\\Readme.lnk",
                                            "Programs\\Quarnel\\Uninstall.lnk"}));
        EXPECT_EQ(ReadShellLink(group + "\\Uninstall.lnk"), scratch.Path("uninstall.exe") + "|Uninstall");
        szOpenFolder[0] = '\0';
    }
    FreeLibrary(hAppInstance);
    hAppInstance = nullptr;
}

}  // namespace
