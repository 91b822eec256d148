// Record names and path bounds, and the bounded text helpers they rely on.
#include "payload/record_name.h"
#include "shell/strutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(RecordName, AcceptsRelativeNamesAndRefusesEscapes)
{
    using E = RecordNameError;
    struct Case {
        std::string name;
        RecordNameError expected;
    } cases[] = {
        {"quarnel.exe", E::None}, {"GAMEBIN\\sound\\gun.wav", E::None}, {".hidden", E::None},
        {"a..b\\..c\\d..", E::None},  // dots inside names are fine
        {std::string(255, 'n'), E::None}, {std::string(256, 'n'), E::TooLong}, {"", E::Empty},
        {std::string("ok.txt\0..\\x", 11), E::None},  // only the part before a NUL counts
        {"\\root.txt", E::Absolute}, {"/root.txt", E::Absolute},
        {"C:\\x", E::Drive}, {"C:x", E::Drive}, {"file.txt:stream", E::Drive},
        {"..", E::ParentComponent}, {"..\\x", E::ParentComponent}, {".\\x", E::ParentComponent},
        {"GAMEBIN\\..\\..\\x", E::ParentComponent}, {"GAMEBIN/../x", E::ParentComponent},
        {"GAMEBIN\\..", E::ParentComponent}, {"GAMEBIN\\. .\\x", E::ParentComponent},
        {"GAMEBIN\\...\\x", E::ParentComponent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckRecordName(c.name.c_str(), c.name.size() + 1), c.expected) << c.name;
}

TEST(RecordName, PathBoundsFollowTheBuffers)
{
    // Output path: dir + '\' + name must leave room for the terminator in 512.
    EXPECT_TRUE(RecordPathsFit(511 - 1 - 5, "a.txt"));
    EXPECT_FALSE(RecordPathsFit(511 - 5, "a.txt"));
    // Deepest subdirectory: dir + '\' + "GAMEBIN\sound" within 259 characters.
    size_t cchSubdir = std::strlen("GAMEBIN\\sound");
    EXPECT_TRUE(RecordPathsFit(259 - 1 - cchSubdir, "GAMEBIN\\sound\\gun.wav"));
    EXPECT_FALSE(RecordPathsFit(260 - 1 - cchSubdir, "GAMEBIN\\sound\\gun.wav"));
    // A name in the install directory itself makes no subdirectory.
    EXPECT_TRUE(RecordPathsFit(300, "quarnel.exe"));
}

TEST(BoundedText, ReportsEveryTruncationAndStaysTerminated)
{
    char sz[8];
    EXPECT_TRUE(StrCopy(sz, "1234567"));
    EXPECT_FALSE(StrCopy(sz, "12345678"));
    EXPECT_STREQ(sz, "1234567");
    EXPECT_TRUE(StrCopy(sz, "abc"));
    EXPECT_TRUE(StrAppend(sz, "defg"));
    EXPECT_FALSE(StrAppend(sz, "h"));
    EXPECT_STREQ(sz, "abcdefg");
    EXPECT_TRUE(PathJoin(sz, "C:", "Ab"));
    EXPECT_STREQ(sz, "C:\\Ab");
    EXPECT_FALSE(PathJoin(sz, "C:", "Abcde"));
    EXPECT_EQ(std::strlen(sz), 7u);
    EXPECT_FALSE(StrFormat(sz, sizeof(sz), "%d", 123456789));
    EXPECT_STREQ(sz, "1234567");
}

}  // namespace
