// Drive lists, the install-directory rule, free-space arithmetic and folder
// navigation.
#include "location/location_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

DriveTable Parse(const std::string& list)
{
    DriveTable table;
    std::memset(&table, 0x55, sizeof(table));  // nothing may be left unset
    ParseDriveStrings(list.data(), list.size(), &table);
    return table;
}

TEST(DriveTable, KeepsEveryRootInOrderUpperCased)
{
    DriveTable table = Parse(std::string("a:\\\0C:\\\0d:\\\0\0", 13));
    ASSERT_EQ(table.nCount, 3);
    EXPECT_STREQ(table.szRoots[0], "A:\\");
    EXPECT_STREQ(table.szRoots[2], "D:\\");
    EXPECT_STREQ(table.szRoots[3], "");
    EXPECT_EQ(FindDrive(&table, 'c'), 1);
    EXPECT_EQ(FindDrive(&table, 'Z'), -1);

    // All 26 letters fit; nothing is written past the table.
    std::string all;
    for (char c = 'A'; c <= 'Z'; ++c)
        all += std::string(1, c) + ":\\" + '\0';
    table = Parse(all + '\0');
    EXPECT_EQ(table.nCount, 26);
    EXPECT_STREQ(table.szRoots[25], "Z:\\");
    EXPECT_EQ(Parse(all + "A:\\" + '\0' + '\0').nCount, 26) << "a 27th root";

    // A list cut off inside an entry keeps the whole entries before it, and
    // entries that are not drive roots are skipped.
    EXPECT_EQ(Parse(std::string("C:\\\0\\\\server\\share\\\0D:", 22)).nCount, 1);
    EXPECT_EQ(Parse(std::string("\0", 1)).nCount, 0);
    EXPECT_EQ(Parse(std::string("C:\0E:xy\0F:\\\0\0", 14)).nCount, 1);
}

TEST(InstallDir, RootsOfThreeCharactersOrFewerGetNoSecondBackslash)
{
    char sz[32];
    for (auto [pszParent, pszExpected] : {std::pair{"C:\\", "C:\\Quarnel"}, {"C:", "C:Quarnel"},
                                          {"C:\\G", "C:\\G\\Quarnel"},
                                          {"C:\\Program files", "C:\\Program files\\Quarnel"}}) {
        EXPECT_TRUE(ComposeInstallDir(sz, sizeof(sz), pszParent, "Quarnel"));
        EXPECT_STREQ(sz, pszExpected);
    }
    EXPECT_FALSE(ComposeInstallDir(sz, sizeof(sz), "C:\\A very long parent folder", "Quarnel"));
    EXPECT_STREQ(sz, "");
    // The buffer may be the parent itself being extended.
    char szSame[32] = "D:\\Games";
    EXPECT_TRUE(ComposeInstallDir(szSame, sizeof(szSame), szSame, "Q"));
    EXPECT_STREQ(szSame, "D:\\Games\\Q");
}

TEST(FreeSpace, UnitsOf1000BytesSaturatingAt4GiB)
{
    EXPECT_EQ(FreeKBFromGeometry(8, 512, 5000), 20480u);
    EXPECT_EQ(FreeKBFromGeometry(1, 1000, 21000), 21000u);
    EXPECT_EQ(FreeKBFromGeometry(1, 1000, 20999), 20999u);
    // 4106 MiB of tmpfs: the 32-bit product would wrap to 10,485,760 bytes.
    EXPECT_EQ(FreeKBFromGeometry(8, 512, 1051136), 4294967u);
    EXPECT_EQ(FreeKBFromGeometry(0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF), 4294967u);
    EXPECT_EQ(FreeKBFromGeometry(8, 512, 0), 0u);

    // The requirement: each file on whole 4 KiB clusters, the sum in units of
    // 1000 rounded up; the staged payload and its archive only on the
    // temporary folder's drive.
    struct Case { std::vector<uint64_t> cbFiles; uint64_t cbStaged, cbArchive; bool bTemp; uint32_t nKB; } cases[] = {
        {{}, 0, 0, false, 0},
        {{0, 1}, 0, 0, false, 5},
        {{1, 1}, 0, 0, false, 9},             // not the sum rounded once
        {{4096, 4097}, 0, 0, false, 13},
        {{250 * 4096}, 0, 0, false, 1024},    // a whole unit gains nothing
        {{1}, 1, 4097, false, 5},
        {{1}, 1, 4097, true, 17},
        {{1}, 0, 0, true, 5},
        {{UINT64_MAX, 1}, 0, 0, false, UINT32_MAX},
        {{1}, UINT64_MAX, UINT64_MAX, true, UINT32_MAX},
    };
    for (const Case& c : cases) {
        PayloadSizes sizes = {c.cbFiles.data(), c.cbFiles.size(), c.cbStaged, c.cbArchive};
        EXPECT_EQ(RequiredKB(&sizes, c.bTemp), c.nKB) << c.cbFiles.size() << " files, temp " << c.bTemp;
    }
}

TEST(Navigation, UpAndIntoStayWithinTheLimits)
{
    char sz[512] = "C:\\Games\\Sub";
    for (const char* pszExpected : {"C:\\Games", "C:\\", "C:\\"}) {
        NavigateUp(sz);
        EXPECT_STREQ(sz, pszExpected);
    }
    EXPECT_TRUE(NavigateInto(sz, sizeof(sz), "Games", "Quarnel"));
    EXPECT_TRUE(NavigateInto(sz, sizeof(sz), "Sub", "Quarnel"));
    EXPECT_STREQ(sz, "C:\\Games\\Sub");

    // The install directory it would give must stay creatable: 259 at most.
    std::string name(259 - std::strlen(sz) - 1 - 1 - 7, 'n');
    EXPECT_TRUE(NavigateInto(sz, sizeof(sz), name.c_str(), "Quarnel"));
    EXPECT_EQ(std::strlen(sz) + 1 + 7, 259u);
    std::string before = sz;
    EXPECT_FALSE(NavigateInto(sz, sizeof(sz), "x", "Quarnel"));
    EXPECT_EQ(before, sz);
    // Entering the product folder again and again ends at the limit.
    int nSteps = 0;
    char szLoop[512] = "C:\\";
    while (NavigateInto(szLoop, sizeof(szLoop), "Quarnel", "Quarnel"))
        ++nSteps;
    EXPECT_EQ(nSteps, 31);
}

}  // namespace
