#include "shell/msgmap.h"

LRESULT CallDefaultProcedure(DWORD dwKind, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (dwKind) {
    case DEFAULT_WINDOW: return DefWindowProcA(hWnd, uMsg, wParam, lParam);
    case DEFAULT_DIALOG: return DefDlgProcA(hWnd, uMsg, wParam, lParam);
    default: return 0;
    }
}

LRESULT DispatchMessageMap(const MessageMap* pMap, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    for (int i = 0; i < pMap->nCount; ++i)
        if (pMap->pEntries[i].uMessage == uMsg)
            return pMap->pEntries[i].pfnHandler(hWnd, uMsg, wParam, lParam);
    return CallDefaultProcedure(pMap->dwDefault, hWnd, uMsg, wParam, lParam);
}

LRESULT DispatchCommandMap(const CommandMap* pMap, HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    WORD wId = LOWORD(wParam);
    WORD wNotify = HIWORD(wParam);
    for (int i = 0; i < pMap->nCount; ++i)
        if (pMap->pEntries[i].wId == wId)
            return pMap->pEntries[i].pfnHandler(hWnd, wId, wNotify, lParam);
    return CallDefaultProcedure(pMap->dwDefault, hWnd, WM_COMMAND, wParam, lParam);
}
