// Scope guards for the files of one operation: a stream closed on every way
// out, and a file path removed on every way out unless kept.
#pragma once

#include "shell/platform.h"

#include <cstdio>

class FileGuard {
public:
    explicit FileGuard(FILE* f = nullptr) : f_(f) {}
    ~FileGuard() { Close(); }
    FileGuard(const FileGuard&) = delete;
    FileGuard& operator=(const FileGuard&) = delete;

    FILE* get() const { return f_; }
    explicit operator bool() const { return f_ != nullptr; }
    // Closes now and reports fclose's result (0 when nothing was open), for
    // callers that must know whether buffered data reached the disk.
    int Close()
    {
        int nResult = f_ ? std::fclose(f_) : 0;
        f_ = nullptr;
        return nResult;
    }

private:
    FILE* f_;
};

// The path must outlive the guard.
class RemoveFileGuard {
public:
    explicit RemoveFileGuard(const char* pszPath = nullptr) : pszPath_(pszPath) {}
    ~RemoveFileGuard()
    {
        if (pszPath_)
            FileDelete(pszPath_);
    }
    RemoveFileGuard(const RemoveFileGuard&) = delete;
    RemoveFileGuard& operator=(const RemoveFileGuard&) = delete;

    void Arm(const char* pszPath) { pszPath_ = pszPath; }
    void Keep() { pszPath_ = nullptr; }

private:
    const char* pszPath_;
};
