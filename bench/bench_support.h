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
