// The backdrop made in this process: a capture that cannot be made leaves
// nothing behind; at 8 bits per pixel (an 8-bit picture whatever the
// display's depth) it has a palette; painting, with and without the palette,
// leaks no GDI object.
#include "setup/setup.h"
#include "shell/wizard_state.h"

#include <gtest/gtest.h>

#include <winternl.h>

namespace {

// GDI objects of this process. Wine (8.0) answers GetGuiResources with 0 and
// ERROR_CALL_NOT_IMPLEMENTED; it keeps the process's GDI objects in the
// handle table that the PEB points to (GdiSharedHandleTable, at 0xF8 in the
// x86_64 PEB and 0x94 in the i686 one; 24-byte entries in both, with the
// object type at byte 14, 0 when free), which is counted then.
#ifdef _WIN64
constexpr size_t GDI_TABLE_IN_PEB = 0xF8;
#else
constexpr size_t GDI_TABLE_IN_PEB = 0x94;
#endif
DWORD GdiObjectCount()
{
    SetLastError(0);
    DWORD nObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    PROCESS_BASIC_INFORMATION info = {};
    if (nObjects || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED ||
        NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info), nullptr))
        return nObjects;
    struct Entry { UINT64 kernel; USHORT pid, count, unique; UCHAR type, flags; UINT64 user; };
    static_assert(sizeof(Entry) == 24, "GDI handle table entry");
    const Entry* pTable = *reinterpret_cast<const Entry* const*>(reinterpret_cast<const BYTE*>(info.PebBaseAddress) + GDI_TABLE_IN_PEB);
    for (DWORD i = 0; pTable && i < 0x10000; ++i)
        nObjects += pTable[i].type != 0;
    return nObjects;
}

int nPaints;
LRESULT CALLBACK PaintWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg != WM_PAINT)
        return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    ++nPaints;
    return MainWndOnPaint(hWnd, uMsg, wParam, lParam);
}

// A window over the whole screen that paints as the main window does.
class BackdropTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = PaintWndProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "BackdropTest";
        RegisterClassA(&wc);
        nScreenWidth = GetSystemMetrics(SM_CXSCREEN);
        nScreenHeight = GetSystemMetrics(SM_CYSCREEN);
        hWnd = CreateWindowExA(0, "BackdropTest", "", WS_POPUP | WS_VISIBLE, 0, 0, nScreenWidth, nScreenHeight, nullptr,
                               nullptr, wc.hInstance, nullptr);
        ASSERT_NE(hWnd, nullptr);
    }
    void TearDown() override { DestroyWindow(hWnd); }

    HWND hWnd = nullptr;
};

TEST_F(BackdropTest, NoCaptureLeavesNothingBehind)
{
    nScreenWidth = 0x8000000;  // no bitmap this wide can be made
    nScreenBits = 32;
    DWORD nBefore = GdiObjectCount();
    hBackdrop = CreateBackdrop(hWnd);
    EXPECT_TRUE(!hBackdrop && !hBackdropInfo && !pBackdropBits && !hBackdropPalette);
    EXPECT_EQ(GdiObjectCount(), nBefore);
}

TEST_F(BackdropTest, EightBitPictureHasAPaletteAndRepaintingLeaksNothing)
{
    // Wine's 32-bit GDI keeps no table this process can read: no count then.
    bool bCounted = GdiObjectCount() != 0;
    for (int nBits : {32, 8}) {
        SCOPED_TRACE(nBits);
        nScreenBits = nBits;
        hBackdropPalette = nullptr;
        hBackdrop = CreateBackdrop(hWnd);
        ASSERT_NE(hBackdrop, nullptr);
        auto* pInfo = static_cast<BITMAPINFO*>(GlobalLock(hBackdropInfo));
        ASSERT_TRUE(pInfo && GlobalSize(hBackdropInfo) == 1064);
        EXPECT_EQ(pInfo->bmiHeader.biBitCount, nBits > 8 ? 24 : 8);
        // The palette's colours are the table's (backdrop rules, and the
        // 8-bit screen's end-to-end run); here: made at 8 bits only, whole.
        PALETTEENTRY entries[256];
        EXPECT_EQ(hBackdropPalette ? GetPaletteEntries(hBackdropPalette, 0, 256, entries) : 0u, nBits == 8 ? 256u : 0u);
        GlobalUnlock(hBackdropInfo);

        // The count sees one object more; a hundred paints leave it as it was.
        DWORD nBefore = GdiObjectCount();
        HBRUSH hBrush = CreateSolidBrush(0);
        if (bCounted) {
            EXPECT_EQ(GdiObjectCount(), nBefore + 1);
        }
        DeleteObject(hBrush);
        nPaints = 0;
        for (int i = 0; i < 100; ++i)
            RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(nPaints, 100);
        if (bCounted) {
            EXPECT_EQ(GdiObjectCount(), nBefore);
        }
    }
}

}  // namespace
