// Entry point and the full-screen main window. Creating the window posts
// IDM_START_WIZARD to itself; handling that one command is the whole setup.
#include "resources/resource.h"
#include "shell/msgmap.h"
#include "setup/setup.h"
#include "shell/strutil.h"
#include "shell/system_dll.h"
#include "shell/wizard_state.h"

static LRESULT MainWndOnCommand(HWND hWnd, UINT, WPARAM wParam, LPARAM lParam);

static constexpr MessageMapEntry aMainMessages[] = {
    {WM_CREATE, MainWndOnCreate},
    {WM_COMMAND, MainWndOnCommand},
    {WM_DESTROY, MainWndOnDestroy},
    {WM_PAINT, MainWndOnPaint},
};
static constexpr MessageMap MainMessageMap = MakeMessageMap(aMainMessages, DEFAULT_WINDOW);

static constexpr CommandMapEntry aMainCommands[] = {
    {IDM_START_WIZARD, RunSetupWizard},
    {IDM_CLOSE_SETUP, CloseSetupWindow},
};
static constexpr CommandMap MainCommandMap = MakeCommandMap(aMainCommands, DEFAULT_WINDOW);

LRESULT CALLBACK SetupWndProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&MainMessageMap, hWnd, uMsg, wParam, lParam);
}

static LRESULT MainWndOnCommand(HWND hWnd, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&MainCommandMap, hWnd, wParam, lParam);
}

HFONT CreateTitleFont(LONG lWeight, LONG lWidth, LONG lHeight, BYTE bCharSet, const char* pszFace)
{
    LOGFONTA lf = {};
    lf.lfHeight = lHeight;
    lf.lfWidth = lWidth;
    lf.lfWeight = lWeight;
    lf.lfCharSet = bCharSet;
    lf.lfOutPrecision = OUT_STROKE_PRECIS;
    lf.lfClipPrecision = CLIP_STROKE_PRECIS;
    lf.lfQuality = DRAFT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    if (pszFace)
        StrCopy(lf.lfFaceName, pszFace);
    return CreateFontIndirectA(&lf);
}

LRESULT MainWndOnCreate(HWND hWnd, UINT, WPARAM, LPARAM)
{
    HDC hdc = GetDC(hWnd);
    nScreenWidth = GetDeviceCaps(hdc, HORZRES);
    nScreenHeight = GetDeviceCaps(hdc, VERTRES);
    nScreenBits = GetDeviceCaps(hdc, BITSPIXEL);
    ReleaseDC(hWnd, hdc);

    hTitleFont = CreateTitleFont(FW_NORMAL, 0, 72, DEFAULT_CHARSET, "Arial Black");
    // Captured now, while the window is still 0 x 0 and the desktop shows as
    // it was at start; without a backdrop the class brush shows.
    hBackdrop = CreateBackdrop(hWnd);
    SetWindowPos(hWnd, nullptr, 0, 0, nScreenWidth, nScreenHeight, SWP_NOZORDER | SWP_NOACTIVATE);

    ZeroMemory(szSetupDir, sizeof(szSetupDir));
    GetCurrentDirectoryA(SETUP_DIR_LIMIT, szSetupDir);
    // A drive root keeps only its letter and colon, so "%s\..." never doubles
    // the backslash.
    if (lstrlenA(szSetupDir) < 4)
        szSetupDir[2] = '\0';

    PostMessageA(hWnd, WM_COMMAND, IDM_START_WIZARD, 0);
    return 0;
}

LRESULT MainWndOnDestroy(HWND, UINT, WPARAM, LPARAM)
{
    PostQuitMessage(0);
    return 0;
}

LRESULT CloseSetupWindow(HWND hWnd, WORD, WORD, LPARAM)
{
    DestroyWindow(hWnd);
    return 0;
}

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int)
{
    RestrictDllSearch();
    LoadStringA(hInstance, IDS_CLASS_NAME, szClassName, sizeof(szClassName));
    hAppInstance = hInstance;

    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SetupWndProc;
    wc.hInstance = hInstance;
    wc.hIcon = LoadIconA(hInstance, MAKEINTRESOURCEA(IDI_SETUP));
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENUTEXT + 1));
    wc.lpszMenuName = szClassName;
    wc.lpszClassName = szClassName;
    if (!RegisterClassA(&wc) && !RegisterClassA(&wc))
        return 0;

    hMainWnd = CreateWindowExA(0, szClassName, szClassName, WS_POPUP | WS_VISIBLE, 0, 0, 0, 0, nullptr, nullptr,
                               hInstance, nullptr);
    if (!hMainWnd)
        return 0;
    UpdateWindow(hMainWnd);

    HACCEL hAccel = LoadAcceleratorsA(hInstance, szClassName);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        if (!TranslateAcceleratorA(msg.hwnd, hAccel, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}
