// The page frame: every page's background is the page artwork, drawn at the
// top-left corner; controls paint themselves over it.
#include "shell/shell.h"
#include "shell/wizard_state.h"

LRESULT PaintPageBitmap(HWND hPage, UINT, WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hPage, &ps);
    HDC hdcMem = CreateCompatibleDC(hdc);
    HGDIOBJ hOld = SelectObject(hdcMem, hPageBitmap);
    BitBlt(hdc, 0, 0, bmPageBitmap.bmWidth, bmPageBitmap.bmHeight, hdcMem, 0, 0, SRCCOPY);
    if (hOld)
        SelectObject(hdcMem, hOld);
    DeleteDC(hdcMem);
    EndPaint(hPage, &ps);
    return 0;
}
