#include "tests/e2e/probe.h"

#include <commctrl.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <type_traits>

DWORD ScaledMs(DWORD ms)
{
    char szScale[16] = "";
    DWORD cch = GetEnvironmentVariableA("QUARNEL_E2E_TIME_SCALE", szScale, sizeof(szScale));
    unsigned long nScale = cch > 0 && cch < sizeof(szScale) ? std::strtoul(szScale, nullptr, 10) : 1;
    return nScale > 1 && nScale <= 100 ? ms * static_cast<DWORD>(nScale) : ms;
}

bool StartStored(const std::string& stored, PROCESS_INFORMATION& started, std::string* pProgram)
{
    std::string program;
    if (!stored.empty() && stored[0] == '"') {
        size_t end = stored.find('"', 1);
        program = stored.substr(1, end == std::string::npos ? std::string::npos : end - 1);
    } else {
        for (size_t end = 0; program.empty() && end != std::string::npos;) {
            end = stored.find(' ', end + 1);
            std::string words = stored.substr(0, end);
            size_t dot = words.rfind('.'), slash = words.rfind('\\');
            if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
                words += ".exe";
            DWORD dwAttributes = GetFileAttributesA(words.c_str());
            if (dwAttributes != INVALID_FILE_ATTRIBUTES && !(dwAttributes & FILE_ATTRIBUTE_DIRECTORY))
                program = words;
        }
    }
    if (pProgram)
        *pProgram = program;
    std::string commandLine = stored;
    STARTUPINFOA si = {};
    si.cb = sizeof(si);
    return !program.empty() && CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                              nullptr, nullptr, &si, &started);
}

bool Ask(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    return SendMessageTimeoutA(hWnd, uMsg, wParam, lParam, SMTO_ABORTIFHUNG, ANSWER_MS,
                               reinterpret_cast<PDWORD_PTR>(&result));
}

std::string TextOf(HWND hWnd)
{
    static char szText[1 << 16];
    LRESULT copied = 0;
    bool bRead = Ask(hWnd, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText), copied) && copied >= 0;
    return bRead ? std::string(szText, std::min(static_cast<size_t>(copied), sizeof(szText) - 1)) : "";
}

std::vector<HWND> Windows(DWORD pid, HWND hParent)
{
    std::pair<DWORD, std::vector<HWND>> found = {pid, {}};
    WNDENUMPROC collect = [](HWND hWnd, LPARAM lParam) -> BOOL {
        auto& into = *reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(lParam);
        DWORD owner = 0;
        GetWindowThreadProcessId(hWnd, &owner);
        if (!into.first || (owner == into.first && IsWindowVisible(hWnd)))
            into.second.push_back(hWnd);
        return TRUE;
    };
    hParent ? EnumChildWindows(hParent, collect, reinterpret_cast<LPARAM>(&found))
            : EnumWindows(collect, reinterpret_cast<LPARAM>(&found));
    return found.second;
}

bool Borderless(HWND hWnd)
{
    LONG style = GetWindowLongA(hWnd, GWL_STYLE);
    return (style & WS_POPUP) && !(style & (WS_CAPTION | WS_THICKFRAME));
}

HWND FocusOf(HWND hWnd)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(GetWindowThreadProcessId(hWnd, nullptr), &info) ? info.hwndFocus : nullptr;
}

bool PostChars(HWND hTarget, const std::string& text)
{
    return Usable(hTarget) && std::all_of(text.begin(), text.end(), [&](char ch) {
               return PostMessageA(hTarget, WM_CHAR, static_cast<unsigned char>(ch), 1) != 0;
           });
}

static HANDLE hRemoteProcess;
static char* pRemote;
constexpr int CCH_ITEM = 512;
// A 32-bit target reads structures in their 32-bit layout.
static bool bRemote32;

