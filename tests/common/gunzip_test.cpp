// File-to-file decompression: good input, damaged input and the texts of
// every message.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

using namespace qt;

namespace {

class GunzipTest : public ::testing::Test {
protected:
    ScratchDir scratch;
    std::string gzPath = scratch.Path("filesdata.gz");
    std::string outPath = scratch.Path("filesdata.dat");
    Bytes data = PatternBytes(200000, 7);
    MessageRecorder recorder;
};

TEST_F(GunzipTest, ReplacesTheOutputWithTheWholeDataSilently)
{
    // Larger than one transfer buffer, compressible in parts, and shorter
    // than the file it replaces.
    data.resize(data.size() + 100000, 'q');
    WriteFile(outPath, PatternBytes(500000, 3));
    WriteFile(gzPath, Gzip(data));
    GunzipFile(outPath.c_str(), gzPath.c_str());
    EXPECT_TRUE(recorder.boxes.empty());
    EXPECT_EQ(ReadFile(outPath), data);
}

// Damaged or plain input, a missing input and an output that cannot be made:
// one box each, with no owner, the default caption and just OK. A text that
// ends in a newline is the whole text; the others go on with zlib's reason.
TEST_F(GunzipTest, FailuresAreReportedOnceAndLeaveNoOutput)
{
    Bytes gz = Gzip(data);
    auto flip = [&](size_t at, unsigned char mask) { Bytes damaged = gz; damaged[at] ^= mask; return damaged; };
    const std::string notGzip = "setup: not in gzip format\n", zlib = "setup: " + gzPath + ": ";
    const std::string missing = scratch.Path("nothere.gz"), badOut = scratch.Path("no\\such\\dir.dat");
    struct Case { Bytes input; std::string text, in = "", out = ""; } cases[] = {
        {flip(gz.size() / 2, 0x55), zlib}, {flip(gz.size() - 8, 0x01), zlib + "incorrect data check\n"},
        {flip(gz.size() - 2, 0x01), zlib + "incorrect length check\n"},
        {Bytes(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 3)), "setup: failed gzclose\n"},
        {TextBytes("this is a plain text file, not compressed data\r\n"), notGzip}, {Bytes(), notGzip},
        {gz, "Can't open file " + missing + "\n", missing}, {gz, "Can't create file " + badOut + "\n", "", badOut}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        recorder.boxes.clear();
        WriteFile(gzPath, c.input);
        GunzipFile((c.out.empty() ? outPath : c.out).c_str(), (c.in.empty() ? gzPath : c.in).c_str());
        ASSERT_EQ(recorder.boxes.size(), 1u);
        const auto& box = recorder.boxes[0];
        EXPECT_EQ(c.text.back() == '\n' ? box.text : box.text.substr(0, c.text.size()), c.text);
        EXPECT_EQ(box.text.back(), '\n');
        EXPECT_EQ(box.hOwner, nullptr);
        EXPECT_TRUE(box.bNullCaption);
        EXPECT_EQ(box.uStyle, static_cast<UINT>(MB_OK));
        EXPECT_FALSE(Exists(outPath));
        // Both files were closed: the input can be removed and written again.
        EXPECT_TRUE(FileDelete(gzPath.c_str()));
    }
}

}  // namespace
