// Driving another process's windows the way a user would, from outside: find
// them, read them, press their buttons and keys, and photograph the screen.
// Everything crosses a process boundary, so reads use SendMessageTimeout and
// actions are posted (a sent click would block in the target's modal loops).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace e2e {

// Short polls, generous limits: Wine may take seconds to start a process.
constexpr DWORD POLL_MS = 50;
constexpr DWORD APPEAR_MS = 20000;

// Polls until done() holds or ms have passed; true when it held.
template <class F> bool PollUntil(DWORD ms, F done)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(POLL_MS);
    }
}

std::string ClassOf(HWND hWnd);
// The caption as the window manager keeps it (no message to the target).
std::string TitleOf(HWND hWnd);
// WM_GETTEXT; false when the window is gone or does not answer.
bool ReadText(HWND hWnd, std::string& text);
// Sends a message with a timeout; false when the target did not answer.
bool Ask(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Visible top-level windows of one process.
std::vector<HWND> VisibleWindows(DWORD pid);
// Visible and enabled: a user could act on it now.
bool Usable(HWND hWnd);
bool Gone(HWND hWnd);

// A click as the button itself reports it to its dialog.
bool PostClick(HWND hDlg, int id);
// A key press (down and up) sent to a control, as the keyboard would.
bool PostKey(HWND hTarget, UINT vk);
// The keyboard focus of another thread (GetFocus only sees the caller's).
HWND FocusOf(DWORD tid);

// Typed characters, as the keyboard's translation would deliver them.
bool PostChars(HWND hTarget, const std::string& text);
// A double click of the left button at a point of the target's client area.
bool PostDoubleClick(HWND hTarget, POINT pt);

// The texts of a combo box's items (the system copies them across).
bool ComboTexts(HWND hCombo, std::vector<std::string>& texts);
// List-view messages carry pointers the system does not copy across
// processes, so these pass buffers allocated in the target (same bitness).
bool ListViewTexts(HANDLE hProcess, HWND hList, std::vector<std::string>& texts);
// The centre of an item's label in the list's client area, scrolled into view.
bool ListViewItemCentre(HANDLE hProcess, HWND hList, int nItem, POINT& pt);

// Waits until the window and its controls have painted and the owning
// thread is back in its message loop, so that the screen shows them.
void WaitPainted(HWND hWnd);
// The whole screen as a 24-bit BMP file.
bool SaveScreenshot(const std::string& path);

enum class Icon { None, Hand, Question, Exclamation, Asterisk };
const char* IconName(Icon icon);
// Which standard icon the icon control shows, by comparing its pixels on the
// screen with each standard icon drawn over the same background.
Icon IdentifyIcon(HWND hIconControl);

}  // namespace e2e
