// Probing another process's windows from outside, as its user sees them:
// reads go through SendMessageTimeout, actions are posted (a sent click would
// block in its modal loops), and the screen is read back. Nothing here knows
// the installer.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

// Short polls, generous limits: Wine may take seconds to start a process. A
// target that takes longer than ANSWER_MS to answer one message is hung.
// QUARNEL_E2E_TIME_SCALE stretches every limit for a target whose CPU is
// emulated (a 32-bit program where the kernel runs no 32-bit code).
DWORD ScaledMs(DWORD ms);
constexpr DWORD POLL_MS = 50;
inline const DWORD APPEAR_MS = ScaledMs(20000), ANSWER_MS = ScaledMs(5000);

// Polls until done() holds or ms have passed; true when it held.
template <class F> bool PollUntil(DWORD ms, F done, DWORD pollMs = POLL_MS)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(pollMs))
        if (GetTickCount() - start >= ms)
            return false;
    return true;
}

inline std::string ClassOf(HWND hWnd) { char sz[256] = ""; return GetClassNameA(hWnd, sz, sizeof(sz)) ? sz : ""; }
// The caption as the window manager keeps it: reading it sends no message.
inline std::string TitleOf(HWND hWnd) { char sz[1024] = ""; return GetWindowTextA(hWnd, sz, sizeof(sz)) ? sz : ""; }
// False when the target did not answer in time.
bool Ask(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);
// The thread of hWnd has finished what it was handling: a sent message is
// only taken from its message loop.
inline bool Settled(HWND hWnd) { LRESULT ignored; return Ask(hWnd, WM_NULL, 0, 0, ignored); }
// WM_GETTEXT, up to 64 KiB; empty without an answer.
std::string TextOf(HWND hWnd);
// The visible top-level windows of a process, or (pid 0) all the children of
// a window.
std::vector<HWND> Windows(DWORD pid, HWND hParent = nullptr);
inline std::vector<HWND> Children(HWND hWnd) { return Windows(0, hWnd); }
inline bool Usable(HWND hWnd) { return IsWindow(hWnd) && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd); }
inline bool Gone(HWND hWnd) { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }
// A borderless popup: no caption, no sizing frame.
bool Borderless(HWND hWnd);
// The keyboard focus of another thread (GetFocus only sees the caller's).
HWND FocusOf(HWND hWnd);
// Typed characters, as the keyboard's translation delivers them.
bool PostChars(HWND hTarget, const std::string& text);

// Memory in the probed process for the messages that carry pointers: the
// system does not copy them across processes (of the same bitness).
bool OpenRemote(HANDLE hProcess);
// A message whose lParam points at cb bytes of pData, copied there and back.
bool Remote(HWND hWnd, UINT uMsg, WPARAM wParam, void* pData, size_t cb, LRESULT& result);
std::vector<std::string> ListViewTexts(HWND hList);
// A double click of the left button on the label of the item with the text.
bool DoubleClickItem(HWND hList, const std::string& item);

// Waits until the window and its controls have painted and the owning thread
// is back in its message loop, so that the screen shows them.
void WaitPainted(HWND hWnd);
// A rectangle of the screen copied into a bitmap of a memory DC: Grab{x, y, cx, cy}.
struct Grab {
    int x, y, cx, cy;
    HDC hScreen = GetDC(nullptr), hdc = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, cx, cy);
    HGDIOBJ hOld = SelectObject(hdc, hBitmap);
    bool bCopied = hBitmap && BitBlt(hdc, 0, 0, cx, cy, hScreen, x, y, SRCCOPY | CAPTUREBLT);
    ~Grab() { SelectObject(hdc, hOld); DeleteObject(hBitmap); DeleteDC(hdc); ReleaseDC(nullptr, hScreen); }
};
// The whole screen as a BMP file.
bool SaveScreenshot(const std::string& path);
// Which standard icon a control shows: hand, question, exclamation, asterisk
// or none.
std::string IdentifyIcon(HWND hIconControl);

// Files, as the probed process sees them (drive roots end in a backslash).
inline std::string Join(const std::string& dir, const std::string& name)
{
    return dir + (dir.size() > 3 ? "\\" : "") + name;
}
inline bool Exists(const std::string& p) { return GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES; }
inline bool IsDir(const std::string& p)
{
    return Exists(p) && (GetFileAttributesA(p.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}
// A whole file; when it cannot be read, a text that no file compared with it holds.
std::string ReadAll(const std::string& path);
// A common folder (CSIDL_COMMON_PROGRAMS, ...) as the shell works it out; "" when unknown.
std::string ShellFolder(int csidl);

// Starts a command line that the system keeps for later (an uninstall
// entry, a shortcut, App Paths) as Windows starts it: the program is the
// quoted first word, or else the shortest run of words before a space that
// names a file (".exe" added to a name without one: an unquoted
// C:\Program files\... may start C:\Program.exe), and it gets the stored text
// unchanged as its command line. Wine's CreateProcess, left to find the
// program itself, would quote an unquoted path first. pProgram: the program
// chosen, "" when none.
bool StartStored(const std::string& stored, PROCESS_INFORMATION& started, std::string* pProgram = nullptr);
