// Extraction of the payload archive: a flat run of records, each a one-byte
// name length, the name, a little-endian 32-bit size and the file's bytes.
#include "payload/payload.h"
#include "payload/record_name.h"
#include "shell/fileguard.h"
#include "shell/strutil.h"

#include <cstring>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/types.h>
#endif

BOOL bCopyAborted = 0;
ExtractStop eExtractStop = ExtractStop::None;

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
static bool WriteOutputFile(const char* pszOutPath, const void* pData, size_t cbData)
{
    FileGuard out(FileOpen(pszOutPath, "wb"));
    if (!out)
        return false;
    RemoveFileGuard incomplete(pszOutPath);
    bool bWritten = cbData == 0 || std::fwrite(pData, 1, cbData, out.get()) == cbData;
    if (out.Close() != 0 || !bWritten)
        return false;
    incomplete.Keep();
    return true;
}

// One record's data in a movable block, freed on every way out.
class RecordBlock {
public:
    explicit RecordBlock(DWORD dwSize) : hBlock_(GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, dwSize)) {}
    ~RecordBlock()
    {
        if (pData_)
            GlobalUnlock(hBlock_);
        if (hBlock_)
            GlobalFree(hBlock_);
    }
    RecordBlock(const RecordBlock&) = delete;
    RecordBlock& operator=(const RecordBlock&) = delete;
    void* Lock() { return pData_ = hBlock_ ? GlobalLock(hBlock_) : nullptr; }

private:
    HGLOBAL hBlock_;
    void* pData_ = nullptr;
};

// Reads a record's data into one movable block and writes it out. The output
// file is created only once the whole record is in memory, so a record cut
// off inside its data leaves no file.
static ExtractStop ExtractRecordData(FILE* fArchive, const char* pszOutPath, DWORD dwSize)
{
    long long nLeft = RemainingBytes(fArchive);
    if (nLeft >= 0 && nLeft < static_cast<long long>(dwSize))
        return ExtractStop::CutInData;
    if (dwSize == 0)
        return WriteOutputFile(pszOutPath, nullptr, 0) ? ExtractStop::None : ExtractStop::WriteFailed;

    RecordBlock block(dwSize);
    void* pData = block.Lock();
    if (!pData)
        return ExtractStop::NoMemory;
    if (std::fread(pData, 1, dwSize, fArchive) != dwSize)
        return ExtractStop::CutInData;
    return WriteOutputFile(pszOutPath, pData, dwSize) ? ExtractStop::None : ExtractStop::WriteFailed;
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

// One record: its name, directories, size and data. Calls the record-started
// hook once the output path is known.
static ExtractStop ExtractRecord(FILE* fArchive, const char* pszInstallDir, RECORDSTARTEDPROC pfnRecordStarted)
{
    char szName[RECORD_NAME_BUFFER];
    char szOutPath[OUTPUT_PATH_BUFFER];

    unsigned char cbName = 0;
    if (std::fread(&cbName, 1, 1, fArchive) != 1)
        return ExtractStop::MissingRecord;
    std::memset(szName, 0, sizeof(szName));
    if (std::fread(szName, 1, cbName, fArchive) != cbName)
        return ExtractStop::CutInName;
    // A name that would leave the install directory or overflow a path
    // buffer fails before anything is written for it.
    if (CheckRecordName(szName, sizeof(szName)) != RecordNameError::None)
        return ExtractStop::NameRefused;
    if (!RecordPathsFit(std::strlen(pszInstallDir), szName))
        return ExtractStop::PathTooLong;

    CreateRecordDirectories(pszInstallDir, szName);
    if (!PathJoin(szOutPath, pszInstallDir, szName))
        return ExtractStop::PathTooLong;

    unsigned char abSize[4];
    if (std::fread(abSize, 1, sizeof(abSize), fArchive) != sizeof(abSize))
        return ExtractStop::CutInSize;
    DWORD dwSize = static_cast<DWORD>(abSize[0]) | static_cast<DWORD>(abSize[1]) << 8 |
                   static_cast<DWORD>(abSize[2]) << 16 | static_cast<DWORD>(abSize[3]) << 24;

    if (pfnRecordStarted)
        pfnRecordStarted(szOutPath);
    return ExtractRecordData(fArchive, szOutPath, dwSize);
}

BOOL ExtractPayloadArchive(FILE* fArchive, const char* pszInstallDir, RECORDSTARTEDPROC pfnRecordStarted,
                           POLLPROC pfnPoll)
{
    eExtractStop = ExtractStop::None;
    for (int nRecord = 0; nRecord < PAYLOAD_RECORD_COUNT; ++nRecord) {
        // Until the record is written whole it counts as failed.
        bCopyAborted = 1;
        eExtractStop = ExtractRecord(fArchive, pszInstallDir, pfnRecordStarted);
        if (eExtractStop != ExtractStop::None)
            break;
        bCopyAborted = 0;

        if (pfnPoll && pfnPoll())
            bCopyAborted = 1;
        if (bCopyAborted) {
            eExtractStop = ExtractStop::StoppedByRequest;
            break;
        }
    }
    return bCopyAborted;
}

const char* ExtractStopText(ExtractStop stop)
{
    switch (stop) {
    case ExtractStop::None: return "every record written";
    case ExtractStop::MissingRecord: return "archive ends before a record";
    case ExtractStop::CutInName: return "archive cut inside a record's name";
    case ExtractStop::CutInSize: return "archive cut inside a record's size";
    case ExtractStop::CutInData: return "archive cut inside a record's data";
    case ExtractStop::NameRefused: return "record name refused";
    case ExtractStop::PathTooLong: return "record path too long";
    case ExtractStop::NoMemory: return "no memory for a record";
    case ExtractStop::WriteFailed: return "output file not written";
    case ExtractStop::StoppedByRequest: return "stopped by request";
    }
    return "unknown";
}
