#include "shortcuts/shortcut_rules.h"

#include "shell/strutil.h"

#include <cstring>

static bool EndsWithBackslash(const char* psz)
{
    size_t cch = std::strlen(psz);
    return cch > 0 && psz[cch - 1] == '\\';
}

bool ComposeValueData(char* szData, size_t cchData, ValueSource source, const char* pszInstallDir,
                      const char* pszProgramGroup)
{
    switch (source) {
    case SOURCE_PRODUCT_NAME:
        return StrCopy(szData, cchData, szProductKey);
    case SOURCE_INSTALL_DIR:
        return StrCopy(szData, cchData, pszInstallDir);
    case SOURCE_UNINSTALL_COMMAND:
        return StrFormat(szData, cchData, "\"%s\\uninstall.exe\"", pszInstallDir);
    case SOURCE_PROGRAM_GROUP:
        return pszProgramGroup[0] != '\0' && StrCopy(szData, cchData, pszProgramGroup);
    }
    return false;
}

uint32_t ValueDataSize(const char* pszData) { return static_cast<uint32_t>(std::strlen(pszData) + 1); }

bool ComposeProgramGroup(char* szGroup, size_t cchGroup, const char* pszParent)
{
    bool bFits = StrFormat(szGroup, cchGroup, "%s%s%s", pszParent, EndsWithBackslash(pszParent) ? "" : "\\",
                           szGroupFolder);
    if (!bFits && cchGroup)
        szGroup[0] = '\0';
    return bFits;
}

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// "X:" alone or followed by a separator.
static bool IsDrivePath(const char* psz)
{
    bool bLetter = (psz[0] >= 'A' && psz[0] <= 'Z') || (psz[0] >= 'a' && psz[0] <= 'z');
    return bLetter && psz[1] == ':' && (psz[2] == '\0' || IsSeparator(psz[2]));
}

static bool HasParentLevel(const char* psz)
{
    for (const char* p = psz; *p; ++p)
        if (p[0] == '.' && p[1] == '.' && (p == psz || IsSeparator(p[-1])) && (p[2] == '\0' || IsSeparator(p[2])))
            return true;
    return false;
}

size_t NextGroupLevel(const char* pszPath, size_t cchDone)
{
    size_t cch = std::strlen(pszPath);
    if (cchDone >= cch)
        return 0;
    if (!IsDrivePath(pszPath) || HasParentLevel(pszPath))
        return cchDone == 0 ? cch : 0;
    size_t i = cchDone < 2 ? 2 : cchDone;
    while (IsSeparator(pszPath[i]))
        ++i;
    if (pszPath[i] == '\0')
        return 0;
    while (pszPath[i] != '\0' && !IsSeparator(pszPath[i]))
        ++i;
    return i;
}

bool LinkWanted(const LinkRow& row, bool bDesktopChecked, bool bDesktopFound)
{
    return row.folder == LINK_IN_GROUP || (bDesktopChecked && bDesktopFound);
}

bool ComposeLink(const LinkRow& row, const char* pszFolder, const char* pszInstallDir, char* szLinkFile,
                 size_t cchLinkFile, char* szLinkTarget, size_t cchLinkTarget)
{
    // An empty folder would put the link at the root of the current drive.
    return pszFolder[0] != '\0' && PathJoin(szLinkFile, cchLinkFile, pszFolder, row.pszLinkName) &&
           PathJoin(szLinkTarget, cchLinkTarget, pszInstallDir, row.pszTargetName);
}

size_t LongestGroupLinkPath(const char* pszParent)
{
    size_t cchName = 0;
    for (const LinkRow& row : aLinkRows)
        if (row.folder == LINK_IN_GROUP && std::strlen(row.pszLinkName) > cchName)
            cchName = std::strlen(row.pszLinkName);
    size_t cchGroup = std::strlen(pszParent) + (EndsWithBackslash(pszParent) ? 0 : 1) + std::strlen(szGroupFolder);
    return cchGroup + 1 + cchName;
}

void GroupNavigateUp(char* pszParent)
{
    char* pLast = std::strrchr(pszParent, '\\');
    if (pLast)
        *pLast = '\0';
}

bool GroupNavigateInto(char* pszParent, size_t cchParent, const char* pszName)
{
    char szNew[SHORTCUT_TEXT_SIZE];
    if (!PathJoin(szNew, pszParent, pszName) || std::strlen(szNew) >= cchParent ||
        LongestGroupLinkPath(szNew) > MAX_LINK_PATH)
        return false;
    std::memcpy(pszParent, szNew, std::strlen(szNew) + 1);
    return true;
}

int ShellFolderFromValue(char* szFolder, size_t cchFolder, const char* pData, size_t cbData)
{
    size_t cch = cbData == 0 ? 0 : strnlen(pData, cbData);
    if (cch == 0)
        return 0;
    size_t cchKeep = pData[cch - 1] == '\\' ? cch - 1 : cch;
    if (cchKeep >= cchFolder)
        return 0;
    std::memcpy(szFolder, pData, cchKeep);
    szFolder[cchKeep] = '\0';
    return 1;
}
