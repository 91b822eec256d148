// The packer's archive and gzip member, read back by a reader written here
// from the formats alone, and the entries it must refuse.
#include "tools/packer/pack.h"

#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <zlib.h>

using namespace qt;

namespace {

uint32_t LE32(const Bytes& b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

// Checks the member's fixed header and trailer and returns its content.
Bytes ReadGzipMember(const Bytes& gz)
{
    EXPECT_GE(gz.size(), 18u);
    const unsigned char abHeader[] = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 11};
    EXPECT_TRUE(std::equal(std::begin(abHeader), std::end(abHeader), gz.begin()));
    z_stream zs{};
    inflateInit2(&zs, -15);
    Bytes out(LE32(gz, gz.size() - 4));
    zs.next_in = const_cast<Bytef*>(gz.data() + 10);
    zs.avail_in = static_cast<uInt>(gz.size() - 18);
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(inflate(&zs, Z_FINISH), Z_STREAM_END);
    EXPECT_EQ(zs.avail_in, 0u) << "bytes between the deflate data and the trailer";
    EXPECT_EQ(zs.total_out, out.size());
    inflateEnd(&zs);
    EXPECT_EQ(crc32(0, out.data(), static_cast<uInt>(out.size())), LE32(gz, gz.size() - 8));
    return out;
}

struct ParsedRecord {
    std::string name;
    Bytes data;
};

std::vector<ParsedRecord> ParseArchive(const Bytes& archive)
{
    std::vector<ParsedRecord> records;
    size_t at = 0;
    while (at < archive.size()) {
        size_t cbName = archive[at++];
        EXPECT_LE(at + cbName + 4, archive.size());
        std::string name(archive.begin() + static_cast<long>(at), archive.begin() + static_cast<long>(at + cbName));
        at += cbName;
        uint32_t size = LE32(archive, at);
        at += 4;
        EXPECT_LE(at + size, archive.size());
        records.push_back({name, Bytes(archive.begin() + static_cast<long>(at),
                                       archive.begin() + static_cast<long>(at + size))});
        at += size;
    }
    return records;
}

class PackerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(scratch.FsRoot() / "game" / "GAMEBIN" / "sound");
        for (int i = 0; i < PAYLOAD_RECORD_COUNT; ++i) {
            std::string name = i == 0 ? "quarnel.exe" : i < 40 ? "GAMEBIN\\f" + std::to_string(i) + ".dat"
                                                               : "GAMEBIN\\sound\\s" + std::to_string(i) + ".wav";
            names.push_back(name);
            Bytes data = PatternBytes(static_cast<size_t>(i) * 1000 + 1, static_cast<uint32_t>(i));
            WriteFile(scratch.Path("game/" + name), data);
            contents.push_back(data);
        }
    }

    std::string GameDir() const { return scratch.Path("game"); }

    ScratchDir scratch;
    std::vector<std::string> names;
    std::vector<Bytes> contents;
};

TEST_F(PackerTest, ArchiveAndGzipReadBackToTheFilesInManifestOrder)
{
    Bytes archive;
    std::string error;
    ASSERT_TRUE(BuildArchive(GameDir(), names, archive, error)) << error;
    std::vector<ParsedRecord> records = ParseArchive(archive);
    ASSERT_EQ(records.size(), names.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].name, names[i]);
        EXPECT_EQ(records[i].data, contents[i]);
    }
    Bytes gz = GzipMember(archive);
    EXPECT_EQ(ReadGzipMember(gz), archive);
    // Deterministic: the same input gives the same bytes.
    EXPECT_EQ(GzipMember(archive), gz);
}

TEST_F(PackerTest, RefusesWhatTheInstallerWouldNotExtract)
{
    std::string error;
    Bytes archive;
    struct Case {
        std::string name;
        const char* pszExpect;
    } cases[] = {
        {"GAMEBIN\\missing.dat", "missing file"},
        {std::string(256, 'n'), "longer than 255"},
        {"\\abs.dat", "absolute"},
        {"/abs.dat", "absolute"},
        {"C:\\drive.dat", "drive"},
        {"GAMEBIN\\..\\..\\up.dat", "\"..\""},
        {"GAMEBIN/f1.dat", "backslashes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> bad = names;
        bad[5] = c.name;
        EXPECT_FALSE(BuildArchive(GameDir(), bad, archive, error));
        EXPECT_NE(error.find(c.pszExpect), std::string::npos) << error;
    }

    std::vector<std::string> fewer(names.begin(), names.end() - 1);
    EXPECT_FALSE(BuildArchive(GameDir(), fewer, archive, error));
    EXPECT_NE(error.find("78 records"), std::string::npos) << error;
    std::vector<std::string> more = names;
    more.push_back(names[0]);
    EXPECT_FALSE(BuildArchive(GameDir(), more, archive, error));
}

TEST_F(PackerTest, CommandLineWritesBothFilesOrFailsNamingTheEntry)
{
    std::ofstream(FsPath(scratch.Path("manifest.txt"))) << [&] {
        std::string text;
        for (auto& n : names)
            text += n + "\r\n";
        return text;
    }();
    std::string cmd = std::string(QPACK_PATH) + " " + GameDir() + " " + scratch.Path("manifest.txt") + " " +
                      scratch.Path("a.dat") + " " + scratch.Path("a.gz") + " >/dev/null 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_EQ(ReadGzipMember(ReadFile(scratch.Path("a.gz"))), ReadFile(scratch.Path("a.dat")));

    fs::remove(FsPath(scratch.Path("game/GAMEBIN/f7.dat")));
    std::string failing = std::string(QPACK_PATH) + " " + GameDir() + " " + scratch.Path("manifest.txt") + " " +
                          scratch.Path("b.dat") + " " + scratch.Path("b.gz") + " 2>" + scratch.Path("err.txt");
    EXPECT_NE(std::system(failing.c_str()), 0);
    Bytes err = ReadFile(scratch.Path("err.txt"));
    EXPECT_NE(std::string(err.begin(), err.end()).find("GAMEBIN\\f7.dat"), std::string::npos);
    EXPECT_FALSE(Exists(scratch.Path("b.gz")));
}

}  // namespace
