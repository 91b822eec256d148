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
        return PathJoin(szData, cchData, pszInstallDir, "uninstall.exe");
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
