// bench_copy SETUP_EXE INSTALLDIR TEMPDIR RUNS
//
// Times the installer's whole copy run: the copy page from its opening to its
// end (ShowCopyPage), which stages the payload resource of SETUP_EXE to
// TEMPDIR\filesdata.gz, decompresses it to filesdata.dat, extracts the game's
// files under INSTALLDIR with the progress bar and deletes both temporary
// files. SETUP_EXE is loaded as a data file in place of the running
// installer's image, so the page's template and payload are the real ones.
// TEMPDIR must exist and be empty; INSTALLDIR is made afresh before each run,
// outside the timed interval, and the last run's files are left in it for the
// caller to compare with the game tree. Every run is checked.
//
// Memory is measured around the first run, which is the installer's own
// situation: the baseline is taken after a warm-up that puts in place what the
// earlier pages leave behind (common controls, the page artwork, a page of the
// same template shown and destroyed), and the peak right after the run.
// Staging writes the payload straight from the mapped SETUP_EXE, so the run
// brings its pages (file-backed, the payload's size) into the working set
// besides its own allocations; the payload's size is printed with the rest.
//
// Prints the median run time in milliseconds and the memory figures as
// key=value lines on stdout; per-run figures go to stderr.
#include "payload/copy_page.h"
#include "bench/bench_support.h"
#include "payload/payload.h"
#include "resources/resource.h"
#include "shell/message.h"
#include "shell/shell.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

const char* const pszBenchName = "bench_copy";

namespace {

// Any box means the run took an error path; its time would measure that.
int WINAPI FailOnMessage(HWND, LPCSTR pszText, LPCSTR, UINT)
{
    Fail(std::string("the copy page showed a message box:\n  ") + (pszText ? pszText : ""));
}

// Wine fills the process counters from the Unix process's /proc/self/status:
// WorkingSetSize is VmRSS and PeakWorkingSetSize VmHWM (the kernel's
// high-water mark of the resident set, file-backed pages such as mapped
// images included); PagefileUsage is the anonymous part of the resident set
// (RssAnon: heaps, stacks, private allocations). PeakPagefileUsage only
// repeats PagefileUsage and PrivateUsage stays 0, so the working set's is the
// one peak there is.
PROCESS_MEMORY_COUNTERS Counters()
{
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof(pmc);
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof(pmc)))
        Fail("GetProcessMemoryInfo failed");
    return pmc;
}

INT_PTR CALLBACK WarmUpDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_PAINT) {
        PaintPageBitmap(hDlg, uMsg, wParam, lParam);
        return TRUE;
    }
    return uMsg == WM_INITDIALOG;
}

