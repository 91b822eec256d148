// bench_firstpage RUNS NAME EXE ARGS TOPCLASS CHILDCLASS [NAME EXE ARGS TOPCLASS CHILDCLASS]...
//
// Times, for each program (EXE started with ARGS, "-": none), the interval from CreateProcess to its first page
// on screen: a visible top-level window of class TOPCLASS that holds a
// visible descendant whose class begins with CHILDCLASS ("-": none needed),
// painted (no window of it has anything left to paint) and handed to the
// display (its thread has come back to its message loop twice). The same
// test for every program. Runs are interleaved, program after program; each
// program is ended (with all it started) before the next starts. Prints the
// median milliseconds as NAME_ms=... lines on stdout; per-run figures go to
// stderr.
#include "bench/bench_support.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

const char* const pszBenchName = "bench_firstpage";

namespace {

struct Program { std::string name, exe, args, topClass, childClass; std::vector<double> ms; };

std::string ClassOf(HWND hWnd)
{
    char sz[256] = "";
    return GetClassNameA(hWnd, sz, sizeof(sz)) ? sz : "";
}

struct Search { DWORD pid; const Program* program; HWND hFound; };

// A visible descendant of the wanted class, and nothing left to paint.
bool PageReady(HWND hTop, const Program& program)
{
    struct Walk { const Program* program; bool bChild, bDirty; } walk = {&program, program.childClass == "-", false};
    EnumChildWindows(hTop, [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& w = *reinterpret_cast<Walk*>(lParam);
        if (!IsWindowVisible(hWnd))
            return TRUE;
        w.bChild |= ClassOf(hWnd).rfind(w.program->childClass, 0) == 0;
        w.bDirty |= GetUpdateRect(hWnd, nullptr, FALSE) != FALSE;
        return TRUE;
    }, reinterpret_cast<LPARAM>(&walk));
    return walk.bChild && !walk.bDirty && !GetUpdateRect(hTop, nullptr, FALSE);
}

HWND FindPage(DWORD pid, const Program& program)
{
    Search search = {pid, &program, nullptr};
    EnumWindows([](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (owner == s.pid && IsWindowVisible(hWnd) && ClassOf(hWnd) == s.program->topClass &&
            PageReady(hWnd, *s.program))
            s.hFound = hWnd;
        return !s.hFound;
    }, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

double TimeFirstPage(const Program& program)
{

    double t0 = NowMs();
    qt::JobRun run = StartInJob(program.exe, program.args == "-" ? "" : program.args);
    HWND hPage = nullptr;
    for (;;) {
        if ((hPage = FindPage(run.pi.dwProcessId, program))) {
            // Painted windows reach the display once their thread is idle.
            DWORD_PTR ignored;
            if (SendMessageTimeoutA(hPage, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) &&
                SendMessageTimeoutA(hPage, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored) &&
                PageReady(hPage, program))
                break;
        }
        if (WaitForSingleObject(run.pi.hProcess, 1) == WAIT_OBJECT_0)
            Fail(program.name + " exited before its first page showed");
        if (NowMs() - t0 > TimeLimitMs(60000))
            Fail(program.name + " showed no first page within its time limit");
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
        Fail("usage: bench_firstpage RUNS NAME EXE ARGS TOPCLASS CHILDCLASS [NAME EXE ARGS TOPCLASS CHILDCLASS]...");
    std::vector<Program> programs;
    for (const auto& g : groups)
        programs.push_back({g[0], g[1], g[2], g[3], g[4], {}});

    RunInterleaved(programs, nRuns, TimeFirstPage);
    return 0;
}
