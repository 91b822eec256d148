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

// Writes PAYLOAD_RECORD_COUNT records from fArchive under pszInstallDir.
// Returns bCopyAborted: 0 when every record was written, 1 otherwise.
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
