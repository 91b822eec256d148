// bench_backdrop RUNS
//
// Times CreateBackdrop (capture, device-independent copy, dimming, write-back
// and title) on screens of 1024x768, 1920x1080 and 3840x2160 pixels at more
// than 8 bits per pixel, and the dimming loop alone on a buffer of each size.
// The display must be at least 3840x2160: the smaller sizes capture the
// top-left part of it, the same work as a whole screen of that size. Each
// run's backdrop is released before the next. Prints the medians in
// milliseconds as key=value lines on stdout; per-run figures go to stderr.
#include "bench/bench_support.h"
#include "setup/setup.h"
#include "shell/backdrop_rules.h"
#include "shell/wizard_state.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

const char* const pszBenchName = "bench_backdrop";

namespace {

struct Size { int nWidth, nHeight; };
constexpr Size kSizes[] = {{1024, 768}, {1920, 1080}, {3840, 2160}};

void ReleaseBackdrop()
{
    DeleteObject(hBackdrop);
    VirtualFree(pBackdropBits, 0, MEM_RELEASE);
    GlobalFree(hBackdropInfo);
    hBackdrop = nullptr;
    pBackdropBits = nullptr;
    hBackdropInfo = nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    int nRuns = argc == 2 ? std::atoi(argv[1]) : 0;
    if (nRuns < 1)
        Fail("usage: bench_backdrop RUNS");
    if (GetSystemMetrics(SM_CXSCREEN) < 3840 || GetSystemMetrics(SM_CYSCREEN) < 2160)
        Fail("the display must be at least 3840x2160");

    // As the setup's own window is when its backdrop is made: 0 x 0.
    HWND hWnd = CreateWindowExA(0, "STATIC", "", WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
    hTitleFont = CreateFontA(72, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS,
                             DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial Black");
    if (!hWnd || !hTitleFont)
        Fail("no window or title font");
    nScreenBits = 32;

    for (const Size& size : kSizes) {
        nScreenWidth = size.nWidth;
        nScreenHeight = size.nHeight;
        std::vector<double> create, dim;
        for (int i = 0; i < nRuns; ++i) {
            double t0 = NowMs();
            hBackdrop = CreateBackdrop(hWnd);
            double t1 = NowMs();
            if (!hBackdrop)
                Fail("CreateBackdrop failed at " + std::to_string(size.nWidth) + "x" + std::to_string(size.nHeight));
            create.push_back(t1 - t0);

            // The loop alone, on the buffer just made (already dimmed: the
            // same stores again).
            auto* pInfo = static_cast<BITMAPINFOHEADER*>(GlobalLock(hBackdropInfo));
            t0 = NowMs();
            DimBackdropPixels(pBackdropBits, pInfo->biSizeImage, pInfo->biWidth, pInfo->biHeight);
            t1 = NowMs();
            GlobalUnlock(hBackdropInfo);
            dim.push_back(t1 - t0);
            ReleaseBackdrop();
            std::fprintf(stderr, "%dx%d run %d: create %.2f ms, dim %.2f ms\n", size.nWidth, size.nHeight, i + 1,
                         create.back(), dim.back());
        }
        std::printf("create_ms_%dx%d=%.2f\n", size.nWidth, size.nHeight, Median(create));
        std::printf("dim_ms_%dx%d=%.2f\n", size.nWidth, size.nHeight, Median(dim));
    }
    return 0;
}
