// bench_window [full]: an empty Win32 program that shows one window and
// waits: the time until its window is on screen is the least any windowed
// program takes under Wine, the yardstick for the setup's first page. With
// "full" the window is a borderless popup over the whole screen, as the
// setup's main window is.
#include <windows.h>

static LRESULT CALLBACK BenchWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcA(hWnd, uMsg, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR pszCmdLine, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = BenchWndProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = "BenchWindow";
    if (!RegisterClassA(&wc))
        return 1;
    bool bFull = lstrcmpA(pszCmdLine, "full") == 0;
    HWND hWnd = bFull ? CreateWindowExA(0, "BenchWindow", "bench_window", WS_POPUP | WS_VISIBLE, 0, 0,
                                        GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr,
                                        hInstance, nullptr)
                      : CreateWindowExA(0, "BenchWindow", "bench_window", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        CW_USEDEFAULT, CW_USEDEFAULT, 640, 480, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    UpdateWindow(hWnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
