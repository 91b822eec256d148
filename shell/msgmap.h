// Table-driven window and dialog procedures: every procedure hands its
// message to DispatchMessageMap with its own constant map, and WM_COMMAND
// leads on to a command map keyed by the 16-bit command or control id.
#pragma once

#include <windows.h>

#include <cstddef>

typedef LRESULT (*MESSAGEHANDLER)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
typedef LRESULT (*COMMANDHANDLER)(HWND hWnd, WORD wId, WORD wNotify, LPARAM lParam);

// What happens to a message or command that no row claims.
enum : DWORD {
    DEFAULT_NONE = 0,    // the procedure returns 0
    DEFAULT_WINDOW = 1,  // DefWindowProcA
    DEFAULT_DIALOG = 2,  // DefDlgProcA
};

struct MessageMapEntry {
    UINT uMessage;
    MESSAGEHANDLER pfnHandler;
};

struct MessageMap {
    int nCount;
    const MessageMapEntry* pEntries;
    DWORD dwDefault;
};

struct CommandMapEntry {
    WORD wId;
    COMMANDHANDLER pfnHandler;
};

struct CommandMap {
    int nCount;
    const CommandMapEntry* pEntries;
    DWORD dwDefault;
};

template <size_t N> constexpr MessageMap MakeMessageMap(const MessageMapEntry (&aRows)[N], DWORD dwDefault)
{
    return MessageMap{static_cast<int>(N), aRows, dwDefault};
}

template <size_t N> constexpr CommandMap MakeCommandMap(const CommandMapEntry (&aRows)[N], DWORD dwDefault)
{
    return CommandMap{static_cast<int>(N), aRows, dwDefault};
}

LRESULT CallDefaultProcedure(DWORD dwKind, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT DispatchMessageMap(const MessageMap* pMap, HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
LRESULT DispatchCommandMap(const CommandMap* pMap, HWND hWnd, WPARAM wParam, LPARAM lParam);
