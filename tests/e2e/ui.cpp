#include "tests/e2e/ui.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

namespace e2e {

// A target that takes longer than this to answer one message is hung.
constexpr UINT ANSWER_MS = 5000;

std::string ClassOf(HWND hWnd)
{
    char szClass[256] = "";
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    return szClass;
}

std::string TitleOf(HWND hWnd)
{
    char szTitle[1024] = "";
    GetWindowTextA(hWnd, szTitle, sizeof(szTitle));
    return szTitle;
}

bool Ask(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(hWnd, uMsg, wParam, lParam, SMTO_ABORTIFHUNG, ANSWER_MS, &answer))
        return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

bool ReadText(HWND hWnd, std::string& text)
{
    LRESULT length = 0;
    if (!Ask(hWnd, WM_GETTEXTLENGTH, 0, 0, length) || length < 0)
        return false;
    std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
    LRESULT copied = 0;
    if (!Ask(hWnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()), copied) || copied < 0)
        return false;
    text.assign(buffer.data(), static_cast<size_t>(copied));
    return true;
}

namespace {
struct WindowQuery {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectVisible(HWND hWnd, LPARAM lParam)
{
    auto* query = reinterpret_cast<WindowQuery*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hWnd, &pid);
    if (pid == query->pid && IsWindowVisible(hWnd))
        query->found.push_back(hWnd);
    return TRUE;
}
}  // namespace

std::vector<HWND> VisibleWindows(DWORD pid)
{
    WindowQuery query{pid, {}};
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

bool Usable(HWND hWnd) { return IsWindow(hWnd) && IsWindowVisible(hWnd) && IsWindowEnabled(hWnd); }

bool Gone(HWND hWnd) { return !IsWindow(hWnd) || !IsWindowVisible(hWnd); }

bool PostClick(HWND hDlg, int id)
{
    HWND hButton = GetDlgItem(hDlg, id);
    if (!hButton || !Usable(hDlg) || !Usable(hButton))
        return false;
    return PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(hButton)) != 0;
}

bool PostKey(HWND hTarget, UINT vk)
{
    if (!Usable(hTarget))
        return false;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC)) << 16;
    return PostMessageA(hTarget, WM_KEYDOWN, vk, scan | 1) &&
           PostMessageA(hTarget, WM_KEYUP, vk, scan | 1 | (LPARAM{1} << 30) | (LPARAM{1} << 31));
}

bool PostChars(HWND hTarget, const std::string& text)
{
    if (!Usable(hTarget))
        return false;
    for (char ch : text)
        if (!PostMessageA(hTarget, WM_CHAR, static_cast<unsigned char>(ch), 1))
            return false;
    return true;
}

bool PostDoubleClick(HWND hTarget, POINT pt)
{
    if (!Usable(hTarget))
        return false;
    // The order the system delivers: down, up, double click, up.
    LPARAM at = MAKELPARAM(pt.x, pt.y);
    return PostMessageA(hTarget, WM_LBUTTONDOWN, MK_LBUTTON, at) && PostMessageA(hTarget, WM_LBUTTONUP, 0, at) &&
           PostMessageA(hTarget, WM_LBUTTONDBLCLK, MK_LBUTTON, at) && PostMessageA(hTarget, WM_LBUTTONUP, 0, at);
}

bool ComboTexts(HWND hCombo, std::vector<std::string>& texts)
{
    texts.clear();
    LRESULT count = 0;
    if (!Ask(hCombo, CB_GETCOUNT, 0, 0, count) || count < 0)
        return false;
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT cch = 0;
        if (!Ask(hCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0, cch) || cch < 0)
            return false;
        // Wine hands the text across unconverted when asked through the A
        // entry point, so it is asked for in UTF-16.
        std::vector<wchar_t> buffer(static_cast<size_t>(cch) + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(hCombo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(buffer.data()),
                                 SMTO_ABORTIFHUNG, ANSWER_MS, &copied) ||
            static_cast<LRESULT>(copied) < 0)
            return false;
        char szText[256] = "";
        int cb = WideCharToMultiByte(CP_ACP, 0, buffer.data(), -1, szText, sizeof(szText), nullptr, nullptr);
        if (cb <= 0)
            return false;
        texts.emplace_back(szText);
    }
    return true;
}

