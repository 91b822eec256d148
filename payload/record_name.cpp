#include "payload/record_name.h"

#include <cstring>

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and spaces from a path component, so ". ." or
// "..." may end up meaning "." or ".."; none of these is a real name.
static bool IsDotsOnly(const char* pszBegin, const char* pszEnd)
{
    if (pszBegin == pszEnd)
        return false;
    bool bDot = false;
    for (const char* p = pszBegin; p != pszEnd; ++p) {
        if (*p == '.')
            bDot = true;
        else if (*p != ' ')
            return false;
    }
    return bDot;
}

RecordNameError CheckRecordName(const char* pszName, size_t cchName)
{
    size_t n = strnlen(pszName, cchName);
    if (n == 0)
        return RecordNameError::Empty;
    if (n > RECORD_NAME_MAX)
        return RecordNameError::TooLong;
    if (IsSeparator(pszName[0]))
        return RecordNameError::Absolute;
    if (std::memchr(pszName, ':', n))
        return RecordNameError::Drive;
    const char* pszEnd = pszName + n;
    const char* pszComponent = pszName;
    for (const char* p = pszName; p <= pszEnd; ++p) {
        if (p == pszEnd || IsSeparator(*p)) {
            if (IsDotsOnly(pszComponent, p))
                return RecordNameError::ParentComponent;
            pszComponent = p + 1;
        }
    }
    return RecordNameError::None;
}

const char* RecordNameErrorText(RecordNameError error)
{
    switch (error) {
    case RecordNameError::None: return "valid";
    case RecordNameError::Empty: return "empty name";
    case RecordNameError::TooLong: return "name longer than 255 bytes";
    case RecordNameError::Absolute: return "absolute name";
    case RecordNameError::Drive: return "name with a drive letter or colon";
    case RecordNameError::ParentComponent: return "name with a \"..\" or other dots-only component";
    }
    return "invalid name";
}

bool RecordPathsFit(size_t cchInstallDir, const char* pszName)
{
    size_t n = std::strlen(pszName);
    // Output path: dir + '\' + name + NUL.
    if (cchInstallDir + 1 + n + 1 > OUTPUT_PATH_BUFFER)
        return false;
    // Deepest subdirectory: dir + '\' + name up to its last backslash + NUL.
    const char* pszLast = std::strrchr(pszName, '\\');
    if (pszLast && pszLast != pszName) {
        size_t i = static_cast<size_t>(pszLast - pszName);
        if (cchInstallDir + 1 + i + 1 > SUBDIR_PATH_BUFFER)
            return false;
    }
    return true;
}
