// Extraction of payload archives, run natively under the sanitizers and on
// Windows under wine64.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

using namespace qt;

namespace {

std::vector<std::string> gStarted;
int nPolls;
int nStopAfter;  // poll asks to stop at this many written records; 0 never

void RecordStarted(const char* pszPath) { gStarted.push_back(pszPath); }
BOOL Poll()
{
    ++nPolls;
    return nStopAfter != 0 && nPolls >= nStopAfter;
}

struct Record {
    std::string name;
    Bytes data;
};

// 79 records shaped like the game's: three in the install directory, the
// rest two levels deep at most.
std::vector<Record> GameLikeRecords(size_t nCount = PAYLOAD_RECORD_COUNT)
{
    std::vector<Record> records;
    for (size_t i = 0; i < nCount; ++i) {
        std::string name;
        if (i == 0)
            name = "quarnel.exe";
        else if (i == 1)
            name = "uninstall.exe";
        else if (i == 2)
            name = "readme.rtf";
        else if (i < 58)
            name = "GAMEBIN\\data" + std::to_string(i) + ".dat";
        else
            name = "GAMEBIN\\sound\\snd" + std::to_string(i) + ".wav";
        records.push_back({name, PatternBytes(100 + i * 37, static_cast<uint32_t>(i))});
    }
    return records;
}

Bytes Archive(const std::vector<Record>& records)
{
    Bytes archive;
    for (const Record& r : records)
        AppendRecord(archive, r.name, r.data);
    return archive;
}

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gStarted.clear();
        nPolls = 0;
        nStopAfter = 0;
        bCopyAborted = 0;
        installDir = scratch.Path("inst");
        fs::create_directory(FsPath(installDir));
    }

    // Runs the extraction over the archive bytes; leaves the archive's read
    // position in nConsumed.
    BOOL Extract(const Bytes& archive)
    {
        std::string archivePath = scratch.Path("filesdata.dat");
        WriteFile(archivePath, archive);
        FILE* f = FileOpen(archivePath.c_str(), "rb");
        EXPECT_NE(f, nullptr);
        BOOL result = ExtractPayloadArchive(f, installDir.c_str(), RecordStarted, Poll);
        nConsumed = std::ftell(f);
        std::fclose(f);
        EXPECT_EQ(result, bCopyAborted);
        return result;
    }

    std::string Out(const std::string& name) const { return installDir + "\\" + name; }
    std::vector<std::string> Files() const { return ListFiles(FsPath(installDir)); }

    ScratchDir scratch;
    std::string installDir;
    long nConsumed = 0;
};

TEST_F(ExtractTest, WritesEveryRecordWithItsDirectoriesAndCallsTheHooksInOrder)
{
    std::vector<Record> records = GameLikeRecords();
    records[40].data.clear();  // an empty file is written as such
    EXPECT_EQ(Extract(Archive(records)), 0);

    ASSERT_EQ(gStarted.size(), records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(gStarted[i], installDir + "\\" + records[i].name);
        EXPECT_EQ(ReadFile(gStarted[i]), records[i].data) << records[i].name;
    }
    EXPECT_EQ(nPolls, PAYLOAD_RECORD_COUNT);
    EXPECT_EQ(Files().size(), records.size());
    EXPECT_EQ(ListDirectories(FsPath(installDir)), (std::vector<std::string>{"GAMEBIN", "GAMEBIN\\sound"}));
}

TEST_F(ExtractTest, StopsAfterTheLastRecordOfThePayload)
{
    std::vector<Record> records = GameLikeRecords(PAYLOAD_RECORD_COUNT + 1);
    records.back().name = "extra.bin";
    Bytes archive = Archive(records);
    EXPECT_EQ(Extract(archive), 0);
    EXPECT_FALSE(Exists(Out("extra.bin")));
    // The 80th record is never read.
    EXPECT_EQ(static_cast<size_t>(nConsumed), archive.size() - (1 + 9 + 4 + records.back().data.size()));
}

TEST_F(ExtractTest, ArchiveEndingAtARecordBoundaryFailsAfterTheRecordsPresent)
{
    std::vector<Record> records = GameLikeRecords(5);
    EXPECT_EQ(Extract(Archive(records)), 1);
    EXPECT_EQ(Files().size(), 5u);
    EXPECT_EQ(gStarted.size(), 5u);
}

TEST_F(ExtractTest, RecordCutOffInsideItsNameSizeOrDataFailsWithoutAFile)
{
    std::vector<Record> records = GameLikeRecords(3);
    Bytes whole = Archive(records);
    size_t lastStart = whole.size() - (1 + records[2].name.size() + 4 + records[2].data.size());
    // Cut inside the name, inside the size field, and inside the data.
    for (size_t cut : {lastStart + 4, lastStart + 1 + records[2].name.size() + 2, whole.size() - 1}) {
        SCOPED_TRACE(cut);
        fs::remove_all(FsPath(installDir));
        fs::create_directory(FsPath(installDir));
        EXPECT_EQ(Extract(Bytes(whole.begin(), whole.begin() + static_cast<long>(cut))), 1);
        EXPECT_EQ(Files(), (std::vector<std::string>{"quarnel.exe", "uninstall.exe"}));
    }
}

