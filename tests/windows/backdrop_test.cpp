// The backdrop made in this process over a white screen: the pixel buffer
// dimmed above 8 bits per pixel and untouched at 8 (an 8-bit picture of the
// screen whatever the display's depth), the palette taken from its colour
// table; a capture that cannot be made; and repainting without leaking GDI
// objects.
#include "setup/setup.h"
#include "shell/wizard_state.h"

#include <gtest/gtest.h>

#include <winternl.h>

namespace {

// GDI objects of this process. Wine (8.0) answers GetGuiResources with 0 and
// ERROR_CALL_NOT_IMPLEMENTED; it keeps the process's GDI objects in the
// handle table that the PEB points to (GdiSharedHandleTable, at 0xF8 in the
// x86_64 PEB; 24-byte entries with the object type at byte 14, 0 for a free
// entry), which is counted then.
DWORD GdiObjectCount()
{
    SetLastError(0);
    DWORD nObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (nObjects || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED)
        return nObjects;
    struct Entry { UINT64 kernel; USHORT pid, count, unique; UCHAR type, flags; UINT64 user; };
    static_assert(sizeof(Entry) == 24, "GDI handle table entry");
    PROCESS_BASIC_INFORMATION info = {};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr))
        return 0;
    const Entry* pTable = *reinterpret_cast<const Entry* const*>(reinterpret_cast<const BYTE*>(info.PebBaseAddress) + 0xF8);
    for (DWORD i = 0; pTable && i < 0x10000; ++i)
        nObjects += pTable[i].type != 0;
    return nObjects;
}

int nPaints;
LRESULT CALLBACK BackdropWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_PAINT)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    ++nPaints;
    return MainWndOnPaint(hWnd, uMsg, wParam, lParam);
}

// A white window over the whole screen, on the display before the backdrop
// is made; the backdrop is then painted into it.
class BackdropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = BackdropWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = "BackdropTest";
        RegisterClassA(&wc);
        nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
        nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
        hWnd = CreateWindowExA(WS_EX_TOPMOST, "BackdropTest", "", WS_POPUP | WS_VISIBLE, 0, 0, nScreenWidth,
                               nScreenHeight, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(hWnd, nullptr);
        hTitleFont = CreateFontA(72, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, OUT_STROKE_PRECIS,
                                 CLIP_STROKE_PRECIS, DRAFT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial Black");
        // Wine hands a window's drawing to the display while its thread waits
        // for messages.
        UpdateWindow(hWnd);
        for (int i = 0; i < 10; ++i) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
        nPaints = 0;
    }
    void TearDown() override { DestroyWindow(hWnd); }

    HWND hWnd = nullptr;
};

TEST_F(BackdropTest, BufferIsDimmedAboveEightBitsAndPalettedAtEight)
{
    for (int nBits : {32, 8}) {
        SCOPED_TRACE(nBits);
        nScreenBits = nBits;
        hBackdropPalette = nullptr;
        hBackdrop = CreateBackdrop(hWnd);
        ASSERT_NE(hBackdrop, nullptr);
        ASSERT_NE(hBackdropInfo, nullptr);
        ASSERT_EQ(GlobalSize(hBackdropInfo), 1064u);
        auto* pInfo = static_cast<BITMAPINFO*>(GlobalLock(hBackdropInfo));
        ASSERT_NE(pInfo, nullptr);
        const BITMAPINFOHEADER& bih = pInfo->bmiHeader;
        LONG cbRow = (bih.biBitCount * bih.biWidth + 31) / 32 * 4;
        EXPECT_EQ(bih.biWidth, nScreenWidth);
        EXPECT_EQ(bih.biHeight, nScreenHeight);
        EXPECT_EQ(bih.biBitCount, nBits > 8 ? 24 : 8);
        EXPECT_EQ(bih.biSizeImage, static_cast<DWORD>(cbRow * bih.biHeight));

        // White everywhere, but black where column + buffer row is even above
        // 8 bits; at 8 bits every pixel is the index of white in the table.
        BYTE iWhite = pBackdropBits[0];
        const RGBQUAD& white = pInfo->bmiColors[iWhite];
        if (nBits == 8) {
            EXPECT_TRUE(white.rgbRed == 255 && white.rgbGreen == 255 && white.rgbBlue == 255) << int{iWhite};
        }
        int nWrong = 0;
        for (LONG nRow = 0; nRow < bih.biHeight; ++nRow) {
            const BYTE* pRow = pBackdropBits + nRow * cbRow;
            for (LONG nColumn = 0; nColumn < bih.biWidth; ++nColumn) {
                if (nBits == 8) {
                    nWrong += pRow[nColumn] != iWhite;
                } else {
                    int nExpected = (nColumn + nRow) % 2 ? 255 : 0;
                    const BYTE* p = pRow + 3 * nColumn;
                    nWrong += p[0] != nExpected || p[1] != nExpected || p[2] != nExpected;
                }
            }
        }
        EXPECT_EQ(nWrong, 0) << "pixels unlike a " << (nBits == 8 ? "white" : "dimmed white") << " screen";

        // The palette: exactly the colour table, no entry to be collapsed.
        ASSERT_EQ(hBackdropPalette != nullptr, nBits == 8);
        if (hBackdropPalette) {
            PALETTEENTRY entries[256];
            ASSERT_EQ(GetPaletteEntries(hBackdropPalette, 0, 256, entries), 256u);
            for (int i = 0; i < 256; ++i) {
                const RGBQUAD& q = pInfo->bmiColors[i];
                EXPECT_TRUE(entries[i].peRed == q.rgbRed && entries[i].peGreen == q.rgbGreen &&
                            entries[i].peBlue == q.rgbBlue && entries[i].peFlags == PC_NOCOLLAPSE)
                    << "entry " << i;
            }
        }
        GlobalUnlock(hBackdropInfo);
    }
}

TEST_F(BackdropTest, NoCaptureLeavesNothingBehind)
{
    // A bitmap this wide cannot be made.
    nScreenWidth = 0x8000000;
    nScreenBits = 32;
    DWORD nBefore = GdiObjectCount();
    hBackdrop = CreateBackdrop(hWnd);
    EXPECT_EQ(hBackdrop, nullptr);
    EXPECT_TRUE(!hBackdropInfo && !pBackdropBits && !hBackdropPalette);
    EXPECT_EQ(GdiObjectCount(), nBefore);
}

TEST_F(BackdropTest, RepaintingLeaksNoGdiObject)
{
    for (int nBits : {32, 8}) {
        SCOPED_TRACE(nBits);
        nScreenBits = nBits;
        hBackdrop = CreateBackdrop(hWnd);
        ASSERT_NE(hBackdrop, nullptr);
        ASSERT_EQ(hBackdropPalette != nullptr, nBits == 8);
        // The count sees one object more.
        DWORD nBefore = GdiObjectCount();
        HBRUSH hBrush = CreateSolidBrush(0);
        EXPECT_EQ(GdiObjectCount(), nBefore + 1);
        DeleteObject(hBrush);

        nPaints = 0;
        for (int i = 0; i < 100; ++i)
            RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(nPaints, 100);
        EXPECT_EQ(GdiObjectCount(), nBefore);
    }
}

}  // namespace
