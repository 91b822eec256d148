#include "uninstall/uninstall_rules.h"

#include "shell/strutil.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr char kSilentOption[] = "/S";
constexpr char kFromOption[] = "/FROM=";

char FoldCase(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }

// Options are ASCII; paths compare as the file system compares names.
bool SameTextIgnoringCase(const char* pchA, const char* pchB, size_t cch)
{
    for (size_t i = 0; i < cch; ++i)
        if (FoldCase(pchA[i]) != FoldCase(pchB[i]))
            return false;
    return true;
}

// Windows can create no file or folder with these in its name; '/' is a
// separator to Windows, and the installer writes only backslashes.
bool IsBadPathCharacter(unsigned char ch) { return ch < 0x20 || std::strchr("/<>\"|?*", ch) != nullptr; }

// Windows drops trailing dots and spaces from a component, so one made only
// of them means "." or "..", or nothing at all.
bool IsDotsAndSpaces(const char* pch, size_t cch)
{
    for (size_t i = 0; i < cch; ++i)
        if (pch[i] != '.' && pch[i] != ' ')
            return false;
    return true;
}

// The components of a relative path between backslashes: the first empty one
// or the first made of dots and spaces, whichever comes first.
enum class ComponentFault { None, Empty, Climbs };

ComponentFault CheckComponents(const char* pch, size_t cch)
{
    size_t nStart = 0;
    for (size_t i = 0; i <= cch; ++i) {
        if (i < cch && pch[i] != '\\')
            continue;
        if (i == nStart)
            return ComponentFault::Empty;
        if (IsDotsAndSpaces(pch + nStart, i - nStart))
            return ComponentFault::Climbs;
        nStart = i + 1;
    }
    return ComponentFault::None;
}

size_t Depth(const PathSpan& folder)
{
    size_t n = 1;
    for (size_t i = 0; i < folder.cch; ++i)
        n += folder.pch[i] == '\\';
    return n;
}

// Adds a folder unless it is there already; false when the list is full.
bool AddFolder(PathSpan* aFolders, size_t* pnFolders, size_t nMax, const char* pch, size_t cch)
{
    for (size_t i = 0; i < *pnFolders; ++i)
        if (SamePathText(aFolders[i].pch, aFolders[i].cch, pch, cch))
            return true;
    if (*pnFolders == nMax)
        return false;
    aFolders[(*pnFolders)++] = {pch, cch};
    return true;
}

bool StartsWithIgnoringCase(const char* psz, const char* pszPrefix)
{
    size_t cch = std::strlen(pszPrefix);
    return strnlen(psz, cch) == cch && SameTextIgnoringCase(psz, pszPrefix, cch);
}

bool StartsWithPath(const char* psz, const char* pszPrefix)
{
    size_t cch = std::strlen(pszPrefix);
    return strnlen(psz, cch) == cch && SamePathText(psz, cch, pszPrefix, cch);
}

bool IsArgSeparator(char ch) { return ch == ' ' || ch == '\t'; }

// The options after the program's name.
bool ParseUninstallArgs(const char* pszCmdLine, UninstallArgs* pArgs)
{
    *pArgs = {false, nullptr};
    const char* p = pszCmdLine;
    for (;;) {
        while (IsArgSeparator(*p))
            ++p;
        if (*p == '\0')
            return true;
        if (StartsWithIgnoringCase(p, kSilentOption) && (p[2] == '\0' || IsArgSeparator(p[2]))) {
            pArgs->bSilent = true;
            p += 2;
        } else if (StartsWithIgnoringCase(p, kFromOption) && p[sizeof kFromOption - 1] != '\0') {
            pArgs->pszFrom = p + sizeof kFromOption - 1;
            return true;
        } else {
            return false;
        }
    }
}

// Past the program's name, as the C runtime skips it for WinMain.
const char* SkipProgramName(const char* p)
{
    bool bQuoted = false;
    for (; *p != '\0' && (bQuoted || !IsArgSeparator(*p)); ++p)
        if (*p == '"')
            bQuoted = !bQuoted;
    return p;
}

}  // namespace

