// bench_payload GZIP SCRATCHDIR RUNS
//
// Times the installer's two unpacking phases on a real payload: GunzipFile
// (GZIP -> SCRATCHDIR\filesdata.dat) and ExtractPayloadArchive (that archive
// -> a fresh SCRATCHDIR\inst_N). Every run is checked and its outputs are
// removed before the next. Prints the median of each phase and of their sum
// in milliseconds as key=value lines on stdout; per-run figures go to stderr.
#include "bench/bench_support.h"
#include "payload/payload.h"
#include "shell/message.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

const char* const pszBenchName = "bench_payload";

namespace {

// Any box means a phase failed; its figures would measure an error path.
const char* pszPhase = "";

int WINAPI FailOnMessage(HWND, LPCSTR pszText, LPCSTR, UINT)
{
    Fail(std::string(pszPhase) + " showed a message box:\n  " + (pszText ? pszText : ""));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        Fail("usage: bench_payload GZIP SCRATCHDIR RUNS");
    const std::string gzPath = argv[1];
    const std::string scratch = argv[2];
    const int nRuns = std::atoi(argv[3]);
    std::error_code ec;
    if (nRuns < 1)
        Fail("RUNS must be a positive number");
    if (!fs::is_regular_file(gzPath, ec))
        Fail("no gzip file " + gzPath);
    if (!fs::is_directory(scratch, ec))
        Fail("no scratch directory " + scratch);
    pfnMessageBox = FailOnMessage;

    const std::string archivePath = scratch + "\\filesdata.dat";
    std::vector<double> gunzipMs, extractMs, totalMs;
    for (int nRun = 1; nRun <= nRuns; ++nRun) {
        if (fs::exists(archivePath, ec))
            Fail(archivePath + " is left from an earlier run");
        pszPhase = "GunzipFile";
        double t0 = NowMs();
        GunzipFile(archivePath.c_str(), gzPath.c_str());
        double t1 = NowMs();
        if (!fs::is_regular_file(archivePath, ec))
            Fail("GunzipFile wrote no " + archivePath);

        const std::string installDir = scratch + "\\inst_" + std::to_string(nRun);
        if (!CreateDir(installDir.c_str()))
            Fail("cannot create a fresh " + installDir);
        // Opening and closing the archive belong to the installer's copy step.
        pszPhase = "ExtractPayloadArchive";
        double t2 = NowMs();
        FILE* fArchive = FileOpen(archivePath.c_str(), "rb");
        if (!fArchive)
            Fail("cannot open " + archivePath);
        BOOL bFailed = ExtractPayloadArchive(fArchive, installDir.c_str(), nullptr, nullptr);
        std::fclose(fArchive);
        double t3 = NowMs();
        if (bFailed != 0)
            Fail(std::string("ExtractPayloadArchive failed: ") + ExtractStopText(eExtractStop));
        auto nFiles = std::count_if(fs::recursive_directory_iterator(installDir), fs::recursive_directory_iterator(),
                                    [](const fs::directory_entry& e) { return e.is_regular_file(); });
        if (nFiles != PAYLOAD_RECORD_COUNT)
            Fail(installDir + " holds " + std::to_string(nFiles) + " files, expected " +
                 std::to_string(PAYLOAD_RECORD_COUNT));

        gunzipMs.push_back(t1 - t0);
        extractMs.push_back(t3 - t2);
        totalMs.push_back(gunzipMs.back() + extractMs.back());
        std::fprintf(stderr, "run %d: gunzip %.2f ms, extract %.2f ms\n", nRun, gunzipMs.back(), extractMs.back());

        if (fs::remove_all(installDir, ec) == static_cast<std::uintmax_t>(-1) || !fs::remove(archivePath, ec))
            Fail("cannot remove " + installDir + " or " + archivePath + ": " + ec.message());
    }

    std::printf("runs=%d\n", nRuns);
    std::printf("gunzip_ms=%.2f\n", Median(gunzipMs));
    std::printf("extract_ms=%.2f\n", Median(extractMs));
    std::printf("total_ms=%.2f\n", Median(totalMs));
    return 0;
}
