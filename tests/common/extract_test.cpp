// Extraction of payload archives, run natively under the sanitizers and on
// Windows under wine64.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

using namespace qt;

namespace {

std::vector<std::string> gStarted;
int nPolls;
int nStopAfter;  // poll asks to stop at this many written records; 0 never

void RecordStarted(const char* pszPath) { gStarted.push_back(pszPath); }
BOOL Poll() { return ++nPolls == nStopAfter; }

struct Record {
    std::string name;
    Bytes data;
};

// Records shaped like the game's: three in the install directory, the rest
// one or two levels deep.
std::vector<Record> Records(size_t nCount = PAYLOAD_RECORD_COUNT)
{
    const char* const apszTop[] = {"quarnel.exe", "uninstall.exe", "readme.rtf"};
    std::vector<Record> records;
    for (size_t i = 0; i < nCount; ++i)
        records.push_back({i < 3 ? apszTop[i] : (i < 58 ? "GAMEBIN\\d" : "GAMEBIN\\sound\\s") + std::to_string(i),
                           PatternBytes(100 + i * 37, static_cast<uint32_t>(i))});
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
    void SetUp() override { Fresh(); }
    // An empty install directory and no calls recorded.
    void Fresh()
    {
        gStarted.clear();
        nPolls = nStopAfter = 0;
        fs::remove_all(FsPath(installDir));
        fs::create_directory(FsPath(installDir));
    }

    // Runs the extraction over the archive bytes; leaves the archive's read
    // position in nConsumed.
    BOOL Extract(const Bytes& archive, const std::string& dir = "")
    {
        WriteFile(scratch.Path("filesdata.dat"), archive);
        FILE* f = FileOpen(scratch.Path("filesdata.dat").c_str(), "rb");
        BOOL result = ExtractPayloadArchive(f, (dir.empty() ? installDir : dir).c_str(), RecordStarted, Poll);
        nConsumed = std::ftell(f);
        std::fclose(f);
        EXPECT_EQ(result, bCopyAborted);
        return result;
    }
    std::vector<std::string> Files() const { return ListFiles(FsPath(installDir)); }

    ScratchDir scratch;
    std::string installDir = scratch.Path("inst");
    long nConsumed = 0;
};

TEST_F(ExtractTest, WritesEveryRecordWithItsDirectoriesAndStopsAfterThe79th)
{
    std::vector<Record> records = Records(PAYLOAD_RECORD_COUNT + 1);
    records[40].data.clear();  // an empty file is written as such
    Bytes archive = Archive(records);
    EXPECT_EQ(Extract(archive), 0);

    ASSERT_EQ(gStarted.size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    for (size_t i = 0; i < gStarted.size(); ++i) {
        EXPECT_EQ(gStarted[i], installDir + "\\" + records[i].name);
        EXPECT_EQ(ReadFile(gStarted[i]), records[i].data) << records[i].name;
    }
    EXPECT_EQ(nPolls, PAYLOAD_RECORD_COUNT);
    EXPECT_EQ(Files().size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    EXPECT_EQ(ListFiles(FsPath(installDir), true), (std::vector<std::string>{"GAMEBIN", "GAMEBIN\\sound"}));
    // The 80th record is never read.
    EXPECT_EQ(static_cast<size_t>(nConsumed), archive.size() - Archive({records.back()}).size());
}

TEST_F(ExtractTest, ShortArchiveFailsKeepingOnlyTheWholeRecordsBeforeTheFault)
{
    std::vector<Record> records = Records(3);
    Bytes whole = Archive(records);
    size_t last = whole.size() - Archive({records[2]}).size(), cbLastName = records[2].name.size();
    Bytes huge = Archive(Records(2));  // then a record declaring 4 GiB - 1
    huge.insert(huge.end(), {4, 'h', 'u', 'g', 'e', 0xFF, 0xFF, 0xFF, 0xFF});
    Bytes filler = PatternBytes(1000, 1);
    huge.insert(huge.end(), filler.begin(), filler.end());
    auto cut = [&](size_t n) { return Bytes(whole.begin(), whole.begin() + static_cast<long>(n)); };
    // Ending at a record boundary, inside the name, the size field and the data.
    for (const Bytes& archive : {whole, cut(last + 4), cut(last + 1 + cbLastName + 2), cut(whole.size() - 1), huge}) {
        SCOPED_TRACE(archive.size());
        Fresh();
        EXPECT_EQ(Extract(archive), 1);
        std::vector<std::string> expected = {"quarnel.exe", "uninstall.exe"};
        if (archive == whole)
            expected.insert(expected.begin() + 1, "readme.rtf");
        EXPECT_EQ(Files(), expected);
    }
}

TEST_F(ExtractTest, NamesThatEscapeOrOverflowFailBeforeAnythingIsWritten)
{
    // The last name's subdirectory path is one character over 259.
    for (const std::string& name : std::vector<std::string>{
             "..\\evil.txt", "GAMEBIN\\..\\..\\evil.txt", "\\evil.txt", "/evil.txt", "C:evil.txt", "C:\\evil.txt",
             "GAMEBIN/../../evil.txt", "... \\evil.txt", "", "GAMEBIN\\.\\x",
             std::string(259 - installDir.size(), 'd') + "\\no.txt"}) {
        SCOPED_TRACE(name);
        Fresh();
        Bytes archive;
        AppendRecord(archive, "quarnel.exe", TextBytes("game"));
        AppendRecord(archive, name, TextBytes("evil"));
        EXPECT_EQ(Extract(archive), 1);
        EXPECT_EQ(gStarted.size(), 1u);
        // Nothing appeared in or beside the install directory.
        EXPECT_EQ(ListFiles(scratch.FsRoot()), (std::vector<std::string>{"filesdata.dat", "inst\\quarnel.exe"}));
    }
    // An output path may hold 511 characters.
    Fresh();
    Bytes archive;
    AppendRecord(archive, std::string(255, 'n'), TextBytes("never"));
    EXPECT_EQ(Extract(archive, installDir + "\\" + std::string(511 - 255 - installDir.size(), 'e')), 1);
    EXPECT_TRUE(gStarted.empty());
}

TEST_F(ExtractTest, NameCountsOnlyUpToANulButAllItsBytesAreConsumed)
{
    std::vector<Record> records = Records(PAYLOAD_RECORD_COUNT);
    records[0] = {std::string("short\0hidden", 12), TextBytes("one")};
    EXPECT_EQ(Extract(Archive(records)), 0);
    EXPECT_EQ(ReadFile(installDir + "\\short"), TextBytes("one"));
    EXPECT_EQ(ReadFile(installDir + "\\uninstall.exe"), records[1].data);
}

TEST_F(ExtractTest, StopRequestAfterRecordKLeavesExactlyRecordsOneToK)
{
    std::vector<Record> records = Records();
    for (int k : {1, 4, 60}) {
        SCOPED_TRACE(k);
        Fresh();
        nStopAfter = k;
        EXPECT_EQ(Extract(Archive(records)), 1);
        ASSERT_EQ(gStarted.size(), static_cast<size_t>(k));
        EXPECT_EQ(Files().size(), static_cast<size_t>(k));
        for (size_t i = 0; i < gStarted.size(); ++i)
            EXPECT_EQ(ReadFile(gStarted[i]), records[i].data);
    }
}

}  // namespace
