// Extraction of the payload archive: a flat run of records, each a one-byte
// name length, the name, a little-endian 32-bit size and the file's bytes.
#include "payload/payload.h"
#include "payload/record_name.h"
#include "shell/strutil.h"

#include <cstring>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/types.h>
#endif

BOOL bCopyAborted = 0;

// Bytes left in the archive after the current position, or -1 when the
// stream cannot tell (not a regular file). Used to recognise a record cut off
// inside its data before a block of its full declared size is obtained.
static long long RemainingBytes(FILE* fArchive)
{
#ifdef _WIN32
    long long nPos = _ftelli64(fArchive);
    struct _stati64 st;
    if (nPos < 0 || _fstati64(_fileno(fArchive), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG)
        return -1;
#else
    long long nPos = ftello(fArchive);
    struct stat st;
    if (nPos < 0 || fstat(fileno(fArchive), &st) != 0 || !S_ISREG(st.st_mode))
        return -1;
#endif
    long long nLeft = static_cast<long long>(st.st_size) - nPos;
    return nLeft < 0 ? 0 : nLeft;
}

// Writes one output file in a single write; a short write or a failed close
// fails the record and removes the incomplete file.
static BOOL WriteOutputFile(const char* pszOutPath, const void* pData, size_t cbData)
{
    FILE* fOut = FileOpen(pszOutPath, "wb");
    if (!fOut)
        return FALSE;
    bool bOk = cbData == 0 || std::fwrite(pData, 1, cbData, fOut) == cbData;
    if (std::fclose(fOut) != 0)
        bOk = false;
    if (!bOk)
        FileDelete(pszOutPath);
    return bOk ? TRUE : FALSE;
}

// Reads a record's data into one movable block and writes it out. The output
// file is created only once the whole record is in memory, so a record cut
// off inside its data leaves no file.
static BOOL ExtractRecordData(FILE* fArchive, const char* pszOutPath, DWORD dwSize)
{
    long long nLeft = RemainingBytes(fArchive);
    if (nLeft >= 0 && nLeft < static_cast<long long>(dwSize))
        return FALSE;
    if (dwSize == 0)
        return WriteOutputFile(pszOutPath, nullptr, 0);

    HGLOBAL hBlock = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dwSize);
    if (!hBlock)
        return FALSE;
    BOOL bWritten = FALSE;
    LPVOID pData = GlobalLock(hBlock);
    if (pData) {
        if (std::fread(pData, 1, dwSize, fArchive) == dwSize)
            bWritten = WriteOutputFile(pszOutPath, pData, dwSize);
        GlobalUnlock(hBlock);
    }
    GlobalFree(hBlock);
    return bWritten;
}

// Attempts every directory level of the name, outer level first. Results are
// ignored: a level that exists already is the normal case.
static void CreateRecordDirectories(const char* pszInstallDir, const char* pszName)
{
    char szSubdir[SUBDIR_PATH_BUFFER];
    size_t n = std::strlen(pszName);
    for (size_t i = 1; i < n; ++i) {
        if (pszName[i] != '\\')
            continue;
        std::memset(szSubdir, 0, sizeof(szSubdir));
        if (!StrFormat(szSubdir, sizeof(szSubdir), "%s\\%.*s", pszInstallDir, static_cast<int>(i), pszName))
            return;
        CreateDir(szSubdir);
    }
}

BOOL ExtractPayloadArchive(FILE* fArchive, const char* pszInstallDir, RECORDSTARTEDPROC pfnRecordStarted,
                           POLLPROC pfnPoll)
{
    char szName[RECORD_NAME_BUFFER];
    char szOutPath[OUTPUT_PATH_BUFFER];
    size_t cchInstallDir = std::strlen(pszInstallDir);

    for (int nRecord = 0; nRecord < PAYLOAD_RECORD_COUNT; ++nRecord) {
        // Every early exit below is a failed record.
        bCopyAborted = 1;

        unsigned char cbName = 0;
        if (std::fread(&cbName, 1, 1, fArchive) != 1)
            break;
        std::memset(szName, 0, sizeof(szName));
        if (std::fread(szName, 1, cbName, fArchive) != cbName)
            break;
        // A name that would leave the install directory or overflow a path
        // buffer fails before anything is written for it.
        if (CheckRecordName(szName, sizeof(szName)) != RecordNameError::None ||
            !RecordPathsFit(cchInstallDir, szName))
            break;

        CreateRecordDirectories(pszInstallDir, szName);
        if (!PathJoin(szOutPath, pszInstallDir, szName))
            break;

        unsigned char abSize[4];
        if (std::fread(abSize, 1, sizeof(abSize), fArchive) != sizeof(abSize))
            break;
        DWORD dwSize = static_cast<DWORD>(abSize[0]) | static_cast<DWORD>(abSize[1]) << 8 |
                       static_cast<DWORD>(abSize[2]) << 16 | static_cast<DWORD>(abSize[3]) << 24;

        if (pfnRecordStarted)
            pfnRecordStarted(szOutPath);

        if (!ExtractRecordData(fArchive, szOutPath, dwSize))
            break;
        bCopyAborted = 0;

        if (pfnPoll && pfnPoll())
            bCopyAborted = 1;
        if (bCopyAborted)
            break;
    }
    return bCopyAborted;
}
