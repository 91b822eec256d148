// Scope guard for a registry key opened or created by one operation: closed
// on every way out, a product key before the parent it was created under.
#pragma once

#include <windows.h>

class RegKeyGuard {
public:
    RegKeyGuard() = default;
    ~RegKeyGuard()
    {
        if (hKey_)
            RegCloseKey(hKey_);
    }
    RegKeyGuard(const RegKeyGuard&) = delete;
    RegKeyGuard& operator=(const RegKeyGuard&) = delete;

    operator HKEY() const { return hKey_; }
    // For the opening call; the guard must not hold a key yet.
    PHKEY Out() { return &hKey_; }

private:
    HKEY hKey_ = nullptr;
};
