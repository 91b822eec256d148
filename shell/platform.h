// The few Windows types and calls that the platform-independent parts of the
// installer use. On Windows this is <windows.h>; on the build host (native
// unit tests, fuzzing, the payload packer) a small POSIX-backed subset stands
// in, so that the same extraction and decompression code runs under the
// sanitizers.
#pragma once

#include <cstdio>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

// Files of the installer are named with backslashes; on Windows they are
// opened and removed as they are.
inline FILE* FileOpen(const char* pszPath, const char* pszMode) { return std::fopen(pszPath, pszMode); }
inline BOOL FileDelete(const char* pszPath) { return DeleteFileA(pszPath); }

#else  // build host

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef uint32_t DWORD;
typedef uint32_t UINT;
typedef void* HWND;
typedef void* HGLOBAL;
typedef void* LPVOID;
typedef const char* LPCSTR;
typedef size_t SIZE_T;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define MB_OK 0x00000000u
#define MB_ICONERROR 0x00000010u
#define IDOK 1
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define MAX_PATH 260
#define WINAPI

struct SECURITY_ATTRIBUTES {
    DWORD nLength;
    LPVOID lpSecurityDescriptor;
    BOOL bInheritHandle;
};

// Paths keep their backslashes throughout the code; the host turns them into
// slashes at the point where they reach the file system.
BOOL CreateDirectoryA(const char* pszPath, SECURITY_ATTRIBUTES* pSecurity);
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
LPVOID GlobalLock(HGLOBAL hMem);
BOOL GlobalUnlock(HGLOBAL hMem);
HGLOBAL GlobalFree(HGLOBAL hMem);
FILE* FileOpen(const char* pszPath, const char* pszMode);
BOOL FileDelete(const char* pszPath);

#endif

// Creates one directory level with inheritable default security; returns
// CreateDirectoryA's result (0 when it exists already or cannot be made).
BOOL CreateDir(const char* pszPath);
