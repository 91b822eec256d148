// The folder listing of both browsers on a real list view over a scratch tree.
#include "shell/folder_list.h"
#include "resources/resource.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace qt;

namespace {

// Folders, hidden and system ones too, but no dot names and no files; the up
// item below the browser's root; the product folder to be made. (A drive
// root, with no up item, and the group browser's listing are walked end to
// end by the browser scenarios.)
TEST(FolderList, ListsUpItemSubdirectoriesButDotNamesAndTheProductFolder)
{
    // The folder images come from the installer's own resources.
    hAppInstance = LoadSetupExe(WinePath(SETUP_EXE_UNIX));
    ASSERT_NE(hAppInstance, nullptr);
    HWND hDlg = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    for (int id : {IDC_RESULT_PATH, IDC_GROUP_PATH})
        CreateWindowExA(0, "EDIT", "", WS_CHILD, 0, 0, 100, 20, hDlg, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        nullptr, nullptr);
    HWND hList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | LVS_LIST | LVS_SINGLESEL | LVS_SORTASCENDING, 0, 0,
                                 300, 200, hDlg, nullptr, nullptr, nullptr);
    ASSERT_NE(hList, nullptr);
    AttachFolderImages(hList);
    ASSERT_TRUE(iImageUp != iImageFolder && iImageUp != iImageNewFolder);
    StrCopy(szProductFolder, "Quarnel");

    // Lists from the path (kept unchanged); returns the items' texts, and
    // their images as "u" (up), "f" (folder), "n" (new) in kinds.
    std::string kinds;
    auto fill = [&](const std::string& path, int nKind) {
        char szPath[WIZARD_TEXT_SIZE];
        StrCopy(szPath, path.c_str());
        FillFolderList(hDlg, hList, szPath, nKind);
        EXPECT_EQ(szPath, path);
        std::vector<std::string> items;
        kinds.clear();
        for (int i = 0; i < SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0); ++i) {
            char sz[256] = {};
            LVITEMA item = {};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = i;
            item.pszText = sz;
            item.cchTextMax = sizeof(sz);
            SendMessageA(hList, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
            items.push_back(sz);
            kinds += item.iImage == iImageUp           ? 'u'
                     : item.iImage == iImageFolder    ? 'f'
                     : item.iImage == iImageNewFolder ? 'n' : '?';
        }
        return items;
    };

    ScratchDir scratch;
    for (const char* pszDir : {"Games", "Games\\Sub", "hidden", "system", ".dot", "!first"})
        CreateDirectoryA(scratch.Path(pszDir).c_str(), nullptr);
    WriteFile(scratch.Path("plainfile.txt"), TextBytes("not a folder"));
    SetFileAttributesA(scratch.Path("hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    SetFileAttributesA(scratch.Path("system").c_str(), FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY);

    // Sorted by text: "!first" sorts ahead of the up item, and is still a folder.
    EXPECT_EQ(fill(scratch.Path(), LIST_INSTALL), ExpectedFolderList(scratch.Path(), true, "Quarnel"));
    EXPECT_EQ(kinds, "fuffnf");
    EXPECT_FALSE(IsUpItem(hList, 0));
    EXPECT_TRUE(IsUpItem(hList, 1));
    EXPECT_TRUE(PollText(GetDlgItem(hDlg, IDC_RESULT_PATH), scratch.Path("Quarnel"), 0));
    EXPECT_TRUE(PollText(GetDlgItem(hDlg, IDC_GROUP_PATH), "", 0)) << "the install kind writes only its own edit";

    // A missing directory lists only the up item and the product folder.
    EXPECT_EQ(fill(scratch.Path("missing"), LIST_INSTALL), (std::vector<std::string>{kUpItem, "Quarnel"}));
    EXPECT_EQ(kinds, "un");
    DestroyWindow(hDlg);
    FreeLibrary(hAppInstance);
    hAppInstance = nullptr;
}

}  // namespace
