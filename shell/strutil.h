// Bounded text helpers for the fixed-size buffers of the installer. Each one
// always leaves a NUL-terminated string and reports whether the whole text
// fitted; a caller that must not use a shortened path checks the result.
#pragma once

#include <cstdarg>
#include <cstddef>

// Copies pszSrc into szDest[cchDest]. Returns false (with a shortened copy)
// when it does not fit.
bool StrCopy(char* szDest, size_t cchDest, const char* pszSrc);

// Appends pszSrc to the string in szDest[cchDest]. Returns false when the
// result does not fit; the destination then holds as much as fitted.
bool StrAppend(char* szDest, size_t cchDest, const char* pszSrc);

// printf-style formatting into szDest[cchDest]. Returns false when the result
// does not fit.
bool StrFormat(char* szDest, size_t cchDest, const char* pszFormat, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool StrFormatV(char* szDest, size_t cchDest, const char* pszFormat, va_list args);

// Joins a folder name to its parent with exactly one backslash ("%s\%s").
bool PathJoin(char* szDest, size_t cchDest, const char* pszParent, const char* pszName);

// Whether two path texts are the same name to the file system: the system's
// case-insensitive comparison of their ANSI code page text (so "Quärnel" and
// "QUÄRNEL" match). The build host, which has no such table, folds ASCII only.
bool SamePathText(const char* pchA, size_t cchA, const char* pchB, size_t cchB);

template <size_t N> bool StrCopy(char (&szDest)[N], const char* pszSrc) { return StrCopy(szDest, N, pszSrc); }
template <size_t N> bool StrAppend(char (&szDest)[N], const char* pszSrc) { return StrAppend(szDest, N, pszSrc); }
template <size_t N> bool PathJoin(char (&szDest)[N], const char* pszParent, const char* pszName)
{
    return PathJoin(szDest, N, pszParent, pszName);
}
