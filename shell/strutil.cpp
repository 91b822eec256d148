#include "shell/strutil.h"

#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

bool StrCopy(char* szDest, size_t cchDest, const char* pszSrc)
{
    if (cchDest == 0)
        return false;
    size_t n = std::strlen(pszSrc);
    bool bFits = n < cchDest;
    if (!bFits)
        n = cchDest - 1;
    std::memcpy(szDest, pszSrc, n);
    szDest[n] = '\0';
    return bFits;
}

bool StrAppend(char* szDest, size_t cchDest, const char* pszSrc)
{
    size_t nUsed = strnlen(szDest, cchDest);
    if (nUsed >= cchDest)
        return false;
    return StrCopy(szDest + nUsed, cchDest - nUsed, pszSrc);
}

bool StrFormatV(char* szDest, size_t cchDest, const char* pszFormat, va_list args)
{
    if (cchDest == 0)
        return false;
#ifdef _WIN32
    // The C library's own, not MinGW's C99 one, whose printf engine would be
    // most of the uninstaller and a tenth of setup.exe's code. When the text
    // does not fit it returns -1, or cchDest when only the terminator is
    // left out; either way nothing is terminated, and both fail the test
    // below. The formats are held to its conversions at compile time (GCC's
    // printf format on MinGW is the C library's).
    int n = _vsnprintf(szDest, cchDest, pszFormat, args);
#else
    int n = std::vsnprintf(szDest, cchDest, pszFormat, args);
#endif
    szDest[cchDest - 1] = '\0';
    return n >= 0 && static_cast<size_t>(n) < cchDest;
}

bool StrFormat(char* szDest, size_t cchDest, const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    bool bFits = StrFormatV(szDest, cchDest, pszFormat, args);
    va_end(args);
    return bFits;
}

bool PathJoin(char* szDest, size_t cchDest, const char* pszParent, const char* pszName)
{
    return StrFormat(szDest, cchDest, "%s\\%s", pszParent, pszName);
}

#ifdef _WIN32
bool SamePathText(const char* pchA, size_t cchA, const char* pchB, size_t cchB)
{
    // Paths here are at most a folder and a manifest name joined.
    constexpr int kMaxWide = 1024;
    WCHAR wszA[kMaxWide], wszB[kMaxWide];
    if (cchA >= kMaxWide || cchB >= kMaxWide)
        return false;
    int nA = cchA ? MultiByteToWideChar(CP_ACP, 0, pchA, static_cast<int>(cchA), wszA, kMaxWide) : 0;
    int nB = cchB ? MultiByteToWideChar(CP_ACP, 0, pchB, static_cast<int>(cchB), wszB, kMaxWide) : 0;
    if ((cchA && !nA) || (cchB && !nB))
        return false;
    return CompareStringOrdinal(wszA, nA, wszB, nB, TRUE) == CSTR_EQUAL;
}
#else
bool SamePathText(const char* pchA, size_t cchA, const char* pchB, size_t cchB)
{
    auto fold = [](char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; };
    if (cchA != cchB)
        return false;
    for (size_t i = 0; i < cchA; ++i)
        if (fold(pchA[i]) != fold(pchB[i]))
            return false;
    return true;
}
#endif
