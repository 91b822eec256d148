// Extraction of payload archives, run natively under the sanitizers and on
// Windows under wine64.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

using namespace qt;

namespace {

std::vector<std::string> gStarted;
int nPolls;

void RecordStarted(const char* pszPath) { gStarted.push_back(pszPath); }
// Counts the polls for Cancel, never asking to stop.
BOOL Poll() { ++nPolls; return FALSE; }

struct Record { std::string name; Bytes data; };

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
        nPolls = 0;
        fs::remove_all(FsPath(installDir));
        fs::create_directory(FsPath(installDir));
    }

    // Runs the extraction over the archive bytes; leaves the archive's read
    // position in nConsumed.
    BOOL Extract(const Bytes& archive)
    {
        WriteFile(scratch.Path("filesdata.dat"), archive);
        FILE* f = FileOpen(scratch.Path("filesdata.dat").c_str(), "rb");
        BOOL result = ExtractPayloadArchive(f, installDir.c_str(), RecordStarted, Poll);
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
    // A name counts only up to a NUL, but all its bytes are consumed.
    records[0].name = std::string("quarnel.exe\0hidden", 18);
    Bytes archive = Archive(records);
    EXPECT_EQ(Extract(archive), 0);
    EXPECT_EQ(eExtractStop, ExtractStop::None);

    ASSERT_EQ(gStarted.size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    for (size_t i = 0; i < gStarted.size(); ++i) {
        EXPECT_EQ(gStarted[i], installDir + "\\" + records[i].name.c_str());
        EXPECT_EQ(ReadFile(gStarted[i]), records[i].data) << records[i].name;
    }
    EXPECT_EQ(nPolls, PAYLOAD_RECORD_COUNT);
    EXPECT_EQ(Files().size(), static_cast<size_t>(PAYLOAD_RECORD_COUNT));
    EXPECT_EQ(ListFiles(FsPath(installDir), true), (std::vector<std::string>{"GAMEBIN", "GAMEBIN\\sound"}));
    // The 80th record is never read.
    EXPECT_EQ(static_cast<size_t>(nConsumed), archive.size() - Archive({records.back()}).size());
}

// Trees shaped unlike the sample game: one-character folders, nested six
// deep, files beside folders of the same first letter. (A stop asked for
// between records is the copy page's Cancel, checked there.)
TEST_F(ExtractTest, WritesAnyTreeShape)
{
    std::vector<Record> records;
    for (size_t i = 0; i < PAYLOAD_RECORD_COUNT; ++i) {
        std::string name;
        for (size_t depth = 0; depth < i % 7; ++depth)
            name += std::string(1, static_cast<char>('a' + (i + depth) % 3)) + "\\";
        records.push_back({name + "f" + std::to_string(i), PatternBytes(i * 11, static_cast<uint32_t>(i))});
    }
    EXPECT_EQ(Extract(Archive(records)), 0);
    for (const Record& r : records)
        EXPECT_EQ(ReadFile(installDir + "\\" + r.name), r.data) << r.name;
    EXPECT_EQ(Files().size(), records.size());
}

TEST_F(ExtractTest, ShortArchiveFailsKeepingOnlyTheWholeRecordsBeforeTheFault)
{
    std::vector<Record> records = Records(3);
    Bytes whole = Archive(records);
    size_t last = whole.size() - Archive({records[2]}).size(), cbLastName = records[2].name.size();
    Bytes huge = Archive(Records(2));  // then a record declaring 4 GiB - 1, with 1000 bytes
    huge.insert(huge.end(), {4, 'h', 'u', 'g', 'e', 0xFF, 0xFF, 0xFF, 0xFF});
    huge.resize(huge.size() + 1000, 'x');
    auto cut = [&](size_t n) { return Bytes(whole.begin(), whole.begin() + static_cast<long>(n)); };
    // Ending at a record boundary, inside the name, the size field and the data.
    const std::pair<Bytes, ExtractStop> cases[] = {{whole, ExtractStop::MissingRecord},
                                                   {cut(last + 4), ExtractStop::CutInName},
                                                   {cut(last + 1 + cbLastName + 2), ExtractStop::CutInSize},
                                                   {cut(whole.size() - 1), ExtractStop::CutInData},
                                                   {huge, ExtractStop::CutInData}};
    for (const auto& [archive, stop] : cases) {
        SCOPED_TRACE(ExtractStopText(stop));
        Fresh();
        EXPECT_EQ(Extract(archive), 1);
        EXPECT_EQ(eExtractStop, stop);
        EXPECT_EQ(Files(), (archive == whole ? std::vector<std::string>{"quarnel.exe", "readme.rtf", "uninstall.exe"}
                                             : std::vector<std::string>{"quarnel.exe", "uninstall.exe"}));
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
        EXPECT_EQ(Extract(Archive({{"quarnel.exe", TextBytes("game")}, {name, TextBytes("evil")}})), 1);
        EXPECT_EQ(eExtractStop, name.find("no.txt") != std::string::npos ? ExtractStop::PathTooLong
                                                                          : ExtractStop::NameRefused);
        EXPECT_EQ(gStarted.size(), 1u);
        // Nothing appeared in or beside the install directory.
        EXPECT_EQ(ListFiles(scratch.FsRoot()), (std::vector<std::string>{"filesdata.dat", "inst\\quarnel.exe"}));
    }
}

}  // namespace
