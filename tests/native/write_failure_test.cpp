// Writes that fail part-way (a full disk), made real with a file-size limit
// in a child process.
#include "payload/payload.h"
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace qt;

namespace {

constexpr rlim_t FILE_LIMIT = 64 * 1024;

// Runs fn in a child whose files cannot grow beyond FILE_LIMIT; returns what
// the child wrote to its report file.
template <class Fn> std::string RunWithFileLimit(const ScratchDir& scratch, Fn fn)
{
    std::string reportPath = scratch.Path("report.txt");
    pid_t pid = fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{FILE_LIMIT, FILE_LIMIT};
        setrlimit(RLIMIT_FSIZE, &limit);
        WriteFile(reportPath, TextBytes(fn()));
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    Bytes report = ReadFile(reportPath);
    return std::string(report.begin(), report.end());
}

TEST(WriteFailure, ShortWritesFailAloneAndRemoveTheirFile)
{
    ScratchDir scratch;
    std::string gzPath = scratch.Path("filesdata.gz"), outPath = scratch.Path("filesdata.dat");
    WriteFile(gzPath, Gzip(PatternBytes(4 * FILE_LIMIT, 11)));
    Bytes archive;
    AppendRecord(archive, "quarnel.exe", TextBytes("small"));
    AppendRecord(archive, "big.dat", PatternBytes(2 * FILE_LIMIT, 5));
    // The inputs are written before the limit applies.
    WriteFile(scratch.Path("a.dat"), archive);
    std::string installDir = scratch.Path("inst");
    fs::create_directory(installDir);
    std::string report = RunWithFileLimit(scratch, [&] {
        MessageRecorder recorder;
        GunzipFile(outPath.c_str(), gzPath.c_str());
        std::string texts;
        for (auto& box : recorder.boxes)
            texts += box.text + "|";
        FILE* f = FileOpen(scratch.Path("a.dat").c_str(), "rb");
        texts += std::to_string(ExtractPayloadArchive(f, installDir.c_str(), nullptr, nullptr));
        std::fclose(f);
        return texts;
    });
    // One gunzip message, then a failed extraction.
    EXPECT_EQ(report, "setup: failed fwrite\n|1");
    EXPECT_FALSE(Exists(outPath));
    EXPECT_EQ(ListFiles(installDir), (std::vector<std::string>{"quarnel.exe"}));
}

}  // namespace
