// The payload on Windows: the sample game through decompression and
// extraction, read-only outputs, and directory creation.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qt;

namespace {

TEST(SamplePayload, RoundTripsByteForByteThroughGunzipAndExtraction)
{
    ScratchDir scratch;
    MessageRecorder recorder;
    std::string archivePath = scratch.Path("filesdata.dat");
    GunzipFile(archivePath.c_str(), WinePath(PAYLOAD_GZ_UNIX).c_str());
    EXPECT_TRUE(recorder.boxes.empty());
    ASSERT_EQ(ReadFile(archivePath), ReadFile(WinePath(PAYLOAD_ARCHIVE_UNIX)));

    std::string installDir = scratch.Path("Quarnel");
    ASSERT_TRUE(CreateDir(installDir.c_str()));
    FILE* f = FileOpen(archivePath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ExtractPayloadArchive(f, installDir.c_str(), nullptr, nullptr), 0);
    std::fclose(f);

    fs::path game = FsPath(WinePath(GAME_TREE_UNIX));
    std::vector<std::string> expected = ListFiles(game);
    expected.erase(std::remove(expected.begin(), expected.end(), "manifest.txt"), expected.end());
    ASSERT_EQ(ListFiles(FsPath(installDir)), expected);
    ASSERT_EQ(expected.size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    for (const std::string& name : expected)
        EXPECT_EQ(ReadFile(installDir + "\\" + name), ReadFile(InstallerPath(game / name))) << name;
    EXPECT_EQ(ListDirectories(FsPath(installDir)), ListDirectories(game));
}

TEST(ExtractWindows, ReadOnlyOutputStopsTheRunAfterItsDataIsConsumed)
{
    ScratchDir scratch;
    std::string installDir = scratch.Path("inst");
    ASSERT_TRUE(CreateDir(installDir.c_str()));
    Bytes archive;
    AppendRecord(archive, "a.dat", TextBytes("first"));
    AppendRecord(archive, "b.dat", PatternBytes(3000, 2));
    size_t cbConsumed = archive.size();
    AppendRecord(archive, "c.dat", TextBytes("third"));
    WriteFile(scratch.Path("archive.dat"), archive);

    std::string readOnly = installDir + "\\b.dat";
    WriteFile(readOnly, TextBytes("kept"));
    ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    // Wine run as root writes to read-only files all the same; a handle that
    // shares only reading keeps the file unopenable for writing there too.
    HANDLE hHold = CreateFileA(readOnly.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hHold, INVALID_HANDLE_VALUE);

    FILE* f = FileOpen(scratch.Path("archive.dat").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ExtractPayloadArchive(f, installDir.c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(static_cast<size_t>(std::ftell(f)), cbConsumed);
    std::fclose(f);
    EXPECT_EQ(ReadFile(installDir + "\\a.dat"), TextBytes("first"));
    CloseHandle(hHold);
    EXPECT_EQ(ReadFile(readOnly), TextBytes("kept"));
    EXPECT_FALSE(Exists(installDir + "\\c.dat"));
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(CreateDirWindows, CreatesOneLevelAndReportsWhatWasNotMade)
{
    ScratchDir scratch;
    std::string dir = scratch.Path("one");
    EXPECT_NE(CreateDir(dir.c_str()), 0);
    EXPECT_EQ(CreateDir(dir.c_str()), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    std::string deep = scratch.Path("two\\three");
    EXPECT_EQ(CreateDir(deep.c_str()), 0);
    EXPECT_FALSE(Exists(deep));
    EXPECT_FALSE(Exists(scratch.Path("two")));
}

}  // namespace
