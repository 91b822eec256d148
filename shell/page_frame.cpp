// The page frame: every page's background is the page artwork, drawn at the
// top-left corner; controls paint themselves over it.
#include "shell/gdiguard.h"
#include "shell/message.h"
#include "shell/shell.h"
#include "shell/wizard_state.h"

LRESULT PaintPageBitmap(HWND hPage, UINT, WPARAM, LPARAM)
{
    PAINTSTRUCT ps;
    HDC hdc = BeginPaint(hPage, &ps);
    {
        MemoryDC dcMem(hdc);
        SelectGuard bitmap(dcMem, hPageBitmap);
        BitBlt(hdc, 0, 0, bmPageBitmap.bmWidth, bmPageBitmap.bmHeight, dcMem, 0, 0, SRCCOPY);
    }
    EndPaint(hPage, &ps);
    return 0;
}

bool ConfirmCancelSetup(HWND hPage)
{
    return ShowMessage(hPage, "Are you sure you want to cancel the setup?", pszSetupCaption,
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
}