// What the installer holds when its copy page opens: the common controls
// (registered as setup.exe is loaded), the page artwork loaded by the first
// page, and the window classes, fonts and painting state of a page with this
// template, shown once.
void WarmUp()
{
    hPageBitmap = LoadBitmapA(hAppInstance, "IDB_KORVEN");
    if (!hPageBitmap || !GetObjectA(hPageBitmap, sizeof(BITMAP), &bmPageBitmap))
        Fail("no page artwork IDB_KORVEN in the setup program");
    HWND hPage = CreateDialogParamA(hAppInstance, "IDD_COPY", nullptr, WarmUpDlgProc, 0);
    if (!hPage)
        Fail("cannot create the page IDD_COPY");
    UpdateWindow(hPage);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    DestroyWindow(hPage);
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

// Files under dir, and the size of the largest.
std::pair<long, std::uintmax_t> CountFiles(const std::string& dir)
{
    long nFiles = 0;
    std::uintmax_t cbLargest = 0;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir))
        if (e.is_regular_file()) {
            ++nFiles;
            cbLargest = std::max(cbLargest, e.file_size());
        }
    return {nFiles, cbLargest};
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5)
        Fail("usage: bench_copy SETUP_EXE INSTALLDIR TEMPDIR RUNS");
    const std::string setupExe = argv[1];
    const std::string installDir = argv[2];
    const std::string tempDir = argv[3];
    const int nRuns = std::atoi(argv[4]);
    std::error_code ec;
    if (nRuns < 1)
        Fail("RUNS must be a positive number");
    if (!fs::is_directory(tempDir, ec) || !fs::is_empty(tempDir, ec))
        Fail("no empty temporary directory " + tempDir);
    if (!StrCopy(szInstallDir, sizeof(szInstallDir), installDir.c_str()))
        Fail("install directory too long: " + installDir);
    // GetTempPathA takes TMP first, then TEMP.
    if (!SetEnvironmentVariableA("TMP", tempDir.c_str()) || !SetEnvironmentVariableA("TEMP", tempDir.c_str()))
        Fail("cannot set TMP and TEMP");
    pfnMessageBox = FailOnMessage;

    hAppInstance = qt::LoadSetupExe(setupExe);
    if (!hAppInstance)
        Fail("cannot load " + setupExe);
    HRSRC hPayload = FindResourceA(hAppInstance, MAKEINTRESOURCEA(IDR_PAYLOAD), MAKEINTRESOURCEA(10));
    DWORD cbPayload = hPayload ? SizeofResource(hAppInstance, hPayload) : 0;
    if (cbPayload == 0)
        Fail("no payload resource in " + setupExe);

    WarmUp();
    const PROCESS_MEMORY_COUNTERS baseline = Counters();
    PROCESS_MEMORY_COUNTERS afterFirst = {};
    std::uintmax_t cbLargest = 0;

    std::vector<double> copyMs;
    for (int nRun = 1; nRun <= nRuns; ++nRun) {
        if (fs::remove_all(installDir, ec) == static_cast<std::uintmax_t>(-1) || !fs::create_directory(installDir, ec))
            Fail("cannot make a fresh " + installDir + ": " + ec.message());

        double t0 = NowMs();
        INT_PTR nResult = ShowCopyPage(nullptr);
        double t1 = NowMs();
        if (nRun == 1)
            afterFirst = Counters();

        if (nResult != 0)
            Fail("run " + std::to_string(nRun) + ": ShowCopyPage returned " + std::to_string(nResult));
        if (lstrcmpiA(szTempDir, tempDir.c_str()) != 0)
            Fail(std::string("the page staged into ") + szTempDir + ", not " + tempDir);
        if (!fs::is_empty(tempDir, ec))
            Fail("run " + std::to_string(nRun) + " left files in " + tempDir);
        auto [nFiles, cbRunLargest] = CountFiles(installDir);
        if (nFiles != PAYLOAD_RECORD_COUNT)
            Fail(installDir + " holds " + std::to_string(nFiles) + " files, expected " +
                 std::to_string(PAYLOAD_RECORD_COUNT));
        cbLargest = cbRunLargest;

        copyMs.push_back(t1 - t0);
        std::fprintf(stderr, "run %d: copy page %.2f ms\n", nRun, copyMs.back());
    }
    const PROCESS_MEMORY_COUNTERS afterLast = Counters();

    auto kib = [](SIZE_T cb) { return static_cast<unsigned long long>(cb / 1024); };
    std::printf("runs=%d\n", nRuns);
    std::printf("copy_ms=%.2f\n", Median(copyMs));
    std::printf("payload_kib=%llu\n", kib(cbPayload));
    std::printf("largest_record_kib=%llu\n", kib(static_cast<SIZE_T>(cbLargest)));
    std::printf("baseline_ws_kib=%llu\n", kib(baseline.WorkingSetSize));
    // The high-water mark before the first run: when the run's peak is no
    // higher, the warm-up set it and the run's own peak lies below.
    std::printf("baseline_peak_ws_kib=%llu\n", kib(baseline.PeakWorkingSetSize));
    std::printf("peak_ws_kib=%llu\n", kib(afterFirst.PeakWorkingSetSize));
    // Anonymous memory before the first run and after the last: what the
    // runs keep once they are over.
    std::printf("anon_baseline_kib=%llu\n", kib(baseline.PagefileUsage));
    std::printf("anon_after_kib=%llu\n", kib(afterLast.PagefileUsage));
    return 0;
}
