// Payload unpacking: the copy page that the wizard runs, and what it is built
// from and the build tools reuse: the archive of game files that travels
// inside the installer, its extraction under the install directory, and the
// gzip file decompression that produces the archive.
#pragma once

#include "shell/platform.h"

#include <cstdio>

// Number of records in the payload built into the installer. The packer
// refuses any other count, so the archive and the installer always agree.
constexpr int PAYLOAD_RECORD_COUNT = 79;

// Failure flag of the unpacking: 1 when a record failed or the user asked to
// stop. The copy page's Cancel handler sets it too.
extern BOOL bCopyAborted;

// Called once per record with its output path, before its data is read.
typedef void (*RECORDSTARTEDPROC)(const char* pszOutputPath);
// Called after each record whose file was written; returns nonzero to stop.
typedef BOOL (*POLLPROC)(void);

// Why the last extraction stopped. The user sees only the copy page's texts;
// the tests, the unpack tool and the benchmark read the cause.
enum class ExtractStop {
    None,              // every record written
    MissingRecord,     // the archive ended before a record began
    CutInName,         // ... inside a record's name
    CutInSize,         // ... inside its size
    CutInData,         // ... inside its data
    NameRefused,       // a name that would leave the install directory
    PathTooLong,       // a name whose paths would not fit their buffers
    NoMemory,          // no block for the record's data
    WriteFailed,       // the output file could not be written whole
    StoppedByRequest,  // the poll hook asked to stop (Cancel)
};
extern ExtractStop eExtractStop;
const char* ExtractStopText(ExtractStop stop);

// Writes PAYLOAD_RECORD_COUNT records from fArchive under pszInstallDir.
// Returns bCopyAborted: 0 when every record was written, 1 otherwise, with
// the cause in eExtractStop.
BOOL ExtractPayloadArchive(FILE* fArchive, const char* pszInstallDir, RECORDSTARTEDPROC pfnRecordStarted,
                           POLLPROC pfnPoll);

// Decompresses the gzip file pszGzPath into pszOutPath. Failures are shown in
// a message box; a failed run leaves no output file behind.
void GunzipFile(const char* pszOutPath, const char* pszGzPath);

#ifdef _WIN32
// The copy page: 0 when all the game's files were written, 1 when the run
// failed or was cancelled (DialogBoxParamA's -1 when the page cannot open).
INT_PTR ShowCopyPage(HWND hOwner);
#endif
