// The registry value list, the program group and shortcut paths with their
// limits, the shortcut-folder browser's navigation and shell folder texts.
#include "shortcuts/shortcut_rules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Each value as "key|name|type|data|size" for one installation.
std::vector<std::string> Values(const char* pszInstallDir, const char* pszProgramGroup)
{
    std::vector<std::string> values;
    for (const RegistryValue& value : aRegistryValues) {
        char szData[SHORTCUT_TEXT_SIZE];
        std::string key = std::string(value.pszKey).substr(std::string(value.pszKey).rfind('\\') + 1);
        bool bWritten = ComposeValueData(szData, sizeof(szData), value.source, pszInstallDir, pszProgramGroup);
        values.push_back(key + "|" + value.pszName + "|" + std::to_string(value.dwType) + "|" +
                         (bWritten ? std::string(szData) + "|" + std::to_string(ValueDataSize(szData)) : "-"));
    }
    return values;
}

// The six values as written are the Windows-side RegistryEntries test's;
// here, the limits of what is composed.
TEST(RegistryValues, NothingComposedIsWrittenCutShort)
{
    // A group that could not be composed is not recorded; an uninstall
    // command whose quoted form does not fit is not written cut short:
    // 495 characters of folder make 511 with the quotes, one more is refused.
    EXPECT_EQ(Values("C:\\Q", "")[4], "Uninstall|Scdir|1|-");
    std::string longDir = "C:\\" + std::string(492, 'd');
    EXPECT_EQ(Values(longDir.c_str(), "")[3], "Uninstall|UninstallString|1|\"" + longDir + "\\uninstall.exe\"|512");
    longDir += 'd';
    std::vector<std::string> values = Values(longDir.c_str(), "C:\\G\\Quarnel");
    EXPECT_EQ(values[1], "App Paths|Path|1|" + longDir + "|497");
    EXPECT_EQ(values[3], "Uninstall|UninstallString|1|-");
}

TEST(ProgramGroup, ProductFolderOnceWithExactlyOneBackslash)
{
    char sz[SHORTCUT_TEXT_SIZE];
    for (auto [pszParent, pszGroup] : {std::pair{"C:\\Menu\\Programs", "C:\\Menu\\Programs\\Quarnel"},
                                       {"D:\\Menu\\Programs\\", "D:\\Menu\\Programs\\Quarnel"},
                                       {"C:", "C:\\Quarnel"}, {"C:\\", "C:\\Quarnel"}}) {
        EXPECT_TRUE(ComposeProgramGroup(sz, sizeof(sz), pszParent));
        EXPECT_STREQ(sz, pszGroup);
    }
    // 511 characters fit the buffer; one more and nothing is composed.
    std::string parent = "C:\\" + std::string(500, 'p');
    EXPECT_TRUE(ComposeProgramGroup(sz, sizeof(sz), parent.c_str()));
    EXPECT_EQ(std::string(sz), parent + "\\Quarnel");
    EXPECT_FALSE(ComposeProgramGroup(sz, sizeof(sz), (parent + "p").c_str()));
    EXPECT_STREQ(sz, "");
}

// The folders Finish makes for a group, outermost first, joined by "|".
std::string GroupLevels(const char* pszGroup)
{
    std::string levels;
    for (size_t cch = NextGroupLevel(pszGroup, 0); cch != 0; cch = NextGroupLevel(pszGroup, cch))
        levels += (levels.empty() ? "" : "|") + std::string(pszGroup, cch);
    return levels;
}

TEST(ProgramGroup, EveryLevelBelowTheDriveRootOnlyTheGroupElsewhere)
{
    for (auto [pszGroup, pszLevels] :
         {std::pair{"C:\\Menu\\Games\\Quarnel", "C:\\Menu|C:\\Menu\\Games|C:\\Menu\\Games\\Quarnel"},
          {"c:\\Quarnel", "c:\\Quarnel"}, {"C:", ""}, {"C:\\", ""}, {"", ""},
          {"D:\\\\Menu\\\\Quarnel\\", "D:\\\\Menu|D:\\\\Menu\\\\Quarnel"},
          {"E:/Menu/Quarnel", "E:/Menu|E:/Menu/Quarnel"},
          {"C:\\Menu\\..\\Quarnel", "C:\\Menu\\..\\Quarnel"}, {"C:\\Menu..\\Quarnel", "C:\\Menu..|C:\\Menu..\\Quarnel"},
          {"C:Menu\\Quarnel", "C:Menu\\Quarnel"}, {"Menu\\Quarnel", "Menu\\Quarnel"},
          {"\\\\server\\share\\Quarnel", "\\\\server\\share\\Quarnel"}, {"1:\\Menu\\Quarnel", "1:\\Menu\\Quarnel"}})
        EXPECT_EQ(GroupLevels(pszGroup), pszLevels) << pszGroup;
}

// The link files and targets made for one press of Finish, as
// "link>target (description)".
std::vector<std::string> Links(const char* pszDesktop, const char* pszGroup, bool bChecked, bool bFound)
{
    std::vector<std::string> links;
    for (const LinkRow& row : aLinkRows) {
        char szLink[SHORTCUT_TEXT_SIZE], szTarget[SHORTCUT_TEXT_SIZE];
        const char* pszFolder = row.folder == LINK_IN_DESKTOP ? pszDesktop : pszGroup;
        if (LinkWanted(row, bChecked, bFound) &&
            ComposeLink(row, pszFolder, "C:\\Games\\Quarnel", szLink, sizeof(szLink), szTarget, sizeof(szTarget)))
            links.push_back(std::string(szLink) + ">" + szTarget + " (" + row.pszDescription + ")");
    }
    return links;
}

