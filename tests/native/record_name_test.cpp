// Record names and path bounds, and the bounded text helpers they rely on.
#include "payload/record_name.h"
#include "shell/strutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(RecordName, AcceptsRelativeNamesAndRefusesEscapes)
{
    struct Case {
        const char* pszName;
        RecordNameError expected;
    } cases[] = {
        {"quarnel.exe", RecordNameError::None},
        {"GAMEBIN\\sound\\gun.wav", RecordNameError::None},
        {"a..b\\..c\\d..", RecordNameError::None},  // dots inside names are fine
        {".hidden", RecordNameError::None},
        {"", RecordNameError::Empty},
        {"\\root.txt", RecordNameError::Absolute},
        {"/root.txt", RecordNameError::Absolute},
        {"C:\\x", RecordNameError::Drive},
        {"C:x", RecordNameError::Drive},
        {"file.txt:stream", RecordNameError::Drive},
        {"..", RecordNameError::ParentComponent},
        {"..\\x", RecordNameError::ParentComponent},
        {"GAMEBIN\\..\\..\\x", RecordNameError::ParentComponent},
        {"GAMEBIN/../x", RecordNameError::ParentComponent},
        {"GAMEBIN\\..", RecordNameError::ParentComponent},
        {"GAMEBIN\\. .\\x", RecordNameError::ParentComponent},
        {"GAMEBIN\\...\\x", RecordNameError::ParentComponent},
        {".\\x", RecordNameError::ParentComponent},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckRecordName(c.pszName, std::strlen(c.pszName) + 1), c.expected) << c.pszName;

    std::string longName(256, 'n');
    EXPECT_EQ(CheckRecordName(longName.c_str(), longName.size() + 1), RecordNameError::TooLong);
    longName.pop_back();
    EXPECT_EQ(CheckRecordName(longName.c_str(), longName.size() + 1), RecordNameError::None);

    // Only the part before a NUL counts.
    const char abName[] = "ok.txt\0..\\x";
    EXPECT_EQ(CheckRecordName(abName, sizeof(abName)), RecordNameError::None);
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
