// bench_install RUNS NAME EXE DIR STOP CLICKS [NAME EXE DIR STOP CLICKS]...
//
// Times, for each installer EXE, a whole interactive installation driven as
// a user would with the default choices: from CreateProcess until a window
// of it shows the text STOP (enabled). Whenever an enabled button whose text
// (without '&') is one of CLICKS (comma-separated) shows, it is clicked, once
// per button and text. DIR, the installation's folder, is removed before
// every run so that each installs afresh. Runs are interleaved, installer
// after installer; each is ended (with all it started) before the next
// starts. Prints the median milliseconds as NAME_ms=... lines on stdout;
// per-run figures, with the time of each click, go to stderr.
#include "bench/bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

const char* const pszBenchName = "bench_install";

namespace {

struct Installer { std::string name, exe, dir, stop; std::vector<std::string> clicks; std::vector<double> ms; };

std::string TextOf(HWND hWnd)
{
    char sz[256] = "";
    GetWindowTextA(hWnd, sz, sizeof(sz));
    std::string text;
    for (const char* p = sz; *p; ++p)
        if (*p != '&')
            text += *p;
    return text;
}

// One look at the installer's windows: clicks what is due; true once STOP shows.
struct Look {
    DWORD pid;
    const Installer* installer;
    std::set<std::pair<HWND, std::string>>* clicked;
    double t0;
    bool bDone;
};

BOOL CALLBACK LookAtChild(HWND hWnd, LPARAM lParam)
{
    auto& look = *reinterpret_cast<Look*>(lParam);
    if (!IsWindowVisible(hWnd) || !IsWindowEnabled(hWnd))
        return TRUE;
    std::string text = TextOf(hWnd);
    if (text == look.installer->stop) {
        look.bDone = true;
        return FALSE;
    }
    for (const std::string& click : look.installer->clicks)
        if (text == click && look.clicked->insert({hWnd, text}).second &&
            std::fprintf(stderr, "  %.1f ms: %s\n", NowMs() - look.t0, text.c_str()) > 0)
            PostMessageA(GetParent(hWnd), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hWnd), BN_CLICKED),
                         reinterpret_cast<LPARAM>(hWnd));
    return TRUE;
}

BOOL CALLBACK LookAtTop(HWND hWnd, LPARAM lParam)
{
    auto& look = *reinterpret_cast<Look*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hWnd, &owner);
    if (owner == look.pid && IsWindowVisible(hWnd))
        EnumChildWindows(hWnd, LookAtChild, lParam);
    return !look.bDone;
}

double TimeInstall(const Installer& installer)
{
    qt::RemoveTree(installer.dir);

    std::set<std::pair<HWND, std::string>> clicked;
    double t0 = NowMs();
    qt::JobRun run = StartInJob(installer.exe, "");
    for (Look look = {run.pi.dwProcessId, &installer, &clicked, t0, false}; !look.bDone;) {
        EnumWindows(LookAtTop, reinterpret_cast<LPARAM>(&look));
        if (!look.bDone && WaitForSingleObject(run.pi.hProcess, 10) == WAIT_OBJECT_0)
            Fail(installer.name + " exited before \"" + installer.stop + "\" showed");
        if (NowMs() - t0 > TimeLimitMs(120000))
            Fail(installer.name + " did not show \"" + installer.stop + "\" within its time limit");
    }
    double ms = NowMs() - t0;

    EndRun(run);
    return ms;
}

}  // namespace

int main(int argc, char** argv)
{
    auto groups = qt::ArgumentGroups(argc, argv, 2, 5);
    int nRuns = groups.empty() ? 0 : std::atoi(argv[1]);
    if (nRuns < 1)
        Fail("usage: bench_install RUNS NAME EXE DIR STOP CLICKS [NAME EXE DIR STOP CLICKS]...");
    std::vector<Installer> installers;
    for (const auto& g : groups) {
        Installer installer = {g[0], g[1], g[2], g[3], {}, {}};
        for (size_t nStart = 0, nComma; nStart <= g[4].size(); nStart = nComma + 1) {
            nComma = g[4].find(',', nStart);
            if (nComma == std::string::npos)
                nComma = g[4].size();
            installer.clicks.push_back(g[4].substr(nStart, nComma - nStart));
        }
        installers.push_back(installer);
    }

    RunInterleaved(installers, nRuns, TimeInstall);
    return 0;
}
