// bench_payload GZIP SCRATCHDIR RUNS
//
// Times the installer's two unpacking phases on a real payload: GunzipFile
// (GZIP -> SCRATCHDIR\filesdata.dat) and ExtractPayloadArchive (that archive
// -> a fresh SCRATCHDIR\inst_N). Every run is checked and its outputs are
// removed before the next. Prints the median of each phase and of their sum
// in milliseconds as key=value lines on stdout; per-run figures go to stderr.
#include "payload/payload.h"
#include "shell/message.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& text)
{
    std::fprintf(stderr, "bench_payload: %s\n", text.c_str());
    std::exit(1);
}

// Any box means a phase failed; its figures would measure an error path.
std::vector<std::string> shownMessages;

int RecordMessage(HWND, LPCSTR pszText, LPCSTR, UINT)
{
    shownMessages.emplace_back(pszText ? pszText : "");
    return IDOK;
}

void FailOnMessages(const char* pszPhase)
{
    if (shownMessages.empty())
        return;
    std::string text = std::string(pszPhase) + " showed a message box:";
    for (const std::string& message : shownMessages)
        text += "\n  " + message;
    Fail(text);
}

double TickMs(LARGE_INTEGER start, LARGE_INTEGER end)
{
    static LARGE_INTEGER frequency;
    if (frequency.QuadPart == 0)
        QueryPerformanceFrequency(&frequency);
    return static_cast<double>(end.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

// Calls fn(path, isDirectory) for every entry below dir, children before
// their directory.
template <typename Fn> void Walk(const std::string& dir, Fn fn)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        Fail("cannot list " + dir);
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string path = dir + "\\" + name;
        bool bDirectory = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (bDirectory)
            Walk(path, fn);
        fn(path, bDirectory);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

int CountFiles(const std::string& dir)
{
    int nFiles = 0;
    Walk(dir, [&](const std::string&, bool bDirectory) { nFiles += bDirectory ? 0 : 1; });
    return nFiles;
}

void RemoveFile(const std::string& path)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!DeleteFileA(path.c_str()))
        Fail("cannot delete " + path);
}

void RemoveTree(const std::string& dir)
{
    Walk(dir, [](const std::string& path, bool bDirectory) {
        if (!bDirectory)
            RemoveFile(path);
        else if (!RemoveDirectoryA(path.c_str()))
            Fail("cannot remove " + path);
    });
    if (!RemoveDirectoryA(dir.c_str()))
        Fail("cannot remove " + dir);
}

bool FileExists(const std::string& path)
{
    DWORD dwAttributes = GetFileAttributesA(path.c_str());
    return dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4)
        Fail("usage: bench_payload GZIP SCRATCHDIR RUNS");
    const std::string gzPath = argv[1];
    const std::string scratch = argv[2];
    const int nRuns = std::atoi(argv[3]);
    if (nRuns < 1)
        Fail("RUNS must be a positive number");
    if (!FileExists(gzPath))
        Fail("no gzip file " + gzPath);
    DWORD dwScratch = GetFileAttributesA(scratch.c_str());
    if (dwScratch == INVALID_FILE_ATTRIBUTES || !(dwScratch & FILE_ATTRIBUTE_DIRECTORY))
        Fail("no scratch directory " + scratch);
    pfnMessageBox = RecordMessage;

    const std::string archivePath = scratch + "\\filesdata.dat";
    std::vector<double> gunzipMs, extractMs, totalMs;
    for (int nRun = 1; nRun <= nRuns; ++nRun) {
        if (FileExists(archivePath))
            Fail(archivePath + " is left from an earlier run");
        LARGE_INTEGER t0 = Now();
        GunzipFile(archivePath.c_str(), gzPath.c_str());
        LARGE_INTEGER t1 = Now();
        FailOnMessages("GunzipFile");
        if (!FileExists(archivePath))
            Fail("GunzipFile wrote no " + archivePath);

        const std::string installDir = scratch + "\\inst_" + std::to_string(nRun);
        if (!CreateDir(installDir.c_str()))
            Fail("cannot create a fresh " + installDir);
        // Opening and closing the archive belong to the installer's copy step.
        LARGE_INTEGER t2 = Now();
        FILE* fArchive = FileOpen(archivePath.c_str(), "rb");
        if (!fArchive)
            Fail("cannot open " + archivePath);
        BOOL bFailed = ExtractPayloadArchive(fArchive, installDir.c_str(), nullptr, nullptr);
        std::fclose(fArchive);
        LARGE_INTEGER t3 = Now();
        FailOnMessages("ExtractPayloadArchive");
        if (bFailed != 0)
            Fail("ExtractPayloadArchive returned " + std::to_string(bFailed));
        int nFiles = CountFiles(installDir);
        if (nFiles != PAYLOAD_RECORD_COUNT)
            Fail(installDir + " holds " + std::to_string(nFiles) + " files, expected " +
                 std::to_string(PAYLOAD_RECORD_COUNT));

        gunzipMs.push_back(TickMs(t0, t1));
        extractMs.push_back(TickMs(t2, t3));
        totalMs.push_back(gunzipMs.back() + extractMs.back());
        std::fprintf(stderr, "run %d: gunzip %.2f ms, extract %.2f ms\n", nRun, gunzipMs.back(), extractMs.back());

        RemoveTree(installDir);
        RemoveFile(archivePath);
    }

    std::printf("runs=%d\n", nRuns);
    std::printf("gunzip_ms=%.2f\n", Median(gunzipMs));
    std::printf("extract_ms=%.2f\n", Median(extractMs));
    std::printf("total_ms=%.2f\n", Median(totalMs));
    return 0;
}