TEST_F(ExtractTest, HugeDeclaredSizeFailsCleanly)
{
    Bytes archive;
    AppendRecord(archive, "quarnel.exe", TextBytes("game"));
    AppendRaw(archive, {9, 'h', 'u', 'g', 'e', '.', 'b', 'i', 'n', 0, 0xFF, 0xFF, 0xFF, 0xFF});
    AppendRaw(archive, PatternBytes(1000, 1));
    EXPECT_EQ(Extract(archive), 1);
    EXPECT_EQ(Files(), (std::vector<std::string>{"quarnel.exe"}));
}

TEST_F(ExtractTest, NamesThatWouldLeaveTheInstallDirectoryFailBeforeAnythingIsWritten)
{
    for (const char* pszName : {"..\\evil.txt", "GAMEBIN\\..\\..\\evil.txt", "\\evil.txt", "/evil.txt", "C:evil.txt",
                                "C:\\evil.txt", "GAMEBIN/../../evil.txt", "... \\evil.txt", "", "GAMEBIN\\.\\x"}) {
        SCOPED_TRACE(pszName);
        gStarted.clear();
        fs::remove_all(FsPath(installDir));
        fs::create_directory(FsPath(installDir));
        Bytes archive;
        AppendRecord(archive, "quarnel.exe", TextBytes("game"));
        AppendRecord(archive, pszName, TextBytes("evil"));
        EXPECT_EQ(Extract(archive), 1);
        EXPECT_EQ(Files(), (std::vector<std::string>{"quarnel.exe"}));
        EXPECT_EQ(gStarted.size(), 1u);
        // Nothing appeared beside the install directory either.
        std::vector<std::string> beside = ListFiles(scratch.FsRoot());
        EXPECT_EQ(beside, (std::vector<std::string>{"filesdata.dat", "inst\\quarnel.exe"}));
    }
}

TEST_F(ExtractTest, PathsThatWouldNotFitTheirBuffersFailTheRecordBeforeItStarts)
{
    // A subdirectory path may hold 259 characters: one more fails the record.
    std::string dir(259 - installDir.size(), 'd');
    Bytes archive;
    AppendRecord(archive, "quarnel.exe", TextBytes("fits"));
    AppendRecord(archive, dir + "\\no.txt", TextBytes("one too many"));
    EXPECT_EQ(Extract(archive), 1);
    EXPECT_EQ(gStarted.size(), 1u);
    EXPECT_EQ(Files(), (std::vector<std::string>{"quarnel.exe"}));

    // An output path may hold 511 characters.
    gStarted.clear();
    std::string longDir = installDir + "\\" + std::string(511 - 255 - installDir.size(), 'e');
    std::string archivePath = scratch.Path("long.dat");
    Bytes longArchive;
    AppendRecord(longArchive, std::string(255, 'n'), TextBytes("never"));
    WriteFile(archivePath, longArchive);
    FILE* f = FileOpen(archivePath.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ExtractPayloadArchive(f, longDir.c_str(), RecordStarted, Poll), 1);
    std::fclose(f);
    EXPECT_TRUE(gStarted.empty());
}

TEST_F(ExtractTest, NameCountsOnlyUpToANulButAllItsBytesAreConsumed)
{
    Bytes archive;
    AppendRecord(archive, std::string("short\0hidden", 12), TextBytes("one"));
    std::vector<Record> rest = GameLikeRecords(PAYLOAD_RECORD_COUNT - 1);
    AppendRaw(archive, Archive(rest));
    EXPECT_EQ(Extract(archive), 0);
    EXPECT_EQ(ReadFile(Out("short")), TextBytes("one"));
    EXPECT_EQ(ReadFile(Out("quarnel.exe")), rest[0].data);
}

TEST_F(ExtractTest, StopRequestAfterRecordKLeavesExactlyRecordsOneToK)
{
    std::vector<Record> records = GameLikeRecords();
    for (int k : {1, 4, 60}) {
        SCOPED_TRACE(k);
        fs::remove_all(FsPath(installDir));
        fs::create_directory(FsPath(installDir));
        gStarted.clear();
        nPolls = 0;
        nStopAfter = k;
        EXPECT_EQ(Extract(Archive(records)), 1);
        ASSERT_EQ(gStarted.size(), static_cast<size_t>(k));
        EXPECT_EQ(Files().size(), static_cast<size_t>(k));
        for (int i = 0; i < k; ++i)
            EXPECT_EQ(ReadFile(gStarted[static_cast<size_t>(i)]), records[static_cast<size_t>(i)].data);
    }
}

}  // namespace
