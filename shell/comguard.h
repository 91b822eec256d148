// Scope guards for COM work inside one operation: the thread's COM
// initialisation, undone on every way out, and interface pointers released
// before it (declare the initialisation first).
#pragma once

#include <objbase.h>

class ComInitGuard {
public:
    // Whatever CoInitialize answers (S_FALSE when already initialised), the
    // call is balanced by CoUninitialize.
    ComInitGuard() { CoInitialize(nullptr); }
    ~ComInitGuard() { CoUninitialize(); }
    ComInitGuard(const ComInitGuard&) = delete;
    ComInitGuard& operator=(const ComInitGuard&) = delete;
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
