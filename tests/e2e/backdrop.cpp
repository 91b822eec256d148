// The backdrop: a known picture on the screen before setup.exe starts
// ("picture"); with the agreement page up ("backdrop"), the screen outside the page and the title shows the
// picture dimmed by a checkerboard (above 8 bits per pixel) or as it was (at
// 8 bits), and the title in its two colours, the light one 3 pixels right of
// and below the dark one.
#include "tests/e2e/driver.h"

#include <vector>

namespace {

int cx, cy, nBits;
// Top-down rows of 0x00RRGGBB: the picture, and the screen as setup.exe found it.
std::vector<DWORD> picture, before;
size_t At(int x, int y) { return static_cast<size_t>(y) * static_cast<size_t>(cx) + static_cast<size_t>(x); }

std::vector<DWORD> ScreenPixels()
{
    Grab screen{0, 0, cx, cy};
    BITMAPINFOHEADER bih = {sizeof(bih), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<DWORD> pixels(At(0, cy));
    SelectObject(screen.hdc, screen.hOld);  // GetDIBits wants the bitmap free
    Need(Check(screen.bCopied && GetDIBits(screen.hdc, screen.hBitmap, 0, static_cast<UINT>(cy), pixels.data(),
                                           reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS) == cy,
               "screen read"));
    for (DWORD& pixel : pixels)
        pixel &= 0xFFFFFF;
    return pixels;
}

LRESULT CALLBACK PictureWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_PAINT)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    BITMAPINFOHEADER bih = {sizeof(bih), cx, -cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    SetDIBitsToDevice(hdc, 0, 0, static_cast<DWORD>(cx), static_cast<DWORD>(cy), 0, 0, 0, static_cast<UINT>(cy),
                      picture.data(), reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS);
    EndPaint(hWnd, &ps);
    return 0;
}

// A window of the driver's over the whole screen, painted with a picture
// that is never black and differs in each channel (a dimmed pixel, a kept
// one and swapped channels all tell apart), on the display before setup.exe
// starts.
void ShowPicture(const Step&)
{
    cx = GetSystemMetrics(SM_CXSCREEN);
    cy = GetSystemMetrics(SM_CYSCREEN);
    HDC hdc = GetDC(nullptr);
    nBits = GetDeviceCaps(hdc, BITSPIXEL);
    ReleaseDC(nullptr, hdc);
    auto channel = [](int n) { return static_cast<DWORD>(1 + n % 255); };
    picture.resize(At(0, cy));
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            picture[At(x, y)] = channel(x * 5 + y) << 16 | channel(x + y * 3) << 8 | channel(x * 2 + y * 7);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = PictureWndProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "BackdropPicture";
    HWND hPicture = RegisterClassA(&wc) ? CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP | WS_VISIBLE, 0, 0, cx, cy,
                                                          nullptr, nullptr, wc.hInstance, nullptr)
                                        : nullptr;
    Need(Check(hPicture != nullptr, "picture over the %dx%d screen at %d bits per pixel", cx, cy, nBits));
    // Wine hands a window's drawing to the display while its thread waits.
    UpdateWindow(hPicture);
    for (int i = 0; i < 10; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    before = ScreenPixels();
    // At 8 bits the display shows it in its own few colours.
    Need(Check(nBits <= 8 || before == picture, "the screen shows the picture"));
}

constexpr DWORD TITLE = 0x40A0FF, SHADOW = 0x200040;  // 0x00RRGGBB
constexpr int TITLE_AT = 13, SHADOW_AT = 10;

// From the shadow's corner to the title's far one, with a margin for glyphs
// reaching past their cells.
RECT TitleBox()
{
    HFONT hFont = CreateFontA(72, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_STROKE_PRECIS, CLIP_STROKE_PRECIS,
                              DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial Black");
    HDC hdc = GetDC(nullptr);
    HGDIOBJ hOld = SelectObject(hdc, hFont);
    SIZE size = {};
    GetTextExtentPoint32A(hdc, kCaption, lstrlenA(kCaption), &size);
    SelectObject(hdc, hOld);
    ReleaseDC(nullptr, hdc);
    DeleteObject(hFont);
    Need(Check(size.cx > 0 && size.cy > 0, "title measured: %ldx%ld", size.cx, size.cy));
    return {SHADOW_AT, SHADOW_AT, TITLE_AT + size.cx + 8, TITLE_AT + size.cy + 8};
}

void Backdrop(const Step&)
{
    HWND hPage = run.hPage;
    WaitPainted(run.hMain);
    std::vector<DWORD> shown = ScreenPixels();
    RECT rcPage = {}, rcTitle = TitleBox();
    GetWindowRect(hPage, &rcPage);
    // Buffer rows count from the bottom screen line.
    auto expected = [&](int x, int y) { return nBits > 8 && (x + cy - 1 - y) % 2 == 0 ? 0 : before[At(x, y)]; };

    size_t nWrong = 0, nChecked = 0;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x)
            if (!PtInRect(&rcPage, {x, y}) && !PtInRect(&rcTitle, {x, y}))
                ++nChecked, nWrong += shown[At(x, y)] != expected(x, y);
    Check(nWrong == 0, "outside the page and the title: the picture %s (%zu of %zu pixels differ)",
          nBits > 8 ? "with every pixel of even column + row from the bottom black" : "as it was", nWrong, nChecked);

    // The glyphs have smoothed edges. Where the shadow is solid the title, 3
    // pixels right and down, is solid too; where the title is solid something
    // was drawn 3 pixels up and left; any other pixel that is not the
    // backdrop lies within 2 pixels of a solid one.
    size_t nTitle = 0, nShadow = 0, nMisplaced = 0, nStray = 0, nDrawn = 0;
    constexpr int OFFSET = TITLE_AT - SHADOW_AT;
    auto solid = [&](int x, int y) { return shown[At(x, y)] == TITLE || shown[At(x, y)] == SHADOW; };
    for (int y = rcTitle.top; y < rcTitle.bottom; ++y)
        for (int x = rcTitle.left; x < rcTitle.right; ++x) {
            DWORD pixel = shown[At(x, y)];
            nDrawn += pixel != expected(x, y);
            if (pixel == TITLE) {
                ++nTitle;
                nMisplaced += shown[At(x - OFFSET, y - OFFSET)] == expected(x - OFFSET, y - OFFSET);
            } else if (pixel == SHADOW) {
                ++nShadow;
                nMisplaced += shown[At(x + OFFSET, y + OFFSET)] != TITLE;
            } else if (pixel != expected(x, y)) {
                bool bEdge = false;
                for (int dy = -2; dy <= 2; ++dy)
                    for (int dx = -2; dx <= 2; ++dx)
                        bEdge |= solid(x + dx, y + dy);
                nStray += !bEdge;
            }
        }
    // At 8 bits both colours come out as the nearest the display has.
    if (nBits > 8)
        Check(nTitle > 1000 && nShadow > 100 && nMisplaced == 0 && nStray == 0,
              "title: %zu pixels of 0x%06lx and %zu of its shadow 0x%06lx; %zu misplaced, %zu away from both", nTitle,
              TITLE, nShadow, SHADOW, nMisplaced, nStray);
    else
        Check(nDrawn > 1000, "title drawn over the picture (%zu pixels)", nDrawn);
    // setup.exe ends with the driver (its job).
}

OpList kBackdropOps = {{"picture", ShowPicture}, {"backdrop", Backdrop}};

}  // namespace