namespace {
// Memory in another process, released with the object.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE hProcess, size_t cb)
        : hProcess(hProcess), cb(cb), pBase(VirtualAllocEx(hProcess, nullptr, cb, MEM_COMMIT, PAGE_READWRITE))
    {
    }
    ~RemoteBuffer()
    {
        if (pBase)
            VirtualFreeEx(hProcess, pBase, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool Ok() const { return pBase != nullptr; }
    char* At(size_t offset) const { return static_cast<char*>(pBase) + offset; }
    bool Write(size_t offset, const void* pData, size_t cbData) const
    {
        return offset + cbData <= cb && WriteProcessMemory(hProcess, At(offset), pData, cbData, nullptr);
    }
    bool Read(size_t offset, void* pData, size_t cbData) const
    {
        return offset + cbData <= cb && ReadProcessMemory(hProcess, At(offset), pData, cbData, nullptr);
    }

private:
    HANDLE hProcess;
    size_t cb;
    void* pBase;
};
}  // namespace

bool ListViewTexts(HANDLE hProcess, HWND hList, std::vector<std::string>& texts)
{
    texts.clear();
    constexpr int CCH_TEXT = 512;
    RemoteBuffer remote(hProcess, sizeof(LVITEMA) + CCH_TEXT);
    LRESULT count = 0;
    if (!remote.Ok() || !Ask(hList, LVM_GETITEMCOUNT, 0, 0, count))
        return false;
    for (LRESULT i = 0; i < count; ++i) {
        LVITEMA item = {};
        item.pszText = remote.At(sizeof(item));
        item.cchTextMax = CCH_TEXT;
        char szText[CCH_TEXT] = "";
        LRESULT cch = 0;
        if (!remote.Write(0, &item, sizeof(item)) ||
            !Ask(hList, LVM_GETITEMTEXTA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote.At(0)), cch) ||
            cch < 0 || cch >= CCH_TEXT || !remote.Read(sizeof(item), szText, sizeof(szText)))
            return false;
        texts.emplace_back(szText, static_cast<size_t>(cch));
    }
    return true;
}

bool ListViewItemCentre(HANDLE hProcess, HWND hList, int nItem, POINT& pt)
{
    RemoteBuffer remote(hProcess, sizeof(RECT));
    RECT rc = {LVIR_LABEL, 0, 0, 0};
    LRESULT ok = 0;
    if (!remote.Ok() || !Ask(hList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), FALSE, ok) ||
        !remote.Write(0, &rc, sizeof(rc)) ||
        !Ask(hList, LVM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(remote.At(0)), ok) || !ok ||
        !remote.Read(0, &rc, sizeof(rc)))
        return false;
    pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    return true;
}

HWND FocusOf(DWORD tid)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(tid, &info) ? info.hwndFocus : nullptr;
}

