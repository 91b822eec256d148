// Stand-in for the game's program in the sample build. It gives the
// installer's shortcuts and its "start the game" step a real window to open;
// the publisher's quarnel.exe replaces it in a release build.

#include <windows.h>

namespace {

const char kClassName[] = "QuarnelSampleWindow";
const char kTitle[] = "Quarnel";
const int kClientWidth = 640;
const int kClientHeight = 480;

COLORREF Blend(COLORREF a, COLORREF b, int num, int den)
{
    auto mix = [&](int ca, int cb) { return static_cast<BYTE>(ca + (cb - ca) * num / den); };
    return RGB(mix(GetRValue(a), GetRValue(b)), mix(GetGValue(a), GetGValue(b)), mix(GetBValue(a), GetBValue(b)));
}

void FillBand(HDC hdc, const RECT& rc, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    FillRect(hdc, &rc, brush);
    DeleteObject(brush);
}

void DrawLine(HDC hdc, const char* text, RECT rc, int height, int weight, COLORREF color)
{
    HFONT font = CreateFontA(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
    HGDIOBJ old = SelectObject(hdc, font);
    SetTextColor(hdc, color);
    DrawTextA(hdc, text, -1, &rc, DT_CENTER | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    SelectObject(hdc, old);
    DeleteObject(font);
}

// Drawn off screen and copied in one go, so resizing does not flicker.
void Paint(HWND hwnd)
{
    PAINTSTRUCT ps;
    HDC hdcWindow = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    const int w = client.right, h = client.bottom;
    HDC hdc = CreateCompatibleDC(hdcWindow);
    HBITMAP bitmap = CreateCompatibleBitmap(hdcWindow, w > 0 ? w : 1, h > 0 ? h : 1);
    HGDIOBJ oldBitmap = SelectObject(hdc, bitmap);

    const int kBands = 48;
    for (int i = 0; i < kBands; ++i) {
        RECT band = {0, h * i / kBands, w, h * (i + 1) / kBands};
        FillBand(hdc, band, Blend(RGB(10, 14, 34), RGB(34, 22, 52), i, kBands - 1));
    }
    // A row of crystals along the bottom edge.
    HBRUSH crystal = CreateSolidBrush(RGB(70, 190, 200));
    HGDIOBJ oldBrush = SelectObject(hdc, crystal);
    HGDIOBJ oldPen = SelectObject(hdc, GetStockObject(NULL_PEN));
    const int size = h / 40 + 2;
    for (int x = size * 2; x < w; x += size * 6) {
        int y = h - size * 3 - (x / (size * 6) % 3) * size / 2;
        POINT diamond[4] = {{x, y - size}, {x + size * 2 / 3, y}, {x, y + size}, {x - size * 2 / 3, y}};
        Polygon(hdc, diamond, 4);
    }
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(crystal);

    SetBkMode(hdc, TRANSPARENT);
    const int titleHeight = h / 6;
    RECT titleRect = {0, h / 2 - titleHeight * 3 / 2, w, h / 2};
    RECT shadowRect = titleRect;
    OffsetRect(&shadowRect, titleHeight / 24 + 1, titleHeight / 24 + 1);
    DrawLine(hdc, "QUARNEL", shadowRect, titleHeight, FW_BOLD, RGB(4, 4, 12));
    DrawLine(hdc, "QUARNEL", titleRect, titleHeight, FW_BOLD, RGB(238, 196, 86));
    RECT line = {0, h / 2, w, h / 2 + h / 12};
    DrawLine(hdc, "Sample build", line, h / 18, FW_NORMAL, RGB(200, 204, 220));
    OffsetRect(&line, 0, h / 12);
    DrawLine(hdc, "The game's files are stand-ins. Press Esc to close.", line, h / 30, FW_NORMAL,
             RGB(130, 134, 156));

    BitBlt(hdcWindow, 0, 0, w, h, hdc, 0, 0, SRCCOPY);
    SelectObject(hdc, oldBitmap);
    DeleteObject(bitmap);
    DeleteDC(hdc);
    EndPaint(hwnd, &ps);
}

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_PAINT:
        Paint(hwnd);
        return 0;
    case WM_ERASEBKGND:
        return 1;  // WM_PAINT covers every pixel
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int nCmdShow)
{
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;

    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT rc = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRect(&rc, style, FALSE);
    const int width = rc.right - rc.left, height = rc.bottom - rc.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    HWND hwnd = CreateWindowA(kClassName, kTitle, style, x > 0 ? x : 0, y > 0 ? y : 0, width, height, nullptr,
                              nullptr, hInstance, nullptr);
    if (!hwnd)
        return 1;
    ShowWindow(hwnd, nCmdShow);
    UpdateWindow(hwnd);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
