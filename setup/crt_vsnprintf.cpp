// zlib's gzip-file layer formats its path and error texts with snprintf,
// which MinGW resolves to __mingw_vsnprintf: a C99 printf engine (its
// floating-point conversions included) of about a tenth of setup.exe's code,
// for "%s" formats. This one, linked into setup.exe alone, hands them to the
// C library's own formatter instead, keeping the C99 contract zlib relies on:
// the text is always terminated, and the length it would have is returned.
#include <cstdarg>
#include <cstdio>

extern "C" int __cdecl __mingw_vsnprintf(char* pszDest, size_t cchDest, const char* pszFormat, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int cchWhole = _vscprintf(pszFormat, copy);
    va_end(copy);
    if (cchDest > 0) {
        int cch = _vsnprintf(pszDest, cchDest, pszFormat, args);
        if (cch < 0 || static_cast<size_t>(cch) >= cchDest)
            pszDest[cchDest - 1] = '\0';
    }
    return cchWhole;
}
