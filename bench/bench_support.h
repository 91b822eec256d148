// What the benchmark programs share: failing loudly, the clock and medians.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

// The program's name in its failure messages.
extern const char* const pszBenchName;

[[noreturn]] inline void Fail(const std::string& text)
{
    std::fprintf(stderr, "%s: %s\n", pszBenchName, text.c_str());
    std::exit(1);
}

inline double NowMs()
{
    LARGE_INTEGER t, frequency;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// A program started in a job that ends it, and all it starts, on EndJob.
struct JobRun { HANDLE hJob; PROCESS_INFORMATION pi; };

// Starts exe (args appended when not empty) in its own folder; fails loudly.
inline JobRun StartInJob(const std::string& exe, const std::string& args)
{
    JobRun run = {CreateJobObjectA(nullptr, nullptr), {}};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    std::string dir = exe.substr(0, exe.find_last_of('\\'));
    std::string commandLine = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    if (!run.hJob || !SetInformationJobObject(run.hJob, JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
        Fail("no job object");
    if (!CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, dir.c_str(),
                        &si, &run.pi) ||
        !AssignProcessToJobObject(run.hJob, run.pi.hProcess) || ResumeThread(run.pi.hThread) == static_cast<DWORD>(-1))
        Fail("cannot start " + exe);
    return run;
}

inline void EndJob(JobRun& run)
{
    TerminateJobObject(run.hJob, 0);
    WaitForSingleObject(run.pi.hProcess, 10000);
    CloseHandle(run.pi.hThread);
    CloseHandle(run.pi.hProcess);
    CloseHandle(run.hJob);
    Sleep(300);  // the windows of the ended process leave the display
}

// Times each of items (each with a name and its ms figures) nRuns times,
// interleaved, after one untimed run of each (file caches and Wine's own
// first-use costs); per-run figures go to stderr, the medians to stdout as
// NAME_ms=... lines.
template <class Item, class Time> void RunInterleaved(std::vector<Item>& items, int nRuns, Time time)
{
    for (Item& item : items)
        time(item);
    for (int nRun = 1; nRun <= nRuns; ++nRun)
        for (Item& item : items) {
            item.ms.push_back(time(item));
            std::fprintf(stderr, "run %d: %s %.1f ms\n", nRun, item.name.c_str(), item.ms.back());
        }
    for (const Item& item : items)
        std::printf("%s_ms=%.1f\n", item.name.c_str(), Median(item.ms));
}
