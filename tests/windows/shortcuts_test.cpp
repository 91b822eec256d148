// The registry entries against Wine's registry, the shell links through its
// shell-link object, and the page's Finish under missing folders and the
// group browser's link limit in this process, from the real setup.exe's
// templates. The rest of what Finish and Cancel leave, and the browser's walk
// up and into folders, are checked end to end.
#include "resources/resource.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "shortcuts/shortcuts.h"
#include "tests/common/test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <sddl.h>
#include <shlobj.h>

using namespace qt;

namespace {

// A value as "type:size:text", or "-" when it cannot be read.
std::string Value(const std::string& key, const char* pszName)
{
    char szData[SHORTCUT_TEXT_SIZE] = {};
    DWORD dwType = 0, cbData = sizeof(szData);
    bool bRead = RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), pszName, RRF_RT_ANY | RRF_NOEXPAND, &dwType, szData,
                              &cbData) == ERROR_SUCCESS;
    return bRead ? std::to_string(dwType) + ":" + std::to_string(cbData) + ":" + szData : "-";
}
void SetValue(const std::string& key, const char* pszName, DWORD dwType, const std::string& data)
{
    ASSERT_EQ(RegSetKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), pszName, dwType, data.c_str(),
                              static_cast<DWORD>(data.size() + 1)), ERROR_SUCCESS);
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
    // Readable and deletable only: not openable for writing.
    void Lock(const std::string& key)
    {
        PSECURITY_DESCRIPTOR pSecurity = nullptr;
        HKEY hKey = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSDWD;;;WD)", SDDL_REVISION_1,
                                                                         &pSecurity, nullptr));
        ASSERT_EQ(RegCreateKeyExA(hRoot_, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &hKey, nullptr), 0);
        EXPECT_EQ(RegSetKeySecurity(hKey, DACL_SECURITY_INFORMATION, pSecurity), ERROR_SUCCESS);
        RegCloseKey(hKey);
        LocalFree(pSecurity);
    }

private:
    HKEY hRoot_ = nullptr;
};

TEST(RegistryEntries, SixTextValuesReplacedOthersKept)
{
    ScratchMachine machine;
    SetValue(Under(szUninstallKey), "Other", REG_SZ, "kept");
    SetValue(Under(szUninstallKey), "Scdir", REG_DWORD, "old");
    StrCopy(szInstallDir, "C:\\Program files\\Quarnel");
    for (int nPass = 0; nPass < 2; ++nPass) {  // Cancel refused, then Finish: the same data again
        WriteAppPathEntry();
        WriteUninstallEntry("C:\\Menu\\Programs\\Quarnel");
    }
    // The command quoted, so that the blank does not split it; paths bare.
    EXPECT_EQ(ProductValues(),
              (std::vector<std::string>{"1:8:Quarnel", "1:25:C:\\Program files\\Quarnel", "1:8:Quarnel",
                                        "1:41:\"C:\\Program files\\Quarnel\\uninstall.exe\"",
                                        "1:25:C:\\Menu\\Programs\\Quarnel", "1:25:C:\\Program files\\Quarnel"}));
    EXPECT_EQ(Value(Under(szUninstallKey), "Other"), "1:5:kept");
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
    for (const Case& c : {Case{REG_SZ, "D:\\Menu\\Programs\\", 1, "D:\\Menu\\Programs"}, {REG_SZ, "", 0, "unchanged"},
                          {REG_EXPAND_SZ, "%SystemDrive%\\Menu", 1, "%SystemDrive%\\Menu"},
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

// A shortcut file as "target|description" and whatever else it carries.
std::string ReadLink(const std::string& path)
{
    CoInitialize(nullptr);
    IShellLinkA* pLink = nullptr;
    IPersistFile* pFile = nullptr;
    char szTarget[MAX_PATH] = "", szDescription[MAX_PATH] = "", szArgs[MAX_PATH] = "", szDir[MAX_PATH] = "",
         szIcon[MAX_PATH] = "";
    WORD wHotkey = 0;
    int iIcon = 0;
    wchar_t wszPath[MAX_PATH] = {};
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wszPath, MAX_PATH);
    bool bRead = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                            reinterpret_cast<void**>(&pLink))) &&
                 SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&pFile))) &&
                 SUCCEEDED(pFile->Load(wszPath, STGM_READ)) &&
                 SUCCEEDED(pLink->GetPath(szTarget, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
                 SUCCEEDED(pLink->GetDescription(szDescription, MAX_PATH)) &&
                 SUCCEEDED(pLink->GetArguments(szArgs, MAX_PATH)) &&
                 SUCCEEDED(pLink->GetWorkingDirectory(szDir, MAX_PATH)) && SUCCEEDED(pLink->GetHotkey(&wHotkey)) &&
                 SUCCEEDED(pLink->GetIconLocation(szIcon, MAX_PATH, &iIcon));
    std::string extra = std::string(szArgs) + szDir + szIcon + (wHotkey || iIcon ? "hotkey or icon" : "");
    if (pFile)
        pFile->Release();
    if (pLink)
        pLink->Release();
    CoUninitialize();
    return bRead ? std::string(szTarget) + "|" + szDescription + (extra.empty() ? "" : "|" + extra) : "-";
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
        EXPECT_EQ(ReadLink(c.link), c.bSaved ? target + "|Quarnel" : "-");
        if (c.link == at260) {
            EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
        }
    }
    EXPECT_EQ(ListFiles(deep), std::vector<std::string>{at259.substr(deep.size() + 1)}) << "nothing saved cut short";
    // An existing link is replaced.
    EXPECT_TRUE(SUCCEEDED(CreateShellLink(scratch.Path("other.exe").c_str(), scratch.Path("Game.lnk").c_str(), "2")));
    EXPECT_EQ(ReadLink(scratch.Path("Game.lnk")), scratch.Path("other.exe") + "|2");
}

