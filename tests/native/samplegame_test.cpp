// The generated sample game: the shape the installer relies on (record count,
// folders, sizes, total), real formats where the names promise them, and
// bytes that depend only on the two programs.
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

using namespace qt;

namespace {

// A program stand-in: "MZ" and size bytes that depend on the seed.
std::string WriteProgram(const ScratchDir& scratch, const std::string& name, size_t size, unsigned seed)
{
    Bytes data = PatternBytes(size, seed);
    data[0] = 'M';
    data[1] = 'Z';
    WriteFile(scratch.Path(name), data);
    return scratch.Path(name);
}

// True when qsample exits with 0.
bool RunQsample(const std::string& outDir, const std::string& game, const std::string& uninstall)
{
    std::string cmd = std::string("'") + QSAMPLE_PATH + "' '" + outDir + "' '" + game + "' '" + uninstall +
                      "' >/dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

uint32_t Le(const Bytes& b, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | b.at(at + static_cast<size_t>(i));
    return v;
}

// A PCM WAVE file with the canonical 44-byte header, then whole sample frames
// to its end: the chunk sizes account for every byte.
void ExpectWave(const Bytes& w)
{
    ASSERT_GE(w.size(), 44u);
    auto id = [&](long at) { return std::string(w.begin() + at, w.begin() + at + 4); };
    EXPECT_EQ(id(0) + id(8) + id(12) + id(36), "RIFFWAVEfmt data");
    EXPECT_EQ(Le(w, 4, 4) + 8, w.size());
    EXPECT_EQ(Le(w, 16, 4), 16u);  // fmt size
    EXPECT_EQ(Le(w, 20, 2), 1u);   // PCM
    uint32_t channels = Le(w, 22, 2), rate = Le(w, 24, 4), blockAlign = Le(w, 32, 2), bits = Le(w, 34, 2);
    EXPECT_TRUE(bits == 8 || bits == 16);
    ASSERT_NE(blockAlign, 0u);
    EXPECT_EQ(blockAlign, channels * bits / 8);
    EXPECT_EQ(Le(w, 28, 4), rate * blockAlign);
    uint32_t len = Le(w, 40, 4);
    EXPECT_TRUE(len > 0 && len % blockAlign == 0 && len + 44 == w.size()) << len;
}

TEST(SampleGame, HasTheInstallersShapeAndIsReproducible)
{
    ScratchDir tmp;
    const std::string game = WriteProgram(tmp, "game.exe", 1500, 1);
    const std::string uninstall = WriteProgram(tmp, "uninstall.exe", 2600, 2);
    const std::string a = tmp.Path("a"), b = tmp.Path("b");
    ASSERT_TRUE(RunQsample(a, game, uninstall));
    ASSERT_TRUE(RunQsample(b, game, uninstall));

    const Bytes manifest = ReadFile(a + "/manifest.txt");
    EXPECT_EQ(manifest, ReadFile(b + "/manifest.txt"));
    std::vector<std::string> names;
    std::istringstream lines(std::string(manifest.begin(), manifest.end()));
    for (std::string line; std::getline(lines, line);)
        names.push_back(line);
    ASSERT_EQ(names.size(), 79u);
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 3),
              (std::vector<std::string>{"quarnel.exe", "uninstall.exe", "readme.rtf"}));

    size_t nInGamebin = 0, nInSound = 0;
    uint64_t cbTotal = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);  // names the packer would refuse fail the build already
        nInGamebin += name.rfind("GAMEBIN\\", 0) == 0;
        nInSound += name.rfind("GAMEBIN\\sound\\", 0) == 0;
        const Bytes data = ReadFile(a + "\\" + name);
        EXPECT_FALSE(data.empty());
        EXPECT_TRUE(data == ReadFile(b + "\\" + name)) << "differs between two runs";
        cbTotal += data.size();
        if (name.size() > 4 && name.substr(name.size() - 4) == ".wav")
            ExpectWave(data);
    }
    EXPECT_EQ(nInGamebin, 76u);  // everything after the first three
    EXPECT_EQ(nInSound, 21u);
    EXPECT_EQ(cbTotal, 20951292u);

    EXPECT_TRUE(ReadFile(a + "/quarnel.exe") == ReadFile(game));
    EXPECT_TRUE(ReadFile(a + "/uninstall.exe") == ReadFile(uninstall));
    const Bytes rtf = ReadFile(a + "/readme.rtf");
    EXPECT_EQ(std::string(rtf.begin(), rtf.begin() + 6), "{\\rtf1");
    for (unsigned char c : ReadFile(a + "\\GAMEBIN\\game.cfg"))
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c);
}

TEST(SampleGame, RefusesProgramsThatBreakTheSizeRules)
{
    ScratchDir tmp;
    const std::string small = WriteProgram(tmp, "small.exe", 100, 3);  // not larger than game.cfg
    const std::string normal = WriteProgram(tmp, "normal.exe", 4000, 4);
    const std::string big = WriteProgram(tmp, "big.exe", 1000000, 5);     // fine alone, too much as a pair
    const std::string huge = WriteProgram(tmp, "huge.exe", 2816000, 6);  // as large as stage2.cur
    EXPECT_FALSE(RunQsample(tmp.Path("1"), small, normal));
    EXPECT_FALSE(RunQsample(tmp.Path("2"), normal, huge));
    EXPECT_FALSE(RunQsample(tmp.Path("3"), big, big));
    EXPECT_TRUE(RunQsample(tmp.Path("4"), big, normal));
}

}  // namespace
