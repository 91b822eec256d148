// The install-directory page and its browser in this process, from the real
// setup.exe's templates: the page's own use of the space rule and the path
// limit, and the browser's double-click on a folder that sorts first.
#include "location/location.h"
#include "resources/resource.h"
#include "shell/folder_list.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace qt;

namespace {

class LocationPagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hAppInstance = LoadSetupExe(WinePath(SETUP_EXE_UNIX));
        ASSERT_NE(hAppInstance, nullptr);
    }
    void TearDown() override
    {
        FreeLibrary(hAppInstance);
        hAppInstance = nullptr;
    }
    // Next on a page opened for parent\Quarnel with nOver units free beyond
    // what the page found it needs: whether the page ended.
    bool Next(const std::string& parent, int nOver)
    {
        HWND hPage = CreateDialogParamA(hAppInstance, "IDD_DIR", nullptr, DirDlgProc, 0);
        EXPECT_NE(hPage, nullptr);
        StrCopy(szInstallParent, parent.c_str());
        StrCopy(szProductFolder, "Quarnel");
        dwFreeKB = dwRequiredKB + nOver;
        SendMessageA(hPage, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // EndDialog hides a modeless dialog.
        bool bEnded = !IsWindowVisible(hPage);
        DestroyWindow(hPage);
        return bEnded;
    }
    ScratchDir scratch;
};

// Exactly the requirement is enough; one unit less is refused with the box.
// A directory over 259 characters is refused without a box and not made.
TEST_F(LocationPagesTest, NextAppliesTheSpaceRuleAndThePathLimit)
{
    MessageRecorder recorder;
    std::string dir = scratch.Path("Quarnel");
    EXPECT_FALSE(Next(scratch.Path(), -1));
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, szNoSpaceText);
    EXPECT_FALSE(Exists(dir));

    EXPECT_TRUE(Next(scratch.Path(), 0));
    EXPECT_EQ(recorder.boxes.size(), 1u);
    EXPECT_TRUE(fs::is_directory(FsPath(dir)));

    // Parent + "\Quarnel" is 260 characters: one over the limit.
    std::string deep = scratch.Path(std::string(260 - 8 - scratch.Path().size() - 1, 'd'));
    ASSERT_EQ(deep.size() + 8, 260u);
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    EXPECT_FALSE(Next(deep, 0));
    EXPECT_EQ(recorder.boxes.size(), 1u) << "no question, no error box";
    EXPECT_FALSE(Exists(deep + "\\Quarnel"));
}

// "!first" sorts ahead of the up item: a double-click on it enters it.
TEST_F(LocationPagesTest, BrowserDoubleClickEntersAFolderThatSortsFirst)
{
    CreateDirectoryA(scratch.Path("!first").c_str(), nullptr);
    StrCopy(szInstallParent, scratch.Path().c_str());
    StrCopy(szProductFolder, "Quarnel");
    HWND hBrowser = CreateDialogParamA(hAppInstance, "IDD_BROWSE", nullptr, BrowseDlgProc, 0);
    ASSERT_NE(hBrowser, nullptr);
    HWND hList = GetDlgItem(hBrowser, IDC_FOLDER_LIST);
    ASSERT_FALSE(IsUpItem(hList, 0));
    LVITEMA state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(hList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    NMHDR header = {hList, IDC_FOLDER_LIST, static_cast<UINT>(NM_DBLCLK)};
    SendMessageA(hBrowser, WM_NOTIFY, IDC_FOLDER_LIST, reinterpret_cast<LPARAM>(&header));
    EXPECT_EQ(std::string(szInstallParent), scratch.Path("!first"));
    DestroyWindow(hBrowser);
}

}  // namespace
