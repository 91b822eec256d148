// The backdrop: the screen as it was when the setup started, dimmed by a
// checkerboard of black pixels above 8 bits per pixel (at 8 or less it keeps
// its colours and brings a palette of them), with the title drawn large in
// its top-left corner. It is made once, while the main window is still 0 x 0
// (so the setup is not in the picture), and copied to the window on every
// paint.
#include "setup/setup.h"
#include "shell/backdrop_rules.h"
#include "shell/gdiguard.h"
#include "shell/wizard_state.h"

namespace {

// The light-blue title lies 3 pixels right of and below a dark-purple copy,
// which shows as a shadow at its upper left.
constexpr COLORREF TITLE_SHADOW_COLOUR = 0x00400020;  // a plain RGB value
constexpr COLORREF TITLE_COLOUR = 0x02FFA040;         // a PALETTERGB value
constexpr int TITLE_SHADOW_AT = 10, TITLE_AT = 13;

// The capture's description: the header and a full colour table; and a
// logical palette of as many entries (its own first entry counted twice).
constexpr SIZE_T BACKDROP_INFO_SIZE = sizeof(BITMAPINFOHEADER) + BACKDROP_COLOURS * sizeof(RGBQUAD);
constexpr SIZE_T BACKDROP_PALETTE_SIZE = sizeof(LOGPALETTE) + BACKDROP_COLOURS * sizeof(PALETTEENTRY);
static_assert(BACKDROP_INFO_SIZE == 1064 && BACKDROP_PALETTE_SIZE == 1032, "block sizes of the backdrop");
static_assert(BACKDROP_PALETTE_FLAGS == PC_NOCOLLAPSE, "palette entries never collapse");

// Gives back what a failed build made: nothing half-made is painted later
// and nothing is held for the rest of the run.
HBITMAP DiscardBackdrop(HBITMAP hBitmap)
{
    if (hBitmap)
        DeleteObject(hBitmap);
    if (hBackdropPalette)
        DeleteObject(hBackdropPalette);
    if (pBackdropBits)
        VirtualFree(pBackdropBits, 0, MEM_RELEASE);
    if (hBackdropInfo)
        GlobalFree(hBackdropInfo);
    hBackdropPalette = nullptr;
    pBackdropBits = nullptr;
    hBackdropInfo = nullptr;
    return nullptr;
}

// The display as it is now, in a bitmap compatible with it; null when the
// bitmap cannot be made or filled.
HBITMAP CaptureScreen(HDC hdcScreen)
{
    MemoryDC dcMem(hdcScreen);
    HBITMAP hBitmap = dcMem ? CreateCompatibleBitmap(hdcScreen, nScreenWidth, nScreenHeight) : nullptr;
    if (!hBitmap)
        return nullptr;
    SelectGuard bitmap(dcMem, hBitmap);
    bool bCopied = bitmap && BitBlt(dcMem, 0, 0, nScreenWidth, nScreenHeight, hdcScreen, 0, 0, SRCCOPY);
    bitmap.Restore();
    if (!bCopied) {
        DeleteObject(hBitmap);
        return nullptr;
    }
    return hBitmap;
}

// At 8 bits per pixel: a palette of the capture's own colours, none merged
// with another when realised. Without its block, or when the palette itself
// cannot be made, the backdrop goes on without one: the picture is whole,
// only drawn in the display's default colours.
void MakeBackdropPalette(const BITMAPINFO* pInfo)
{
    HGLOBAL hPalette = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, BACKDROP_PALETTE_SIZE);
    auto* pPalette = static_cast<LOGPALETTE*>(hPalette ? GlobalLock(hPalette) : nullptr);
    if (pPalette) {
        pPalette->palVersion = 0x300;
        pPalette->palNumEntries = BACKDROP_COLOURS;
        FillBackdropPalette(reinterpret_cast<uint8_t*>(pPalette->palPalEntry),
                            reinterpret_cast<const uint8_t*>(pInfo->bmiColors));
        hBackdropPalette = CreatePalette(pPalette);
        GlobalUnlock(hPalette);
    }
    if (hPalette)
        GlobalFree(hPalette);
}

