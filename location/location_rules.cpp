#include "location/location_rules.h"

#include <cctype>
#include <cstring>

static char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

void ParseDriveStrings(const char* pList, size_t cbList, DriveTable* pTable)
{
    pTable->nCount = 0;
    size_t i = 0;
    while (i < cbList && pList[i] != '\0') {
        size_t cch = strnlen(pList + i, cbList - i);
        if (i + cch >= cbList)
            break;  // an entry without its terminator: the list was cut off
        // Only "X:\" is a drive root; anything else in the list is skipped.
        bool bRoot = cch == 3 && std::isalpha(static_cast<unsigned char>(pList[i])) && pList[i + 1] == ':' &&
                     pList[i + 2] == '\\';
        if (bRoot && pTable->nCount < DRIVE_TABLE_SIZE) {
            char* pszRoot = pTable->szRoots[pTable->nCount++];
            for (size_t k = 0; k < cch; ++k)
                pszRoot[k] = Upper(pList[i + k]);
            pszRoot[cch] = '\0';
        }
        i += cch + 1;
    }
    for (int n = pTable->nCount; n < DRIVE_TABLE_SIZE; ++n)
        pTable->szRoots[n][0] = '\0';
}

int FindDrive(const DriveTable* pTable, char chLetter)
{
    for (int n = 0; n < pTable->nCount; ++n)
        if (pTable->szRoots[n][0] == Upper(chLetter))
            return n;
    return -1;
}

bool ComposeInstallDir(char* szDest, size_t cchDest, const char* pszParent, const char* pszFolder)
{
    size_t cchParent = std::strlen(pszParent);
    size_t cchFolder = std::strlen(pszFolder);
    size_t cchSep = cchParent > 3 ? 1 : 0;
    if (cchDest == 0 || cchParent + cchSep + cchFolder >= cchDest) {
        if (cchDest)
            szDest[0] = '\0';
        return false;
    }
    std::memmove(szDest, pszParent, cchParent);
    if (cchSep)
        szDest[cchParent] = '\\';
    std::memcpy(szDest + cchParent + cchSep, pszFolder, cchFolder + 1);
    return true;
}

uint32_t FreeKBFromGeometry(uint32_t dwSectorsPerCluster, uint32_t dwBytesPerSector, uint32_t dwFreeClusters)
{
    // The full product fits 64 bits when one factor is first widened: at most
    // 2^32 * 2^32 would not, so clamp after each step.
    uint64_t nBytes = uint64_t(dwSectorsPerCluster) * dwFreeClusters;
    if (nBytes > UINT32_MAX)
        nBytes = UINT32_MAX;
    nBytes *= dwBytesPerSector;
    if (nBytes > UINT32_MAX)
        nBytes = UINT32_MAX;
    return static_cast<uint32_t>(nBytes / 1000);
}

static uint64_t OnClusters(uint64_t cb)
{
    // A size this close to 2^64 is no file's; it must not wrap to nothing.
    if (cb > UINT64_MAX - (CLUSTER_BYTES - 1))
        return UINT64_MAX / CLUSTER_BYTES * CLUSTER_BYTES;
    return (cb + CLUSTER_BYTES - 1) / CLUSTER_BYTES * CLUSTER_BYTES;
}

uint32_t RequiredKB(const PayloadSizes* pSizes, bool bTempOnDrive)
{
    uint64_t cbNeeded = 0;
    auto add = [&cbNeeded](uint64_t cb) {
        cb = OnClusters(cb);
        cbNeeded = cb > UINT64_MAX - cbNeeded ? UINT64_MAX : cbNeeded + cb;
    };
    for (size_t n = 0; n < pSizes->nFiles; ++n)
        add(pSizes->pcbFiles[n]);
    if (bTempOnDrive) {
        add(pSizes->cbStaged);
        add(pSizes->cbArchive);
    }
    uint64_t nKB = cbNeeded / 1000 + (cbNeeded % 1000 != 0 ? 1 : 0);
    return nKB > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(nKB);
}

void NavigateUp(char* pszPath)
{
    char* pLast = std::strrchr(pszPath, '\\');
    if (!pLast)
        return;
    if (pLast - pszPath > 3)
        *pLast = '\0';
    else
        pLast[1] = '\0';
}

bool NavigateInto(char* pszPath, size_t cchPath, const char* pszName, const char* pszProductFolder)
{
    size_t cchOld = std::strlen(pszPath);
    size_t cchNew = cchOld + (cchOld > 3 ? 1 : 0) + std::strlen(pszName);
    size_t cchInstall = cchNew + 1 + std::strlen(pszProductFolder);
    if (cchNew > MAX_DIRECTORY_PATH || cchInstall > MAX_DIRECTORY_PATH || cchNew >= cchPath)
        return false;
    if (cchOld > 3)
        pszPath[cchOld++] = '\\';
    std::memcpy(pszPath + cchOld, pszName, std::strlen(pszName) + 1);
    return true;
}
