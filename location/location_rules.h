// Rules of the install location that need no Windows API: the drive table,
// the composition of the install directory, free-space arithmetic and folder
// navigation. The page and the browser call these; tests run them natively.
#pragma once

#include <cstddef>
#include <cstdint>

// Every file takes whole clusters of this many bytes: what NTFS formats by
// default and what Wine reports on any file system.
constexpr uint64_t CLUSTER_BYTES = 4096;

// What the copy run writes, in bytes, as the build measured the packed
// files: each game file, and in the temporary folder the staged gzip member
// and the archive decompressed from it, which both stay until the last
// record is written.
struct PayloadSizes {
    const uint64_t* pcbFiles;
    size_t nFiles;
    uint64_t cbStaged;
    uint64_t cbArchive;
};

// Every drive letter the system can report.
constexpr int DRIVE_TABLE_SIZE = 26;
constexpr size_t DRIVE_ROOT_SIZE = 5;  // "C:\" and its terminator, with room to spare

// Longest directory path that can still be created.
constexpr size_t MAX_DIRECTORY_PATH = 259;

struct DriveTable {
    char szRoots[DRIVE_TABLE_SIZE][DRIVE_ROOT_SIZE];
    int nCount;
};

// Fills the table from GetLogicalDriveStringsA's list (NUL-separated roots,
// ended by an empty one), upper-casing each root. Entries that are not drive
// roots or do not fit are skipped; at most DRIVE_TABLE_SIZE are kept.
void ParseDriveStrings(const char* pList, size_t cbList, DriveTable* pTable);

// Index of the first root whose letter is chLetter (any case), or -1.
int FindDrive(const DriveTable* pTable, char chLetter);

// The install directory: the parent, a backslash only when the parent is
// longer than 3 characters (anything shorter is taken for a root), then the
// folder. Returns false when it does not fit.
bool ComposeInstallDir(char* szDest, size_t cchDest, const char* pszParent, const char* pszFolder);

// Free space in units of 1000 bytes. The byte count is formed in 64 bits and
// saturated at the largest 32-bit value, so a large volume never wraps below
// the requirement.
uint32_t FreeKBFromGeometry(uint32_t dwSectorsPerCluster, uint32_t dwBytesPerSector, uint32_t dwFreeClusters);

// Space the installation needs on a drive, in units of 1000 bytes rounded
// up: every game file on whole clusters and, when the temporary folder lies
// on that drive, the staged payload and its archive on whole clusters too.
// Saturated at the largest 32-bit value, like the free space it is held
// against.
uint32_t RequiredKB(const PayloadSizes* pSizes, bool bTempOnDrive);

// Goes up one level in place: C:\Games\Sub becomes C:\Games, C:\Games
// becomes C:\. A path without a backslash is left alone.
void NavigateUp(char* pszPath);

// Enters the folder pszName below pszPath in place (with a backslash unless
// the path is a root of 3 characters or fewer). Refuses, leaving the path
// unchanged, when the new path or the install directory it would give (with
// pszProductFolder) would be longer than MAX_DIRECTORY_PATH.
bool NavigateInto(char* pszPath, size_t cchPath, const char* pszName, const char* pszProductFolder);
