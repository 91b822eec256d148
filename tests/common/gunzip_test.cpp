// File-to-file decompression: good input, damaged input and the texts of
// every message.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

using namespace qt;

namespace {

class GunzipTest : public ::testing::Test {
protected:
    void Run(const Bytes& gz)
    {
        WriteFile(gzPath, gz);
        GunzipFile(outPath.c_str(), gzPath.c_str());
    }

    ScratchDir scratch;
    std::string gzPath = scratch.Path("filesdata.gz");
    std::string outPath = scratch.Path("filesdata.dat");
    Bytes data = PatternBytes(200000, 7);
    MessageRecorder recorder;
};

TEST_F(GunzipTest, DecompressesWholeFileSilently)
{
    // Larger than one transfer buffer, and compressible in parts.
    Bytes big = data;
    big.resize(big.size() + 100000, 'q');
    Run(Gzip(big));
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(ReadFile(outPath), big);
}

TEST_F(GunzipTest, ExistingOutputIsReplaced)
{
    WriteFile(outPath, PatternBytes(500000, 3));
    Run(Gzip(TextBytes("short")));
    EXPECT_EQ(ReadFile(outPath), TextBytes("short"));
}

TEST_F(GunzipTest, DamagedInputIsReportedOnceAndLeavesNoOutput)
{
    Bytes gz = Gzip(data);
    Bytes flipped = gz;
    flipped[gz.size() / 2] ^= 0x55;
    Bytes badCrc = gz;
    badCrc[gz.size() - 8] ^= 0x01;
    Bytes badLength = gz;
    badLength[gz.size() - 2] ^= 0x01;
    Bytes truncated(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 3));
    Bytes notGzip = TextBytes("this is a plain text file, not compressed data\r\n");
    Bytes empty;

    struct Case {
        const char* pszWhat;
        const Bytes* pInput;
    } cases[] = {{"flipped byte", &flipped}, {"bad CRC", &badCrc},    {"bad length", &badLength},
                 {"truncated", &truncated},  {"not gzip", &notGzip}, {"empty", &empty}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszWhat);
        recorder.boxes.clear();
        Run(*c.pInput);
        ASSERT_EQ(recorder.boxes.size(), 1u);
        const auto& box = recorder.boxes[0];
        EXPECT_EQ(box.text.rfind("setup: ", 0), 0u) << box.text;
        EXPECT_EQ(box.text.back(), '\n');
        EXPECT_GT(box.text.size(), std::string("setup: \n").size());
        EXPECT_EQ(box.hOwner, nullptr);
        EXPECT_TRUE(box.bNullCaption);
        EXPECT_EQ(box.uStyle, static_cast<UINT>(MB_OK));
        EXPECT_FALSE(Exists(outPath));
        // Both files were closed: the input can be removed and written again.
        EXPECT_TRUE(FileDelete(gzPath.c_str()));
    }
}

TEST_F(GunzipTest, MissingInputAndUncreatableOutputGiveTheirExactTexts)
{
    std::string missing = scratch.Path("nothere.gz");
    GunzipFile(outPath.c_str(), missing.c_str());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Can't open file " + missing + "\n");
    EXPECT_TRUE(recorder.boxes[0].bNullCaption);
    EXPECT_FALSE(Exists(outPath));

    recorder.boxes.clear();
    WriteFile(gzPath, Gzip(data));
    std::string badOut = scratch.Path("no\\such\\dir.dat");
    GunzipFile(badOut.c_str(), gzPath.c_str());
    ASSERT_EQ(recorder.boxes.size(), 1u);
    EXPECT_EQ(recorder.boxes[0].text, "Can't create file " + badOut + "\n");
    // The input was closed again.
    EXPECT_TRUE(FileDelete(gzPath.c_str()));
}

}  // namespace
