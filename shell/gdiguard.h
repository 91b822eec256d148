// Scope guards for GDI work inside one operation: a memory device context,
// and an object selected into a context. The previous object goes back into
// the context (when there was one) before the context is deleted, so no
// early return leaves a bitmap or font selected or a context alive.
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

class SelectGuard {
public:
    SelectGuard(HDC hdc, HGDIOBJ hObject) : hdc_(hdc), hPrevious_(hdc && hObject ? SelectObject(hdc, hObject) : nullptr) {}
    ~SelectGuard()
    {
        if (hPrevious_)
            SelectObject(hdc_, hPrevious_);
    }
    SelectGuard(const SelectGuard&) = delete;
    SelectGuard& operator=(const SelectGuard&) = delete;

private:
    HDC hdc_;
    HGDIOBJ hPrevious_;
};
