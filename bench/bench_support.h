// What the benchmark programs share: failing loudly, the clock, medians and
// programs started in a job (tests/common/windows_support.h).
#pragma once

#include "tests/common/windows_support.h"

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

// A time limit of ms, stretched by QUARNEL_BENCH_TIME_SCALE where an emulator
// runs the timed programs (a 32-bit program where the kernel runs none).
inline double TimeLimitMs(double ms)
{
    const char* pszScale = std::getenv("QUARNEL_BENCH_TIME_SCALE");
    int nScale = pszScale ? std::atoi(pszScale) : 1;
    return ms * (nScale > 1 ? nScale : 1);
}

// Starts exe (args appended when not empty) in its own folder, in a job that
// ends it and all it starts; fails loudly.
inline qt::JobRun StartInJob(const std::string& exe, const std::string& args)
{
    qt::JobRun run;
    if (!qt::StartInJob(run, exe, "\"" + exe + "\"" + (args.empty() ? "" : " " + args)))
        Fail("cannot start " + exe);
    return run;
}

// Ends the run and lets its windows leave the display.
inline void EndRun(qt::JobRun& run)
{
    qt::EndJob(run);
    Sleep(300);
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
