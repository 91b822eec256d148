#include "shell/strutil.h"

#include <cstdio>
#include <cstring>

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
    int n = std::vsnprintf(szDest, cchDest, pszFormat, args);
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
