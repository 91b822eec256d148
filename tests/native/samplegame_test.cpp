// The generated sample game: the shape the installer relies on (record count,
// folders, sizes, total), real formats where the names promise them, and
// bytes that depend only on the two programs.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

class TempDir {
public:
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "qsample-XXXXXX").string();
        if (mkdtemp(tmpl.data()))
            path_ = tmpl;
    }
    ~TempDir()
    {
        if (!path_.empty())
            fs::remove_all(path_);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

Bytes ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteProgram(const std::string& path, size_t size, unsigned seed)
{
    Bytes data(size);
    for (size_t i = 0; i < size; ++i)
        data[i] = static_cast<unsigned char>((i * 31 + seed) ^ (i >> 7));
    data[0] = 'M';
    data[1] = 'Z';
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()),
                                                static_cast<std::streamsize>(size));
}

int RunQsample(const std::string& outDir, const std::string& game, const std::string& uninstall)
{
    std::string cmd = std::string("'") + QSAMPLE_PATH + "' '" + outDir + "' '" + game + "' '" + uninstall +
                      "' >/dev/null 2>&1";
    int status = std::system(cmd.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string HostPath(const std::string& dir, std::string name)
{
    for (char& c : name)
        if (c == '\\')
            c = '/';
    return dir + "/" + name;
}

uint32_t Le(const Bytes& b, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i)
        v = v << 8 | b.at(at + static_cast<size_t>(i));
    return v;
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

bool EndsWith(const std::string& s, const std::string& suffix)
{
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A PCM RIFF/WAVE file whose chunk sizes account for every byte.
void ExpectWave(const std::string& name, const Bytes& w)
{
    SCOPED_TRACE(name);
    ASSERT_GE(w.size(), 44u);
    EXPECT_EQ(std::string(w.begin(), w.begin() + 4), "RIFF");
    EXPECT_EQ(Le(w, 4, 4) + 8, w.size());
    EXPECT_EQ(std::string(w.begin() + 8, w.begin() + 12), "WAVE");
    bool haveFormat = false, haveData = false;
    uint32_t blockAlign = 0;
    for (size_t at = 12; at + 8 <= w.size();) {
        std::string id(w.begin() + static_cast<long>(at), w.begin() + static_cast<long>(at) + 4);
        uint32_t len = Le(w, at + 4, 4);
        ASSERT_LE(at + 8 + len, w.size()) << id;
        if (id == "fmt ") {
            ASSERT_GE(len, 16u);
            uint32_t channels = Le(w, at + 10, 2), rate = Le(w, at + 12, 4), bits = Le(w, at + 22, 2);
            blockAlign = Le(w, at + 20, 2);
            EXPECT_EQ(Le(w, at + 8, 2), 1u);  // PCM
            EXPECT_TRUE(bits == 8 || bits == 16);
            EXPECT_EQ(blockAlign, channels * bits / 8);
            EXPECT_EQ(Le(w, at + 16, 4), rate * blockAlign);
            haveFormat = true;
        } else if (id == "data") {
            ASSERT_TRUE(haveFormat) << "data before fmt";
            EXPECT_GT(len, 0u);
            EXPECT_EQ(len % blockAlign, 0u);
            EXPECT_EQ(at + 8 + len + (len & 1), w.size());
            haveData = true;
        }
        at += 8 + len + (len & 1);
    }
    EXPECT_TRUE(haveFormat && haveData);
}

TEST(SampleGame, HasTheInstallersShapeAndIsReproducible)
{
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const std::string game = tmp.path() + "/game.exe", uninstall = tmp.path() + "/uninstall.exe";
    WriteProgram(game, 1500, 1);
    WriteProgram(uninstall, 2600, 2);
    const std::string a = tmp.path() + "/a", b = tmp.path() + "/b";
    ASSERT_EQ(RunQsample(a, game, uninstall), 0);
    ASSERT_EQ(RunQsample(b, game, uninstall), 0);

    const std::vector<std::string> names = ReadLines(a + "/manifest.txt");
    ASSERT_EQ(names.size(), 79u);
    EXPECT_EQ(names, ReadLines(b + "/manifest.txt"));
    EXPECT_EQ(names[0], "quarnel.exe");
    EXPECT_EQ(names[1], "uninstall.exe");
    EXPECT_EQ(names[2], "readme.rtf");

    size_t inGamebin = 0, inSound = 0;
    uint64_t total = 0;
    std::string largest, smallest;
    size_t largestSize = 0, smallestSize = SIZE_MAX;
    int largestCount = 0, smallestCount = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        SCOPED_TRACE(name);
        EXPECT_LT(name.size(), 255u);
        EXPECT_EQ(name.find('/'), std::string::npos);
        if (i >= 3) {
            EXPECT_TRUE(StartsWith(name, "GAMEBIN\\"));
        }
        inGamebin += StartsWith(name, "GAMEBIN\\");
        inSound += StartsWith(name, "GAMEBIN\\sound\\");

        const Bytes data = ReadAll(HostPath(a, name));
        EXPECT_FALSE(data.empty());
        EXPECT_TRUE(data == ReadAll(HostPath(b, name))) << "differs between two runs";
        total += data.size();
        if (data.size() > largestSize) {
            largestSize = data.size();
            largest = name;
            largestCount = 0;
        }
        largestCount += data.size() == largestSize;
        if (data.size() < smallestSize) {
            smallestSize = data.size();
            smallest = name;
            smallestCount = 0;
        }
        smallestCount += data.size() == smallestSize;

        if (EndsWith(name, ".wav"))
            ExpectWave(name, data);
    }
    EXPECT_EQ(inGamebin, 76u);
    EXPECT_EQ(inSound, 21u);
    EXPECT_EQ(total, 20951292u);
    EXPECT_EQ(largest, "GAMEBIN\\stage2.cur");
    EXPECT_EQ(largestSize, 2816000u);
    EXPECT_EQ(largestCount, 1);
    EXPECT_EQ(smallest, "GAMEBIN\\game.cfg");
    EXPECT_EQ(smallestSize, 108u);
    EXPECT_EQ(smallestCount, 1);

    EXPECT_TRUE(ReadAll(HostPath(a, "quarnel.exe")) == ReadAll(game));
    EXPECT_TRUE(ReadAll(HostPath(a, "uninstall.exe")) == ReadAll(uninstall));
    const Bytes rtf = ReadAll(HostPath(a, "readme.rtf"));
    EXPECT_EQ(std::string(rtf.begin(), rtf.begin() + 6), "{\\rtf1");
    for (unsigned char c : ReadAll(HostPath(a, "GAMEBIN\\game.cfg")))
        EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << "byte " << int(c);
}

TEST(SampleGame, RefusesProgramsThatBreakTheSizeRules)
{
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const std::string small = tmp.path() + "/small.exe", normal = tmp.path() + "/normal.exe",
                      big = tmp.path() + "/big.exe", huge = tmp.path() + "/huge.exe";
    WriteProgram(small, 100, 3);     // not larger than game.cfg
    WriteProgram(normal, 4000, 4);
    WriteProgram(big, 1000000, 5);   // fine alone, too much as a pair
    WriteProgram(huge, 2816000, 6);  // as large as stage2.cur
    EXPECT_NE(RunQsample(tmp.path() + "/1", small, normal), 0);
    EXPECT_NE(RunQsample(tmp.path() + "/2", normal, huge), 0);
    EXPECT_NE(RunQsample(tmp.path() + "/3", big, big), 0);
    EXPECT_EQ(RunQsample(tmp.path() + "/4", big, normal), 0);
}

}  // namespace