// The capture in device-independent form, processed by depth and written
// back into the bitmap; false when the pixels cannot be had or put back.
bool ProcessCapture(HDC hdcScreen, HBITMAP hBitmap, BITMAPINFO* pInfo)
{
    BITMAP bm;
    if (GetObjectA(hBitmap, sizeof(bm), &bm) != sizeof(bm))
        return false;
    BITMAPINFOHEADER& bih = pInfo->bmiHeader;
    bih.biSize = sizeof(BITMAPINFOHEADER);
    bih.biWidth = bm.bmWidth;
    bih.biHeight = bm.bmHeight;  // positive: bottom-up rows
    bih.biPlanes = 1;
    bih.biBitCount = nScreenBits <= 8 ? 8 : 24;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = DibImageSize(bm.bmWidth, bm.bmHeight, bih.biBitCount);
    bih.biClrUsed = BACKDROP_COLOURS;

    // Without a buffer the system completes the header and, at 8 bits, the
    // colour table. It may leave biSizeImage at 0; the size is then computed.
    if (!GetDIBits(hdcScreen, hBitmap, 0, static_cast<UINT>(bm.bmHeight), nullptr, pInfo, DIB_RGB_COLORS))
        return false;
    bih.biSizeImage = BackdropImageSize(bih.biSizeImage, bih.biWidth, bih.biHeight, bih.biBitCount);
    if (!bih.biSizeImage)
        return false;
    pBackdropBits = static_cast<BYTE*>(VirtualAlloc(nullptr, SIZE_T{bih.biSizeImage} + 3, MEM_COMMIT, PAGE_READWRITE));
    auto nRows = static_cast<UINT>(bih.biHeight);
    if (!pBackdropBits ||
        GetDIBits(hdcScreen, hBitmap, 0, nRows, pBackdropBits, pInfo, DIB_RGB_COLORS) != bih.biHeight)
        return false;

    if (bih.biBitCount <= 8)
        MakeBackdropPalette(pInfo);
    else
        DimBackdropPixels(pBackdropBits, bih.biSizeImage, bih.biWidth, bih.biHeight);
    return SetDIBits(hdcScreen, hBitmap, 0, nRows, pBackdropBits, pInfo, DIB_RGB_COLORS) == bih.biHeight;
}

void DrawTitle(HWND hWnd, HBITMAP hBitmap)
{
    WindowDC dcWindow(hWnd);
    MemoryDC dcMem(dcWindow);
    if (!dcMem)
        return;
    PaletteGuard palette(dcMem, hBackdropPalette);
    SelectGuard bitmap(dcMem, hBitmap);
    SelectGuard font(dcMem, hTitleFont);
    SetBkMode(dcMem, TRANSPARENT);
    int cchTitle = lstrlenA(pszSetupCaption);
    SetTextColor(dcMem, TITLE_SHADOW_COLOUR);
    TextOutA(dcMem, TITLE_SHADOW_AT, TITLE_SHADOW_AT, pszSetupCaption, cchTitle);
    SetTextColor(dcMem, TITLE_COLOUR);
    TextOutA(dcMem, TITLE_AT, TITLE_AT, pszSetupCaption, cchTitle);
    font.Restore();
    palette.Restore();
    bitmap.Restore();
}

}  // namespace

HBITMAP CreateBackdrop(HWND hWnd)
{
    bool bMade = false;
    HBITMAP hBitmap = nullptr;
    {
        DisplayDC dcScreen;
        hBitmap = dcScreen ? CaptureScreen(dcScreen) : nullptr;
        hBackdropInfo = hBitmap ? GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, BACKDROP_INFO_SIZE) : nullptr;
        auto* pInfo = static_cast<BITMAPINFO*>(hBackdropInfo ? GlobalLock(hBackdropInfo) : nullptr);
        if (pInfo) {
            bMade = ProcessCapture(dcScreen, hBitmap, pInfo);
            GlobalUnlock(hBackdropInfo);  // the block itself stays
        }
    }
    if (!bMade)
        return DiscardBackdrop(hBitmap);
    DrawTitle(hWnd, hBitmap);
    return hBitmap;
}

int DrawBackdrop(HDC hdc)
{
    MemoryDC dcMem(hdc);
    PaletteGuard targetPalette(hdc, hBackdropPalette);
    if (hBackdropPalette)
        RealizePalette(hdc);
    PaletteGuard memoryPalette(dcMem, hBackdropPalette);
    SelectGuard bitmap(dcMem, hBackdrop);
    SetStretchBltMode(hdc, COLORONCOLOR);
    BitBlt(hdc, 0, 0, nScreenWidth, nScreenHeight, dcMem, 0, 0, SRCCOPY);
    targetPalette.Restore();
    memoryPalette.Restore();
    bitmap.Restore();
    return 0;
}

LRESULT MainWndOnPaint(HWND hWnd, UINT, WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hWnd, &ps);
    if (hBackdrop)
        DrawBackdrop(hdc);
    EndPaint(hWnd, &ps);
    return 0;
}