namespace {
BOOL CALLBACK FindUnpainted(HWND hWnd, LPARAM lParam)
{
    if (IsWindowVisible(hWnd) && GetUpdateRect(hWnd, nullptr, FALSE)) {
        *reinterpret_cast<bool*>(lParam) = true;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

void WaitPainted(HWND hWnd)
{
    // Best effort: a screenshot of a half-painted page is still worth keeping.
    PollUntil(2000, [&] {
        bool bUnpainted = GetUpdateRect(hWnd, nullptr, FALSE) != 0;
        if (!bUnpainted)
            EnumChildWindows(hWnd, FindUnpainted, reinterpret_cast<LPARAM>(&bUnpainted));
        return !bUnpainted;
    });
    // Two round trips: the first may overtake the painting thread before it
    // has gone idle, which is when Wine hands its drawing to the display.
    LRESULT ignored;
    Ask(hWnd, WM_NULL, 0, 0, ignored);
    Ask(hWnd, WM_NULL, 0, 0, ignored);
}

namespace {
// A DIB with its own memory DC: 32-bit top-down for reading pixels, or
// 24-bit bottom-up as a BMP file stores them.
struct Canvas {
    HDC hdc = nullptr;
    HBITMAP hBitmap = nullptr;
    HGDIOBJ hOld = nullptr;
    DWORD* pPixels = nullptr;
    int nWidth, nHeight;

    Canvas(int width, int height, WORD bits = 32) : nWidth(width), nHeight(height)
    {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = width;
        bi.bmiHeader.biHeight = bits == 32 ? -height : height;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = bits;
        bi.bmiHeader.biCompression = BI_RGB;
        void* pBits = nullptr;
        hBitmap = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
        hdc = CreateCompatibleDC(nullptr);
        if (hBitmap && hdc)
            hOld = SelectObject(hdc, hBitmap);
        pPixels = static_cast<DWORD*>(pBits);
    }
    ~Canvas()
    {
        if (hOld)
            SelectObject(hdc, hOld);
        if (hdc)
            DeleteDC(hdc);
        if (hBitmap)
            DeleteObject(hBitmap);
    }
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    bool Ok() const { return hOld && pPixels; }
    bool CopyScreen(int x, int y)
    {
        HDC hScreen = GetDC(nullptr);
        BOOL bCopied = BitBlt(hdc, 0, 0, nWidth, nHeight, hScreen, x, y, SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, hScreen);
        GdiFlush();
        return bCopied != 0;
    }
};
}  // namespace

bool SaveScreenshot(const std::string& path)
{
    Canvas canvas(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), 24);
    if (!canvas.Ok() || !canvas.CopyScreen(0, 0))
        return false;
    DWORD cbStride = (static_cast<DWORD>(canvas.nWidth) * 3 + 3) & ~3u;
    DWORD cbBits = cbStride * static_cast<DWORD>(canvas.nHeight);
    BITMAPINFOHEADER bih = {};
    bih.biSize = sizeof(bih);
    bih.biWidth = canvas.nWidth;
    bih.biHeight = canvas.nHeight;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    bih.biSizeImage = cbBits;
    BITMAPFILEHEADER bfh = {};
    bfh.bfType = 0x4D42;  // "BM"
    bfh.bfOffBits = sizeof(bfh) + sizeof(bih);
    bfh.bfSize = bfh.bfOffBits + cbBits;

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool bWritten = std::fwrite(&bfh, sizeof(bfh), 1, f) == 1 && std::fwrite(&bih, sizeof(bih), 1, f) == 1 &&
                    std::fwrite(canvas.pPixels, cbBits, 1, f) == 1;
    return std::fclose(f) == 0 && bWritten;
}

const char* IconName(Icon icon)
{
    switch (icon) {
    case Icon::Hand: return "hand";
    case Icon::Question: return "question";
    case Icon::Exclamation: return "exclamation";
    case Icon::Asterisk: return "asterisk";
    case Icon::None: break;
    }
    return "none";
}

Icon IdentifyIcon(HWND hIconControl)
{
    RECT rc;
    POINT origin = {0, 0};
    if (!hIconControl || !IsWindowVisible(hIconControl) || !GetClientRect(hIconControl, &rc) ||
        !ClientToScreen(hIconControl, &origin))
        return Icon::None;
    int w = rc.right, h = rc.bottom;
    if (w <= 0 || h <= 0 || w > 256 || h > 256)
        return Icon::None;
    Canvas shown(w, h);
    if (!shown.Ok() || !shown.CopyScreen(origin.x, origin.y))
        return Icon::None;
    // The corner is background in every standard icon.
    DWORD bg = shown.pPixels[0];
    COLORREF bgColour = RGB((bg >> 16) & 0xFF, (bg >> 8) & 0xFF, bg & 0xFF);

    static const struct {
        Icon icon;
        LPCSTR id;
    } kStandard[] = {{Icon::Hand, IDI_HAND},
                     {Icon::Question, IDI_QUESTION},
                     {Icon::Exclamation, IDI_EXCLAMATION},
                     {Icon::Asterisk, IDI_ASTERISK}};
    Icon best = Icon::None;
    long long bestDiff = 0;
    for (const auto& standard : kStandard) {
        Canvas drawn(w, h);
        HICON hIcon = LoadIconA(nullptr, standard.id);
        if (!drawn.Ok() || !hIcon)
            continue;
        HBRUSH hBrush = CreateSolidBrush(bgColour);
        RECT all = {0, 0, w, h};
        FillRect(drawn.hdc, &all, hBrush);
        DeleteObject(hBrush);
        DrawIconEx(drawn.hdc, 0, 0, hIcon, w, h, 0, nullptr, DI_NORMAL);
        GdiFlush();
        long long diff = 0;
        for (int i = 0; i < w * h; ++i)
            for (int shift = 0; shift < 24; shift += 8)
                diff += std::abs(static_cast<int>((shown.pPixels[i] >> shift) & 0xFF) -
                                 static_cast<int>((drawn.pPixels[i] >> shift) & 0xFF));
        if (best == Icon::None || diff < bestDiff) {
            best = standard.icon;
            bestDiff = diff;
        }
    }
    // Near-identical or nothing: an empty control matches every icon poorly.
    return bestDiff <= static_cast<long long>(w) * h * 3 * 4 ? best : Icon::None;
}

}  // namespace e2e
