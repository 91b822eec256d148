// The packer's archive and gzip member, checked against the archive written
// the simple way and read back by zlib's own gzip reader, and the entries it
// must refuse.
#include "tools/packer/pack.h"

#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <zlib.h>

using namespace qt;

namespace {

// Checks the member's fixed header, then inflates it whole with zlib's gzip
// reader, which also checks the CRC-32 and the length in the trailer.
Bytes ReadGzipMember(const Bytes& gz)
{
    EXPECT_EQ(Bytes(gz.begin(), gz.begin() + 10), (Bytes{0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 11}));
    z_stream zs{};
    inflateInit2(&zs, 16 + 15);
    Bytes out(16 << 20);
    zs.next_in = const_cast<Bytef*>(gz.data());
    zs.avail_in = static_cast<uInt>(gz.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u) << "bytes after the member";
    out.resize(zs.total_out);
    inflateEnd(&zs);
    return out;
}

class PackerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(scratch.FsRoot() / "game" / "GAMEBIN" / "sound");
        for (int i = 0; i < PAYLOAD_RECORD_COUNT; ++i) {
            names.push_back(i == 0 ? "quarnel.exe" : (i < 40 ? "GAMEBIN\\f" : "GAMEBIN\\sound\\s") + std::to_string(i));
            Bytes data = PatternBytes(static_cast<size_t>(i) * 1000 + 1, static_cast<uint32_t>(i));
            WriteFile(game + "/" + names.back(), data);
            AppendRecord(expected, names.back(), data);
        }
    }
    // Runs qpack with the game, the manifest and outputs named by prefix.
    int Pack(const std::string& prefix, const std::string& redirect = " >/dev/null 2>&1")
    {
        std::string cmd = std::string(QPACK_PATH) + " " + game + " " + scratch.Path("manifest.txt") + " " +
                          scratch.Path(prefix + ".dat") + " " + scratch.Path(prefix + ".gz") + redirect;
        return std::system(cmd.c_str());
    }

    ScratchDir scratch;
    std::string game = scratch.Path("game");
    std::vector<std::string> names;
    Bytes expected;  // the archive of the game, record by record
};

TEST_F(PackerTest, RefusesWhatTheInstallerWouldNotExtract)
{
    std::string error;
    Bytes archive;
    struct Case { std::string name; const char* pszExpect; } cases[] = {
        // Each reason of the installer's name rule is the RecordName test's.
        {"GAMEBIN\\missing.dat", "missing file"}, {"GAMEBIN\\..\\..\\up.dat", "\"..\""},
        {"GAMEBIN/f1", "backslashes"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> bad = names;
        bad[5] = c.name;
        EXPECT_FALSE(BuildArchive(game, bad, archive, error)) << c.name;
        EXPECT_NE(error.find(c.pszExpect), std::string::npos) << error;
    }
    names.pop_back();
    EXPECT_FALSE(BuildArchive(game, names, archive, error));
    EXPECT_NE(error.find("78 records"), std::string::npos) << error;
    names.push_back(names[0]);
    names.push_back(names[0]);
    EXPECT_FALSE(BuildArchive(game, names, archive, error));
}

// The archive holds the files in manifest order, and the gzip member is the
// same on every run.
TEST_F(PackerTest, CommandLineWritesBothFilesDeterministicallyOrFailsNamingTheEntry)
{
    std::string manifest;
    for (auto& name : names)
        manifest += name + "\r\n";
    WriteFile(scratch.Path("manifest.txt"), TextBytes(manifest));
    ASSERT_EQ(Pack("a"), 0);
    ASSERT_EQ(Pack("again"), 0);
    EXPECT_EQ(ReadFile(scratch.Path("a.dat")), expected);
    EXPECT_EQ(ReadGzipMember(ReadFile(scratch.Path("a.gz"))), expected);
    EXPECT_EQ(ReadFile(scratch.Path("again.gz")), ReadFile(scratch.Path("a.gz")));

    fs::remove(FsPath(game + "/GAMEBIN\\f7"));
    EXPECT_NE(Pack("b", " 2>" + scratch.Path("err.txt")), 0);
    Bytes err = ReadFile(scratch.Path("err.txt"));
    EXPECT_NE(std::string(err.begin(), err.end()).find("GAMEBIN\\f7"), std::string::npos);
    EXPECT_FALSE(Exists(scratch.Path("b.gz")));
}

// Inputs that take each kind of deflate block (none, fixed and dynamic
// Huffman codes, long matches, stored blocks past the 64 KiB limit of one)
// come back whole through zlib; what repeats shrinks, what cannot be
// compressed grows by no more than the stored blocks' framing.
TEST(GzipMemberTest, EveryKindOfInputRoundTripsThroughZlib)
{
    static const char* const kWords[] = {"the ", "grey ", "tower ", "of ", "Quarnel ", "stands\r\n", "3 ", "door, "};
    std::mt19937 random(11);
    Bytes text, mixed;
    while (text.size() < 150000) {
        const char* pszWord = kWords[random() % 8];
        text.insert(text.end(), pszWord, pszWord + std::char_traits<char>::length(pszWord));
    }
    Bytes noise = PatternBytes(200000, 7);
    for (int i = 0; i < 8; ++i) {
        mixed.insert(mixed.end(), text.begin() + i * 5000, text.begin() + i * 5000 + 20000);
        mixed.insert(mixed.end(), noise.begin() + i * 9000, noise.begin() + i * 9000 + 9000);
    }
    struct Case { const char* pszWhat; Bytes data; size_t maxSize; } cases[] = {
        {"empty", {}, 32},
        {"one byte", {0x42}, 32},
        {"one byte repeated", Bytes(300000, 0xab), 1000},
        {"text", text, text.size() / 4},
        {"incompressible", noise, noise.size() + noise.size() / 10000 + 64},
        {"text and noise", mixed, mixed.size() * 3 / 5},
    };
    for (const Case& c : cases) {
        Bytes gz = GzipMember(c.data);
        EXPECT_EQ(ReadGzipMember(gz), c.data) << c.pszWhat;
        EXPECT_LE(gz.size(), c.maxSize) << c.pszWhat;
    }
}

}  // namespace
