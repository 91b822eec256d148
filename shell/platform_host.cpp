// POSIX stand-ins for the Windows calls of platform.h, used only by the
// build-host builds (unit tests, fuzzing, tools).
#include "shell/platform.h"

#ifndef _WIN32
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

static std::string HostPath(const char* pszPath)
{
    std::string path(pszPath);
    for (char& c : path)
        if (c == '\\')
            c = '/';
    return path;
}

BOOL CreateDirectoryA(const char* pszPath, SECURITY_ATTRIBUTES*)
{
    return mkdir(HostPath(pszPath).c_str(), 0777) == 0;
}

// A movable block is simply a zeroed heap block on the host; locking returns
// its address. The size header keeps the behaviour of a zero-byte request
// (a handle that cannot be locked) the same as on Windows.
struct HostBlock {
    size_t cb;
    unsigned char data[1];
};

HGLOBAL GlobalAlloc(UINT, SIZE_T dwBytes)
{
    if (dwBytes > (static_cast<SIZE_T>(1) << 32))
        return nullptr;
    void* p = std::calloc(1, offsetof(HostBlock, data) + dwBytes + 1);
    if (p)
        static_cast<HostBlock*>(p)->cb = dwBytes;
    return p;
}

LPVOID GlobalLock(HGLOBAL hMem)
{
    if (!hMem)
        return nullptr;
    HostBlock* pBlock = static_cast<HostBlock*>(hMem);
    return pBlock->cb ? pBlock->data : nullptr;
}

BOOL GlobalUnlock(HGLOBAL) { return FALSE; }

HGLOBAL GlobalFree(HGLOBAL hMem)
{
    std::free(hMem);
    return nullptr;
}

FILE* FileOpen(const char* pszPath, const char* pszMode)
{
    std::string path = HostPath(pszPath);
    // fopen("x/", "wb") may succeed on some libcs for a directory; Windows
    // never opens a directory as a file.
    struct stat st;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return nullptr;
    }
    return std::fopen(path.c_str(), pszMode);
}

BOOL FileDelete(const char* pszPath)
{
    return unlink(HostPath(pszPath).c_str()) == 0;
}
#endif
