// Scope guards for GDI work inside one operation: device contexts (a memory
// context, the whole display, a window's), and an object or palette selected
// into a context. The previous object goes back into the context (when there
// was one) before the context goes, so no early return leaves a bitmap, font
// or palette selected or a context alive. Restore() puts the previous one
// back early, for code that must deselect in a given order.
#pragma once

#include <windows.h>

class MemoryDC {
public:
    explicit MemoryDC(HDC hdcLike) : hdc_(CreateCompatibleDC(hdcLike)) {}
    ~MemoryDC()
    {
        if (hdc_)
            DeleteDC(hdc_);
    }
    MemoryDC(const MemoryDC&) = delete;
    MemoryDC& operator=(const MemoryDC&) = delete;
    operator HDC() const { return hdc_; }

private:
    HDC hdc_;
};

// A context for the whole display, as the screen shows it.
class DisplayDC {
public:
    DisplayDC() : hdc_(CreateDCA("DISPLAY", nullptr, nullptr, nullptr)) {}
    ~DisplayDC()
    {
        if (hdc_)
            DeleteDC(hdc_);
    }
    DisplayDC(const DisplayDC&) = delete;
    DisplayDC& operator=(const DisplayDC&) = delete;
    operator HDC() const { return hdc_; }

private:
    HDC hdc_;
};

class WindowDC {
public:
    explicit WindowDC(HWND hWnd) : hWnd_(hWnd), hdc_(GetDC(hWnd)) {}
    ~WindowDC()
    {
        if (hdc_)
            ReleaseDC(hWnd_, hdc_);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    operator HDC() const { return hdc_; }

private:
    HWND hWnd_;
    HDC hdc_;
};

class SelectGuard {
public:
    SelectGuard(HDC hdc, HGDIOBJ hObject) : hdc_(hdc), hPrevious_(hdc && hObject ? SelectObject(hdc, hObject) : nullptr) {}
    ~SelectGuard() { Restore(); }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;
    // True while the object is selected.
    explicit operator bool() const { return hPrevious_ != nullptr; }

    void Restore()
    {
        if (hPrevious_)
            SelectObject(hdc_, hPrevious_);
        hPrevious_ = nullptr;
    }

private:
    HDC hdc_;
    HGDIOBJ hPrevious_;
};

// SelectPalette, not SelectObject, takes palettes; a null palette selects
// nothing. Selected in the foreground (FALSE), as the one being realised.
class PaletteGuard {
public:
    PaletteGuard(HDC hdc, HPALETTE hPalette)
        : hdc_(hdc), hPrevious_(hdc && hPalette ? SelectPalette(hdc, hPalette, FALSE) : nullptr)
    {
    }
    ~PaletteGuard() { Restore(); }
    PaletteGuard(const PaletteGuard&) = delete;
    PaletteGuard& operator=(const PaletteGuard&) = delete;

    void Restore()
    {
        if (hPrevious_)
            SelectPalette(hdc_, hPrevious_, FALSE);
        hPrevious_ = nullptr;
    }

private:
    HDC hdc_;
    HPALETTE hPrevious_;
};
