// The folder listing of both browsers on a real list view over a scratch tree.
#include "location/location.h"
#include "resources/resource.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "tests/common/test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace qt;

namespace {

class FolderListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&icc);
        // The folder images come from the installer's own resources.
        hAppInstance = LoadLibraryExA(WinePath(SETUP_EXE_UNIX).c_str(), nullptr,
                                      LOAD_LIBRARY_AS_IMAGE_RESOURCE | LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(hAppInstance, nullptr);
        hDlg = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        for (int id : {IDC_RESULT_PATH, IDC_GROUP_PATH})
            CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, hDlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            nullptr, nullptr);
        hList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_LIST | LVS_SINGLESEL | LVS_SORTASCENDING, 0, 0,
                                300, 200, hDlg, nullptr, nullptr, nullptr);
        ASSERT_NE(hList, nullptr);
        AttachFolderImages(hList);
        ASSERT_NE(iImageUp, iImageFolder);
        ASSERT_NE(iImageUp, iImageNewFolder);
        StrCopy(szProductFolder, "Quarnel");

        for (const char* pszDir : {"Games", "Games\\Sub", "hidden", "system", ".dot", "!first", "Games\\Deeper"})
            CreateDirectoryA(scratch.Path(pszDir).c_str(), nullptr);
        WriteFile(scratch.Path("plainfile.txt"), TextBytes("not a folder"));
        SetFileAttributesA(scratch.Path("hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
        SetFileAttributesA(scratch.Path("system").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);
    }
    void TearDown() override
    {
        DestroyWindow(hDlg);
        FreeLibrary(hAppInstance);
        hAppInstance = nullptr;
    }

    struct Item {
        std::string text;
        int iImage;
    };
    std::vector<Item> Items() const
    {
        std::vector<Item> items;
        int nCount = static_cast<int>(SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < nCount; ++i) {
            char sz[256] = {};
            LVITEMA item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = i;
            item.pszText = sz;
            item.cchTextMax = sizeof(sz);
            SendMessageA(hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            items.push_back({sz, item.iImage});
        }
        return items;
    }
    std::string ControlText(int id) const
    {
        char sz[512] = {};
        GetDlgItemTextA(hDlg, id, sz, sizeof(sz));
        return sz;
    }

    ScratchDir scratch;
    HWND hDlg = nullptr;
    HWND hList = nullptr;
};

TEST_F(FolderListTest, ListsEveryDirectoryButDotNamesThenTheProductFolder)
{
    char szPath[WIZARD_TEXT_SIZE];
    StrCopy(szPath, scratch.Path().c_str());
    std::string before = szPath;
    FillFolderList(hDlg, hList, szPath, LIST_INSTALL);
    EXPECT_EQ(szPath, before);

    std::vector<Item> items = Items();
    std::vector<std::string> texts;
    for (auto& item : items)
        texts.push_back(item.text);
    // Sorted by text: "!first" sorts ahead of the up item, and is still a folder.
    EXPECT_EQ(texts, (std::vector<std::string>{"!first", "........", "Games", "hidden", "Quarnel", "system"}));
    EXPECT_EQ(items[0].iImage, iImageFolder);
    EXPECT_EQ(items[1].iImage, iImageUp);
    EXPECT_EQ(items[4].iImage, iImageNewFolder);
    EXPECT_FALSE(IsUpItem(hList, 0));
    EXPECT_TRUE(IsUpItem(hList, 1));
    EXPECT_EQ(ControlText(IDC_RESULT_PATH), before + "\\Quarnel");
    EXPECT_EQ(ControlText(IDC_GROUP_PATH), "");
}

TEST_F(FolderListTest, UpItemOnlyBelowTheKindsRootLength)
{
    // A drive root lists no up item and takes the pattern right after it.
    char szRoot[WIZARD_TEXT_SIZE] = "C:\\";
    FillFolderList(hDlg, hList, szRoot, LIST_INSTALL);
    for (auto& item : Items())
        EXPECT_NE(item.iImage, iImageUp) << item.text;
    EXPECT_EQ(ControlText(IDC_RESULT_PATH), "C:\\Quarnel");

    // The group browser's root is 21 characters long.
    std::string dir = scratch.Path();
    char szGroup[WIZARD_TEXT_SIZE];
    StrCopy(szGroup, (dir + "\\Games").c_str());
    ASSERT_GT(strlen(szGroup), 21u);
    FillFolderList(hDlg, hList, szGroup, LIST_GROUP);
    std::vector<Item> items = Items();
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "........");
    EXPECT_EQ(items[1].text, "Deeper");
    EXPECT_EQ(ControlText(IDC_GROUP_PATH), dir + "\\Games\\Quarnel");

    // A missing directory lists only the up item and the product folder.
    StrCopy(szGroup, (dir + "\\missing").c_str());
    FillFolderList(hDlg, hList, szGroup, LIST_INSTALL);
    EXPECT_EQ(Items().size(), 2u);
}

}  // namespace