const char* PathRefusalText(PathRefusal refusal)
{
    switch (refusal) {
    case PathRefusal::None: return "can be used";
    case PathRefusal::Missing: return "is not recorded";
    case PathRefusal::Empty: return "is empty";
    case PathRefusal::TooLong: return "is too long";
    case PathRefusal::Malformed: return "is not a valid folder name";
    case PathRefusal::Relative: return "is not a full path with a drive letter";
    case PathRefusal::DriveRoot: return "is the root of a drive";
    case PathRefusal::ParentComponent: return "contains a \"..\" component";
    case PathRefusal::NotStartFolder: return "is not the folder this uninstaller was started from";
    }
    return "is not usable";
}

PathRefusal CheckRecordedFolder(const char* pch, size_t cch)
{
    if (pch == nullptr)
        return PathRefusal::Missing;
    if (cch == 0)
        return PathRefusal::Empty;
    if (cch > RECORDED_FOLDER_MAX)
        return PathRefusal::TooLong;
    for (size_t i = 0; i < cch; ++i) {
        const unsigned char ch = static_cast<unsigned char>(pch[i]);
        if (IsBadPathCharacter(ch) || (ch == ':' && i != 1))
            return PathRefusal::Malformed;
    }
    const bool bDrive = cch >= 2 && FoldCase(pch[0]) >= 'A' && FoldCase(pch[0]) <= 'Z' && pch[1] == ':';
    if (bDrive && cch == 2)
        return PathRefusal::DriveRoot;  // "C:" is the drive's current folder, its root as often as not
    if (!bDrive || pch[2] != '\\')
        return PathRefusal::Relative;
    if (cch == 3)
        return PathRefusal::DriveRoot;
    switch (CheckComponents(pch + 3, cch - 3)) {
    case ComponentFault::None: return PathRefusal::None;
    case ComponentFault::Empty: return PathRefusal::Malformed;
    case ComponentFault::Climbs: return PathRefusal::ParentComponent;
    }
    return PathRefusal::Malformed;
}

PathRefusal CheckInstallFolder(const char* pch, size_t cch, const char* pszStartFolder)
{
    PathRefusal refusal = CheckRecordedFolder(pch, cch);
    if (refusal != PathRefusal::None)
        return refusal;
    // The value passed every check, so it holds no NUL and ends at cch.
    if (!SamePathText(pch, cch, pszStartFolder, std::strlen(pszStartFolder)))
        return PathRefusal::NotStartFolder;
    return PathRefusal::None;
}

bool SamePath(const char* pszA, const char* pszB)
{
    return SamePathText(pszA, std::strlen(pszA), pszB, std::strlen(pszB));
}

bool IsInsideFolder(const char* pszPath, const char* pszFolder)
{
    const size_t cchFolder = std::strlen(pszFolder);
    if (cchFolder == 0 || !StartsWithPath(pszPath, pszFolder) || pszPath[cchFolder] != '\\')
        return false;
    const char* pszRest = pszPath + cchFolder + 1;
    return CheckManifestName(pszRest, std::strlen(pszRest)) == NameRefusal::None;
}

bool ReachesThroughLink(const char* pszPath, size_t cchFolder, bool (*pfnIsLink)(const char* pszLevel))
{
    char szLevel[2 * RECORDED_FOLDER_MAX + 2];
    if (!StrCopy(szLevel, pszPath) || std::strlen(szLevel) <= cchFolder || szLevel[cchFolder] != '\\')
        return true;
    for (char* p = szLevel + cchFolder; p; p = std::strchr(p + 1, '\\')) {
        *p = '\0';
        if (pfnIsLink(szLevel))
            return true;
        *p = '\\';
    }
    return false;
}

const char* NameRefusalText(NameRefusal refusal)
{
    switch (refusal) {
    case NameRefusal::None: return "valid";
    case NameRefusal::Empty: return "empty name";
    case NameRefusal::TooLong: return "name longer than 255 bytes";
    case NameRefusal::Absolute: return "absolute path";
    case NameRefusal::Drive: return "colon in the name (a drive or a stream)";
    case NameRefusal::BadCharacter: return "a control character or one of /<>\"|?* in the name";
    case NameRefusal::EmptyComponent: return "empty folder name (two backslashes in a row, or one at the end)";
    case NameRefusal::ParentComponent: return "a component made only of dots and spaces, such as \"..\"";
    }
    return "invalid";
}

