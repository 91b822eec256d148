// Rules of the shortcuts and system entries that need no Windows API: the
// registry values in the order they are written, the program group's
// composition and folder levels, the shortcuts with their conditions, the
// length limits, the shortcut-folder browser's navigation and the reading of
// a shell folder.
// The page, the writers and the browser call these; tests run them natively.
#pragma once

#include <cstddef>
#include <cstdint>

// The wizard's text buffers (szGroupParent, szProgramGroup, szLinkFile, ...).
constexpr size_t SHORTCUT_TEXT_SIZE = 512;

// The wide buffer the link file's path is converted into: a longer path is
// refused, never cut.
constexpr size_t LINK_PATH_WIDE_CHARS = 260;
constexpr size_t MAX_LINK_PATH = LINK_PATH_WIDE_CHARS - 1;

// The folder of the shortcuts below the group parent, and the one value the
// uninstaller reads it from.
constexpr char szGroupFolder[] = "Quarnel";

// Keys below HKEY_LOCAL_MACHINE.
constexpr char szAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr char szUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr char szShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
// The product's subkey under App Paths and under Uninstall.
constexpr char szProductKey[] = "Quarnel";

// The registry's REG_SZ, kept here so the table needs no Windows header.
constexpr uint32_t VALUE_TYPE_SZ = 1;

enum ValueSource {
    SOURCE_PRODUCT_NAME,       // "Quarnel"
    SOURCE_INSTALL_DIR,        // szInstallDir
    SOURCE_UNINSTALL_COMMAND,  // szInstallDir followed by "\uninstall.exe", in double quotes
    SOURCE_PROGRAM_GROUP,      // the program group, as "Scdir"
};

struct RegistryValue {
    const char* pszKey;   // the parent key; the value lives in its szProductKey subkey
    const char* pszName;  // "" is the key's default value
    uint32_t dwType;
    ValueSource source;
};

// Every value the installer writes, in write order. The uninstaller reads
// "Scdir" and "Progdir", so names and meanings are fixed.
constexpr RegistryValue aRegistryValues[] = {
    {szAppPathsKey, "", VALUE_TYPE_SZ, SOURCE_PRODUCT_NAME},
    {szAppPathsKey, "Path", VALUE_TYPE_SZ, SOURCE_INSTALL_DIR},
    {szUninstallKey, "DisplayName", VALUE_TYPE_SZ, SOURCE_PRODUCT_NAME},
    {szUninstallKey, "UninstallString", VALUE_TYPE_SZ, SOURCE_UNINSTALL_COMMAND},
    {szUninstallKey, "Scdir", VALUE_TYPE_SZ, SOURCE_PROGRAM_GROUP},
    {szUninstallKey, "Progdir", VALUE_TYPE_SZ, SOURCE_INSTALL_DIR},
};

// The value's text into szData[cchData]. False when it does not fit, or for
// the program group when there is none (a group too long to be composed is
// not recorded): that value is then not written. The uninstall command is
// quoted because Windows runs the stored text as a command line, which a
// blank would split; one whose quoted form does not fit is not written,
// never stored cut or unquoted.
bool ComposeValueData(char* szData, size_t cchData, ValueSource source, const char* pszInstallDir,
                      const char* pszProgramGroup);

// Stored size of a text value: its characters and the terminating NUL.
uint32_t ValueDataSize(const char* pszData);

// The program group: the parent, a backslash unless the parent already ends
// with one, and szGroupFolder. False (and an empty result) when it does not
// fit: no group is made under a cut name.
bool ComposeProgramGroup(char* szGroup, size_t cchGroup, const char* pszParent);

// The folders Finish makes for the program group, outermost first, so that a
// group under missing parents is made whole. On a drive path ("X:" or "X:\"
// then the levels) every level below the drive's root; a level that exists
// already simply fails to be made again. Any other path (relative, UNC,
// without a drive root, or with a ".." level) gets only its own folder, as
// it always did: nothing is made above or beside it. Each call gives the
// length of the next level's prefix of pszPath after the prefix of cchDone
// characters (0 for the first), always longer than cchDone, or 0 when none
// is left.
size_t NextGroupLevel(const char* pszPath, size_t cchDone);

enum LinkFolder { LINK_IN_DESKTOP, LINK_IN_GROUP };

struct LinkRow {
    LinkFolder folder;
    const char* pszLinkName;    // joined to the folder
    const char* pszTargetName;  // joined to the install directory
    const char* pszDescription;
};

// The shortcuts of Finish, in the order they are made. The uninstaller looks
// for these names in the program group.
constexpr LinkRow aLinkRows[] = {
    {LINK_IN_DESKTOP, "Quarnel.lnk", "quarnel.exe", "Quarnel"},
    {LINK_IN_GROUP, "Quarnel.lnk", "quarnel.exe", "Quarnel"},
    {LINK_IN_GROUP, "Uninstall.lnk", "uninstall.exe", "Uninstall"},
    {LINK_IN_GROUP, "Readme.lnk", "Readme.rtf", "Readme"},
};

// The desktop shortcut only with its box checked and the desktop folder
// found; the group's shortcuts always.
bool LinkWanted(const LinkRow& row, bool bDesktopChecked, bool bDesktopFound);

// The link file ("%s\%s" with the folder) and its target ("%s\%s" with the
// install directory). False when the folder is empty or either path does
// not fit its buffer: that shortcut is then not made.
bool ComposeLink(const LinkRow& row, const char* pszFolder, const char* pszInstallDir, char* szLinkFile,
                 size_t cchLinkFile, char* szLinkTarget, size_t cchLinkTarget);

// Length of the longest link path the program group under pszParent gives.
size_t LongestGroupLinkPath(const char* pszParent);

// The shortcut-folder browser's navigation, in place on the group parent.
// Up removes the last backslash and what follows (no drive-root rule; no
// backslash, no change). Into appends a backslash and the name, unless the
// parent would no longer fit cchParent or the group's longest link path
// would exceed MAX_LINK_PATH: then it returns false and changes nothing.
void GroupNavigateUp(char* pszParent);
bool GroupNavigateInto(char* pszParent, size_t cchParent, const char* pszName);

// A shell folder from the registry value's data (up to cbData bytes, not
// necessarily terminated): an empty text gives 0; otherwise the text without
// one trailing backslash goes to szFolder and the result is 1. A text that
// does not fit szFolder gives 0. On 0, szFolder is unchanged.
int ShellFolderFromValue(char* szFolder, size_t cchFolder, const char* pData, size_t cbData);