// The real setup.exe's dialog templates as this process's instance.
class SetupTemplates {
public:
    SetupTemplates()
    {
        hAppInstance = LoadLibraryExA(WinePath(SETUP_EXE_UNIX).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
    }
    ~SetupTemplates()
    {
        FreeLibrary(hAppInstance);
        hAppInstance = nullptr;
    }
};

// Finish under a "Common Programs" folder whose two last levels are missing,
// as the browser can leave it, and under one that is there with its group:
// every level is made and the group gets its three links.
TEST(ShortcutPage, FinishMakesEveryMissingLevelOfTheGroup)
{
    SetupTemplates templates;
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
        EXPECT_EQ(ReadLink(group + "\\Uninstall.lnk"), scratch.Path("uninstall.exe") + "|Uninstall");
        szOpenFolder[0] = '\0';
    }
}

// Deeper through the product-folder item until the group's longest link
// would pass 259 characters: that step changes nothing.
TEST(GroupBrowser, StopsWhereTheGroupsLinksWouldPass259Characters)
{
    ScratchDir scratch;
    SetupTemplates templates;
    ASSERT_NE(hAppInstance, nullptr);
    StrCopy(szProductFolder, "Quarnel");
    StrCopy(szGroupParent, scratch.Path().c_str());
    HWND hDlg = CreateDialogParamA(hAppInstance, "IDD_BROWSE_SHORTCUT", nullptr, GroupBrowseDlgProc, 0);
    ASSERT_NE(hDlg, nullptr);
    std::string before;
    do {
        before = szGroupParent;
        LVFINDINFOA find = {LVFI_STRING, "Quarnel", 0, {0, 0}, 0};
        LRESULT nItem = SendMessageA(hGroupList, LVM_FINDITEMA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find));
        LVITEMA state = {};
        state.stateMask = state.state = LVIS_SELECTED;
        SendMessageA(hGroupList, LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&state));
        NMHDR header = {hGroupList, IDC_GROUP_LIST, static_cast<UINT>(NM_DBLCLK)};
        SendMessageA(hDlg, WM_NOTIFY, IDC_GROUP_LIST, reinterpret_cast<LPARAM>(&header));
    } while (before != szGroupParent);
    EXPECT_GT(before.size(), scratch.Path().size() + 8 * 10) << "the product folder entered again and again";
    EXPECT_LE(LongestGroupLinkPath(szGroupParent), MAX_LINK_PATH);
    EXPECT_GT(LongestGroupLinkPath((before + "\\Quarnel").c_str()), MAX_LINK_PATH);
    DestroyWindow(hDlg);
}

}  // namespace
