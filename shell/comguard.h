// Scope guards for COM work inside one operation: the thread's COM
// initialisation, undone on every way out, and interface pointers released
// before it (declare the initialisation first).
#pragma once

#include <objbase.h>

// COM's entry points, from ole32.dll loaded by its System32 path when first
// asked for: the installer starts without it and the DLLs it brings, and
// loads them when its last page makes the shortcuts.
struct Ole32 {
    HRESULT(WINAPI* pfnCoInitialize)(LPVOID);
    HRESULT(WINAPI* pfnCoCreateInstance)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
    void(WINAPI* pfnCoUninitialize)();
};

// Null when ole32.dll or one of the three cannot be had.
const Ole32* LoadOle32();

class ComInitGuard {
public:
    // Whatever CoInitialize answers (S_FALSE when already initialised), the
    // call is balanced by CoUninitialize.
    explicit ComInitGuard(const Ole32& ole) : ole_(ole) { ole_.pfnCoInitialize(nullptr); }
    ~ComInitGuard() { ole_.pfnCoUninitialize(); }
    ComInitGuard(const ComInitGuard&) = delete;
    ComInitGuard& operator=(const ComInitGuard&) = delete;

private:
    const Ole32& ole_;
};

template <class T> class ComPtrGuard {
public:
    ComPtrGuard() = default;
    ~ComPtrGuard()
    {
        if (p_)
            p_->Release();
    }
    ComPtrGuard(const ComPtrGuard&) = delete;
    ComPtrGuard& operator=(const ComPtrGuard&) = delete;

    T* operator->() const { return p_; }
    T* get() const { return p_; }
    // For the creating call; the guard must not hold an interface yet.
    void** Out() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};
