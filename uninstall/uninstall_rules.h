// Decisions of the game's uninstaller that need no Windows API: which
// recorded folders it trusts, which manifest names it accepts, the folders it
// tries to remove and in which order, the links it may touch, and its command
// line. uninstall.exe and the build's list generator (qunlist) call these;
// the native tests and a fuzzer run them on the build host.
#pragma once

#include <cstddef>

// Exit codes of uninstall.exe. With /S the original process waits for its
// temporary copy and returns the copy's code; without it, the original
// returns UNINSTALL_DONE as soon as the copy runs.
enum UninstallExit : int {
    UNINSTALL_DONE = 0,        // everything the installation made is gone
    UNINSTALL_CANCELLED = 1,   // the user answered No: nothing removed
    UNINSTALL_REFUSED = 2,     // not installed, an unknown option or an unusable install folder: nothing removed
    UNINSTALL_INCOMPLETE = 3,  // something could not be removed (the user is shown what)
    UNINSTALL_NO_COPY = 4,     // the temporary copy could not be made or started: nothing removed
};

// The links the installer makes in the program group, and on the desktop.
constexpr const char* const kGroupLinks[] = {"Quarnel.lnk", "Uninstall.lnk", "Readme.lnk"};
constexpr char kDesktopLink[] = "Quarnel.lnk";
// Folders the installer makes under the install folder besides those of the
// game's files.
constexpr const char* const kInstallerFolders[] = {"AImages"};
// The name the installer's uninstall entry and link start; the manifest must
// list it.
constexpr char kUninstallerName[] = "uninstall.exe";

// The longest recorded folder accepted: with its terminator it fills a
// MAX_PATH buffer.
constexpr size_t RECORDED_FOLDER_MAX = 259;
// The longest manifest name: the installer's record names have one length byte.
constexpr size_t MANIFEST_NAME_MAX = 255;

enum class PathRefusal {
    None,
    Missing,          // no value recorded
    Empty,
    TooLong,          // over RECORDED_FOLDER_MAX
    Malformed,        // a control character, one of /<>"|?*, a colon after the drive, or an empty component
    Relative,         // does not start with a drive letter, a colon and a backslash
    DriveRoot,        // a drive and nothing else: "C:" or "C:\"
    ParentComponent,  // a component made only of dots and spaces, such as ".."
    NotStartFolder,   // not the folder the uninstaller was started from
};

// Completes "The recorded folder ..." ("is the root of a drive").
const char* PathRefusalText(PathRefusal refusal);

// Checks a folder recorded by the installer: cch bytes at pch, any bytes at
// all (pch is null when the value is missing). Only a full path on a drive,
// below its root, with no component that climbs or is empty, is accepted.
// Bytes are checked one by one: in a double-byte code page a trail byte that
// equals a separator can only add refusals, never hide a ".." component.
PathRefusal CheckRecordedFolder(const char* pch, size_t cch);

// CheckRecordedFolder, and then the folder must be pszStartFolder, the folder
// of the uninstaller's original location.
PathRefusal CheckInstallFolder(const char* pch, size_t cch, const char* pszStartFolder);

// Whether two paths name the same thing to the file system, case aside
// (SamePathText). Callers pass both
// in their long form, as the file system reports it.
bool SamePath(const char* pszA, const char* pszB);

// Whether pszPath names something below pszFolder: the folder, a backslash,
// and a rest that is a valid manifest name (so nothing climbs back out).
bool IsInsideFolder(const char* pszPath, const char* pszFolder);

// Whether removing pszPath, a path below pszFolder (cchFolder bytes long),
// would reach through a link: pfnIsLink says yes for the folder itself or
// for a folder between it and the path's last component. The last component
// may be a link itself: removing it removes only the link. A path not
// below the folder, or too long to check, counts as reaching through one.
bool ReachesThroughLink(const char* pszPath, size_t cchFolder, bool (*pfnIsLink)(const char* pszLevel));

enum class NameRefusal {
    None,
    Empty,
    TooLong,          // over MANIFEST_NAME_MAX
    Absolute,         // starts with a backslash
    Drive,            // holds a colon: a drive ("C:x") or a stream name
    BadCharacter,     // a control character or one of /<>"|?*
    EmptyComponent,   // two backslashes in a row, or one at the end
    ParentComponent,  // a component made only of dots and spaces
};

const char* NameRefusalText(NameRefusal refusal);

// Checks one manifest name: a relative path below the install folder with
// backslashes between its folders.
NameRefusal CheckManifestName(const char* pch, size_t cch);

// Reads a manifest held in memory: one name a line, LF or CR LF line ends,
// blank lines skipped.
struct ManifestReader {
    const char* p;
    const char* pEnd;
    size_t nLine;  // the line last read, counted from 1
};

inline ManifestReader StartManifest(const char* pText, size_t cbText) { return {pText, pText + cbText, 0}; }

// Moves to the next name. Returns false at the end (refusal None) or at a
// name that CheckManifestName refuses (the reader's nLine is its line).
bool NextManifestName(ManifestReader* pReader, const char** ppchName, size_t* pcchName, NameRefusal* pRefusal);

// A piece of a longer text, such as a folder of a manifest name.
struct PathSpan {
    const char* pch;
    size_t cch;
};

// The folders the installation made below its install folder: those of the
// manifest's names and the installer's own, each once (case aside),
// deepest first and otherwise in the order the manifest first names them, so
// that each is tried only after everything below it. Writes at most nMax
// (enough: the backslashes in all names plus the installer's folders) and
// returns the count, or (size_t)-1 when nMax is too small.
size_t ListInstalledFolders(const PathSpan* aNames, size_t nNames, PathSpan* aFolders, size_t nMax);

// The command line of uninstall.exe, after the program's name. "/S" asks for
// an unattended run; "/FROM=" is given only to the temporary copy, by the
// original, and takes the rest of the line: the original's full path.
struct UninstallArgs {
    bool bSilent;
    const char* pszFrom;  // inside the parsed line; null in the original
};

// Reads the whole command line (GetCommandLineA) given the program's own full
// path pszSelf ("" when unknown). The program's name ends where the C runtime
// ends it for WinMain: at the first space or tab outside double quotes. But
// uninstall entries of earlier installers hold the path unquoted, and the
// system's list of programs starts that text as the command line unchanged,
// which would leave the rest of a path with a space as an argument. So a line
// that starts with pszSelf itself, unquoted (case aside), followed by
// its end, a space or a tab, has its options read after the whole path.
// Returns false for anything else on the line.
bool ParseUninstallCommandLine(const char* pszCommandLine, const char* pszSelf, UninstallArgs* pArgs);

// The temporary copy's command line: its quoted path, then the options that
// ParseUninstallCommandLine reads back. Returns false when it does not fit.
bool ComposeCopyCommand(char* szDest, size_t cchDest, const char* pszCopy, bool bSilent, const char* pszFrom);
