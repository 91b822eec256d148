// The payload on Windows: the sample game through decompression and
// extraction, and read-only outputs.
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
    EXPECT_EQ(ExtractPayloadArchive(f, installDir.c_str(), nullptr, nullptr), 0);
    std::fclose(f);

    fs::path game = WinePath(GAME_TREE_UNIX);
    std::vector<std::string> expected = ListFiles(game);
    expected.erase(std::remove(expected.begin(), expected.end(), "manifest.txt"), expected.end());
    ASSERT_EQ(expected.size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    ASSERT_EQ(ListFiles(installDir), expected);
    for (const std::string& name : expected)
        EXPECT_EQ(ReadFile(installDir + "\\" + name), ReadFile((game / name).string())) << name;
    EXPECT_EQ(ListFiles(installDir, true), ListFiles(game, true));
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
    FILE* f = FileOpen(scratch.Path("archive.dat").c_str(), "rb");
    EXPECT_EQ(ExtractPayloadArchive(f, installDir.c_str(), nullptr, nullptr), 1);
    EXPECT_EQ(static_cast<size_t>(std::ftell(f)), cbConsumed);
    std::fclose(f);
    CloseHandle(hHold);
    SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_NE(hHold, INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFile(installDir + "\\a.dat"), TextBytes("first"));
    EXPECT_EQ(ReadFile(readOnly), TextBytes("kept"));
    EXPECT_FALSE(Exists(installDir + "\\c.dat"));
}

}  // namespace
