// Rules for the relative names of payload records, shared by the extraction
// and the packer so that the packer refuses exactly what the installer would.
#pragma once

#include <cstddef>

constexpr size_t RECORD_NAME_MAX = 255;   // one length byte
constexpr size_t RECORD_NAME_BUFFER = 260;
constexpr size_t SUBDIR_PATH_BUFFER = 260;
constexpr size_t OUTPUT_PATH_BUFFER = 512;

enum class RecordNameError {
    None,
    Empty,
    TooLong,
    Absolute,        // starts with a backslash or slash
    Drive,           // holds a colon: a drive ("C:x") or a stream name
    ParentComponent, // a component made only of dots and spaces, such as ".."
};

// Checks a record name (up to its first NUL) that is to be placed under the
// install directory. Both separators count, as they do for Windows paths.
RecordNameError CheckRecordName(const char* pszName, size_t cchName);

const char* RecordNameErrorText(RecordNameError error);

// Whether the install directory and the name give paths that fit the
// extraction's buffers: each subdirectory in SUBDIR_PATH_BUFFER and the output
// path in OUTPUT_PATH_BUFFER, terminator included.
bool RecordPathsFit(size_t cchInstallDir, const char* pszName);