NameRefusal CheckManifestName(const char* pch, size_t cch)
{
    if (cch == 0)
        return NameRefusal::Empty;
    if (cch > MANIFEST_NAME_MAX)
        return NameRefusal::TooLong;
    if (pch[0] == '\\')
        return NameRefusal::Absolute;
    for (size_t i = 0; i < cch; ++i) {
        const unsigned char ch = static_cast<unsigned char>(pch[i]);
        if (ch == ':')
            return NameRefusal::Drive;
        if (IsBadPathCharacter(ch))
            return NameRefusal::BadCharacter;
    }
    switch (CheckComponents(pch, cch)) {
    case ComponentFault::None: return NameRefusal::None;
    case ComponentFault::Empty: return NameRefusal::EmptyComponent;
    case ComponentFault::Climbs: return NameRefusal::ParentComponent;
    }
    return NameRefusal::EmptyComponent;
}

bool NextManifestName(ManifestReader* pReader, const char** ppchName, size_t* pcchName, NameRefusal* pRefusal)
{
    *pRefusal = NameRefusal::None;
    while (pReader->p < pReader->pEnd) {
        const char* pLine = pReader->p;
        const void* pNewline = std::memchr(pLine, '\n', static_cast<size_t>(pReader->pEnd - pLine));
        const char* pLineEnd = pNewline ? static_cast<const char*>(pNewline) : pReader->pEnd;
        pReader->p = pNewline ? pLineEnd + 1 : pReader->pEnd;
        ++pReader->nLine;
        size_t cch = static_cast<size_t>(pLineEnd - pLine);
        if (cch > 0 && pLine[cch - 1] == '\r')
            --cch;
        if (cch == 0)
            continue;
        *pRefusal = CheckManifestName(pLine, cch);
        if (*pRefusal != NameRefusal::None)
            return false;
        *ppchName = pLine;
        *pcchName = cch;
        return true;
    }
    return false;
}

size_t ListInstalledFolders(const PathSpan* aNames, size_t nNames, PathSpan* aFolders, size_t nMax)
{
    size_t n = 0;
    for (size_t i = 0; i < nNames; ++i)
        for (size_t j = 0; j < aNames[i].cch; ++j)
            if (aNames[i].pch[j] == '\\' && !AddFolder(aFolders, &n, nMax, aNames[i].pch, j))
                return SIZE_MAX;
    for (const char* pszFolder : kInstallerFolders)
        if (!AddFolder(aFolders, &n, nMax, pszFolder, std::strlen(pszFolder)))
            return SIZE_MAX;
    // Insertion sort: stable, and the lists are short.
    for (size_t i = 1; i < n; ++i) {
        const PathSpan folder = aFolders[i];
        size_t j = i;
        for (; j > 0 && Depth(aFolders[j - 1]) < Depth(folder); --j)
            aFolders[j] = aFolders[j - 1];
        aFolders[j] = folder;
    }
    return n;
}

bool ParseUninstallCommandLine(const char* pszCommandLine, const char* pszSelf, UninstallArgs* pArgs)
{
    // The whole path or nothing: "uninstall.exe2" or a folder of it is not
    // this program. StartsWithPath reads no further than the line.
    const char* pszArgs = SkipProgramName(pszCommandLine);
    const size_t cchSelf = std::strlen(pszSelf);
    if (StartsWithPath(pszCommandLine, pszSelf) &&
        (pszCommandLine[cchSelf] == '\0' || IsArgSeparator(pszCommandLine[cchSelf])))
        pszArgs = pszCommandLine + cchSelf;
    return ParseUninstallArgs(pszArgs, pArgs);
}

bool ComposeCopyCommand(char* szDest, size_t cchDest, const char* pszCopy, bool bSilent, const char* pszFrom)
{
    return StrCopy(szDest, cchDest, "\"") && StrAppend(szDest, cchDest, pszCopy) &&
           StrAppend(szDest, cchDest, bSilent ? "\" /S " : "\" ") && StrAppend(szDest, cchDest, kFromOption) &&
           StrAppend(szDest, cchDest, pszFrom);
}