TEST(Links, DesktopShortcutOnlyWhenCheckedAndFoundThenTheGroupsThree)
{
    const std::vector<std::string> group = {"C:\\M\\Quarnel\\Quarnel.lnk>C:\\Games\\Quarnel\\quarnel.exe (Quarnel)",
                                            "C:\\M\\Quarnel\\Uninstall.lnk>C:\\Games\\Quarnel\\uninstall.exe (Uninstall)",
                                            "C:\\M\\Quarnel\\Readme.lnk>C:\\Games\\Quarnel\\Readme.rtf (Readme)"};
    std::vector<std::string> all = {"C:\\Desk\\Quarnel.lnk>C:\\Games\\Quarnel\\quarnel.exe (Quarnel)"};
    all.insert(all.end(), group.begin(), group.end());
    EXPECT_EQ(Links("C:\\Desk", "C:\\M\\Quarnel", true, true), all);
    EXPECT_EQ(Links("C:\\Desk", "C:\\M\\Quarnel", false, true), group);
    EXPECT_EQ(Links("", "C:\\M\\Quarnel", true, false), group);
    // No group composed: no link lands at the root of the current drive.
    EXPECT_EQ(Links("C:\\Desk", "", true, true), std::vector<std::string>{all[0]});
    // A path that does not fit its 512-byte buffer is not made.
    std::string desktop(499, 'd');
    EXPECT_EQ(Links(desktop.c_str(), "", true, true).size(), 1u);
    EXPECT_TRUE(Links((desktop + "d").c_str(), "", true, true).empty());
}

TEST(GroupBrowser, UpRemovesTheLastComponentIntoStaysWithinTheLinkLimit)
{
    char sz[SHORTCUT_TEXT_SIZE] = "C:\\WINDOWS\\Start Menu\\Programs";
    for (const char* pszExpected : {"C:\\WINDOWS\\Start Menu", "C:\\WINDOWS", "C:", "C:"}) {
        GroupNavigateUp(sz);
        EXPECT_STREQ(sz, pszExpected);
    }
    EXPECT_TRUE(GroupNavigateInto(sz, sizeof(sz), "Games"));
    EXPECT_STREQ(sz, "C:\\Games");

    // The longest link, parent + "\Quarnel\Uninstall.lnk", may reach 259
    // characters: a parent of 237 is the deepest.
    EXPECT_EQ(LongestGroupLinkPath("C:\\Games"), 8u + 22u);
    EXPECT_EQ(LongestGroupLinkPath("C:\\"), 3u + 21u);
    std::string parent = "C:\\" + std::string(227, 'p');
    std::snprintf(sz, sizeof(sz), "%s", parent.c_str());
    EXPECT_FALSE(GroupNavigateInto(sz, sizeof(sz), "1234567"));
    EXPECT_EQ(std::string(sz), parent);
    EXPECT_TRUE(GroupNavigateInto(sz, sizeof(sz), "123456"));
    EXPECT_EQ(std::string(sz).size(), 237u);
    EXPECT_EQ(LongestGroupLinkPath(sz), MAX_LINK_PATH);
    // A smaller buffer refuses what it cannot hold.
    char szSmall[12] = "C:\\Games";
    EXPECT_FALSE(GroupNavigateInto(szSmall, sizeof(szSmall), "Sub"));
    EXPECT_STREQ(szSmall, "C:\\Games");
    EXPECT_TRUE(GroupNavigateInto(szSmall, sizeof(szSmall), "Su"));
}

TEST(ShellFolder, NonEmptyTextWithoutOneTrailingBackslash)
{
    struct Case { std::string data; int nResult; const char* pszFolder; };
    for (const Case& c : {Case{"C:\\Menu\\Programs", 1, "C:\\Menu\\Programs"},
                          {"D:\\Menu\\Programs\\", 1, "D:\\Menu\\Programs"}, {"C:\\\\", 1, "C:\\"},
                          {"%ALLUSERSPROFILE%\\Start", 1, "%ALLUSERSPROFILE%\\Start"}, {"", 0, "unchanged"},
                          {std::string(SHORTCUT_TEXT_SIZE, 'x'), 0, "unchanged"}}) {
        char szData[SHORTCUT_TEXT_SIZE] = {};
        c.data.copy(szData, sizeof(szData));
        char szFolder[SHORTCUT_TEXT_SIZE] = "unchanged";
        EXPECT_EQ(ShellFolderFromValue(szFolder, sizeof(szFolder), szData, sizeof(szData)), c.nResult) << c.data;
        EXPECT_STREQ(szFolder, c.pszFolder);
    }
    // A folder longer than the caller's buffer is not cut.
    char szShort[8] = "kept";
    EXPECT_EQ(ShellFolderFromValue(szShort, sizeof(szShort), "C:\\Longer", 10), 0);
    EXPECT_EQ(ShellFolderFromValue(szShort, sizeof(szShort), "C:\\Long\\", 9), 1);
    EXPECT_STREQ(szShort, "C:\\Long");
}

}  // namespace