bool OpenRemote(HANDLE hProcess)
{
    hRemoteProcess = hProcess;
    BOOL bWow64 = FALSE;
    bRemote32 = IsWow64Process(hProcess, &bWow64) && bWow64;
    pRemote = static_cast<char*>(VirtualAllocEx(hProcess, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    return pRemote != nullptr;
}

bool Remote(HWND hWnd, UINT uMsg, WPARAM wParam, void* pData, size_t cb, LRESULT& result)
{
    return WriteProcessMemory(hRemoteProcess, pRemote, pData, cb, nullptr) &&
           Ask(hWnd, uMsg, wParam, reinterpret_cast<LPARAM>(pRemote), result) &&
           ReadProcessMemory(hRemoteProcess, pRemote, pData, cb, nullptr);
}

std::vector<std::string> ListViewTexts(HWND hList)
{
    std::vector<std::string> texts;
    LRESULT count = 0, cch = 0;
    bool bRead = Ask(hList, LVM_GETITEMCOUNT, 0, 0, count);
    // LVITEMA as a 32-bit program lays it out: pszText at 20, cchTextMax at 24.
    struct LVITEMA32 { UINT mask; int iItem, iSubItem; UINT state, stateMask; DWORD pszText; int cchTextMax, rest[8]; };
    auto read = [&](auto item, WPARAM i) {
        struct { decltype(item) item; char szText[CCH_ITEM]; } get = {item, {}};
        UINT_PTR at = reinterpret_cast<UINT_PTR>(pRemote) + sizeof(item);
        if constexpr (std::is_same_v<decltype(item.pszText), DWORD>)
            get.item.pszText = static_cast<DWORD>(at);
        else
            get.item.pszText = reinterpret_cast<char*>(at);
        get.item.cchTextMax = CCH_ITEM;
        bRead = Remote(hList, LVM_GETITEMTEXTA, i, &get, sizeof(get), cch) && cch >= 0 && cch < CCH_ITEM;
        texts.emplace_back(get.szText, bRead ? static_cast<size_t>(cch) : 0);
    };
    for (WPARAM i = 0; bRead && i < static_cast<WPARAM>(count); ++i)
        bRemote32 ? read(LVITEMA32{}, i) : read(LVITEMA{}, i);
    return bRead ? texts : std::vector<std::string>{"(unreadable)"};
}

bool DoubleClickItem(HWND hList, const std::string& item)
{
    std::vector<std::string> items = ListViewTexts(hList);
    WPARAM n = static_cast<WPARAM>(std::find(items.begin(), items.end(), item) - items.begin());
    RECT rc = {LVIR_LABEL, 0, 0, 0};
    LRESULT ok = 0;
    if (n == items.size() || !Ask(hList, LVM_ENSUREVISIBLE, n, FALSE, ok) ||
        !Remote(hList, LVM_GETITEMRECT, n, &rc, sizeof(rc), ok) || !ok || !Usable(hList))
        return false;
    // In the order the system delivers them: down, up, double click, up.
    LPARAM at = MAKELPARAM((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    return PostMessageA(hList, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageA(hList, WM_LBUTTONUP, 0, at) &&
           PostMessageA(hList, WM_LBUTTONDBLCLK, MK_LBUTTON, at) && PostMessageA(hList, WM_LBUTTONUP, 0, at);
}

void WaitPainted(HWND hWnd)
{
    // Best effort: a screenshot of a half-painted page is still worth keeping.
    PollUntil(2000, [&] {
        std::vector<HWND> all = Children(hWnd);
        all.push_back(hWnd);
        return std::none_of(all.begin(), all.end(),
                            [](HWND h) { return IsWindowVisible(h) && GetUpdateRect(h, nullptr, FALSE); });
    });
    // Two round trips: the first may overtake the painting thread before it
    // has gone idle, which is when Wine hands its drawing to the display.
    Settled(hWnd);
    Settled(hWnd);
}

// Bottom-up rows of 24-bit pixels, each row padded to 4 bytes.
bool SaveScreenshot(const std::string& path)
{
    Grab screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    BITMAPINFOHEADER bih = {sizeof(bih), screen.cx, screen.cy, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<char> bits(((static_cast<size_t>(screen.cx) * 3 + 3) & ~size_t{3}) * static_cast<size_t>(screen.cy));
    BITMAPFILEHEADER bfh = {0x4D42 /* "BM" */, static_cast<DWORD>(sizeof(bfh) + sizeof(bih) + bits.size()), 0, 0,
                            sizeof(bfh) + sizeof(bih)};
    SelectObject(screen.hdc, screen.hOld);  // GetDIBits wants the bitmap free
    bool bRead = screen.bCopied && GetDIBits(screen.hdc, screen.hBitmap, 0, static_cast<UINT>(screen.cy), bits.data(),
                                             reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS) == screen.cy;
    FILE* f = bRead ? std::fopen(path.c_str(), "wb") : nullptr;
    bool bWritten = f && std::fwrite(&bfh, sizeof(bfh), 1, f) == 1 && std::fwrite(&bih, sizeof(bih), 1, f) == 1 &&
                    std::fwrite(bits.data(), bits.size(), 1, f) == 1;
    return f && std::fclose(f) == 0 && bWritten;
}

// The control's pixels on the screen compared with each standard icon drawn
// over the same background.
std::string IdentifyIcon(HWND hIconControl)
{
    RECT rc;
    POINT origin = {0, 0};
    if (!IsWindowVisible(hIconControl) || !GetClientRect(hIconControl, &rc) || !ClientToScreen(hIconControl, &origin) ||
        rc.right <= 0 || rc.bottom <= 0)
        return "none";
    Grab shown{origin.x, origin.y, rc.right, rc.bottom}, drawn{origin.x, origin.y, rc.right, rc.bottom};
    // The corner is background in every standard icon.
    HBRUSH hBackground = CreateSolidBrush(GetPixel(shown.hdc, 0, 0));
    const char* pszBest = nullptr;
    long long bestDiff = 0;
    for (auto [pszIcon, id] : {std::pair{"hand", IDI_HAND}, {"question", IDI_QUESTION},
                               {"exclamation", IDI_EXCLAMATION}, {"asterisk", IDI_ASTERISK}}) {
        FillRect(drawn.hdc, &rc, hBackground);
        DrawIconEx(drawn.hdc, 0, 0, LoadIconA(nullptr, id), rc.right, rc.bottom, 0, nullptr, DI_NORMAL);
        long long diff = 0;
        for (int y = 0; y < rc.bottom; ++y)
            for (int x = 0; x < rc.right; ++x)
                for (int shift = 0; shift < 24; shift += 8)
                    diff += std::abs(static_cast<int>(GetPixel(shown.hdc, x, y) >> shift & 0xFF) -
                                     static_cast<int>(GetPixel(drawn.hdc, x, y) >> shift & 0xFF));
        if (!pszBest || diff < bestDiff)
            pszBest = pszIcon, bestDiff = diff;
    }
    DeleteObject(hBackground);
    // Near-identical or nothing: an empty control matches every icon poorly.
    return shown.bCopied && bestDiff <= 12LL * rc.right * rc.bottom ? pszBest : "none";
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "\x01missing";
}

std::string ShellFolder(int csidl)
{
    char sz[MAX_PATH] = "";
    return SUCCEEDED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, sz)) ? sz : "";
}
