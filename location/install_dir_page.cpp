// The install-directory page: proposes the default directory, checks the
// folder name and the free space, and creates the directory.
#include "location/location.h"
#include "resources/payload_sizes.h"
#include "resources/resource.h"
#include "shell/message.h"
#include "shell/msgmap.h"
#include "shell/shell.h"
#include "shell/strutil.h"
#include "shell/temp_dir.h"
#include "shell/wizard_state.h"

#include <cctype>
#include <cstring>

DriveTable driveTable;
int nSelectedDrive;
DWORD dwFreeKB;
DWORD dwRequiredKB;

// What the copy run writes, as the build measured the packed files.
static constexpr uint64_t acbGameFiles[] = {QUARNEL_GAME_FILE_BYTES};
static constexpr PayloadSizes payloadSizes = {acbGameFiles, sizeof(acbGameFiles) / sizeof(acbGameFiles[0]),
                                              QUARNEL_PAYLOAD_GZ_BYTES, QUARNEL_PAYLOAD_ARCHIVE_BYTES};

static LRESULT DirOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT DirOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT DirOnButton(HWND hDlg, WORD wId, WORD, LPARAM);

static constexpr MessageMapEntry aDirMessages[] = {
    {WM_COMMAND, DirOnCommand},
    {WM_INITDIALOG, DirOnInitDialog},
    {WM_PAINT, PaintPageBitmap},
};
static constexpr MessageMap DirMessageMap = MakeMessageMap(aDirMessages, DEFAULT_NONE);

static constexpr CommandMapEntry aDirCommands[] = {
    {IDOK, DirOnButton},
    {IDCANCEL, DirOnButton},
    {IDC_BROWSE, DirOnBrowse},
};
static constexpr CommandMap DirCommandMap = MakeCommandMap(aDirCommands, DEFAULT_NONE);

INT_PTR CALLBACK DirDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&DirMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT DirOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&DirCommandMap, hDlg, wParam, lParam);
}

// Whether the copy page's temporary files land on the drive of pszRoot.
static bool TempOnDrive(const char* pszRoot)
{
    char szReported[MAX_PATH] = {}, szTemp[MAX_PATH];
    DWORD dwReported = GetTempPathA(sizeof(szReported), szReported);
    return ChooseTempDir(szTemp, sizeof(szTemp), szReported, dwReported, szSetupDir) && szTemp[1] == ':' &&
           std::toupper(static_cast<unsigned char>(szTemp[0])) == std::toupper(static_cast<unsigned char>(pszRoot[0]));
}

void UpdateFreeSpace(int nDrive)
{
    bool bDrive = nDrive >= 0 && nDrive < driveTable.nCount;
    dwRequiredKB = RequiredKB(&payloadSizes, bDrive && TempOnDrive(driveTable.szRoots[nDrive]));
    DWORD dwSectorsPerCluster = 0, dwBytesPerSector = 0, dwFreeClusters = 0, dwTotalClusters = 0;
    // A drive that cannot tell (not ready, no such drive) counts as full, so
    // the user is asked to pick another one.
    if (!bDrive || !GetDiskFreeSpaceA(driveTable.szRoots[nDrive], &dwSectorsPerCluster, &dwBytesPerSector,
                                      &dwFreeClusters, &dwTotalClusters)) {
        dwFreeKB = 0;
        return;
    }
    dwFreeKB = FreeKBFromGeometry(dwSectorsPerCluster, dwBytesPerSector, dwFreeClusters);
}

void InitInstallLocation()
{
    char szList[4 * DRIVE_TABLE_SIZE + 2] = {};
    DWORD cchList = GetLogicalDriveStringsA(sizeof(szList), szList);
    if (cchList == 0 || cchList >= sizeof(szList))
        szList[0] = '\0';
    ParseDriveStrings(szList, sizeof(szList), &driveTable);

    CharUpperA(szSetupDir);
    int nSetupDrive = FindDrive(&driveTable, szSetupDir[0]);
    nSelectedDrive = nSetupDrive >= 0 ? nSetupDrive : 0;

    int nDriveC = FindDrive(&driveTable, 'C');
    if (nDriveC >= 0) {
        nSelectedDrive = nDriveC;
        char szWindows[MAX_PATH] = {};
        UINT cchWindows = GetWindowsDirectoryA(szWindows, sizeof(szWindows));
        char chWindows = cchWindows > 0 && std::isalpha(static_cast<unsigned char>(szWindows[0])) ? szWindows[0] : 'C';
        StrFormat(szInstallParent, sizeof(szInstallParent), "%c:\\Program files", chWindows);
        if (!SetCurrentDirectoryA(szInstallParent))
            StrCopy(szInstallParent, driveTable.szRoots[nDriveC]);
    } else if (driveTable.nCount > 0) {
        // Never a bare folder name relative to wherever the process stands.
        StrCopy(szInstallParent, driveTable.szRoots[nSelectedDrive]);
    }
    UpdateFreeSpace(nSelectedDrive);
}

static LRESULT DirOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    InitInstallLocation();
    StrCopy(szProductFolder, pszProductName);
    ComposeInstallDir(szInstallDir, sizeof(szInstallDir), szInstallParent, szProductFolder);
    SetDlgItemTextA(hDlg, IDC_TARGET_EDIT, szInstallDir);
    return 1;
}

const char szNoSpaceText[] =
    "You do not have enough Free disk space on this drive for installation. Change the drive or remove some "
    "other program-s to free more disk space.";

static const char szExistsText[] =
    "Directory allready exsist. Continue with the instalation ?\n\nNOTES: Click on the YES button if this is "
    "previous installation of this software, otherwise click on the NO button and select another installation "
    "directory.";

static void DirOnNext(HWND hDlg)
{
    if (szProductFolder[0] == '\0') {
        ShowMessage(hDlg, "You were forgoten to select an directory", pszSetupCaption, MB_ICONWARNING);
        SetFocus(GetDlgItem(hDlg, IDC_TARGET_EDIT));
        return;
    }
    if (dwFreeKB < dwRequiredKB) {
        ShowMessage(hDlg, szNoSpaceText, pszSetupCaption, MB_ICONERROR | MB_YESNO);
        return;
    }
    // A directory that cannot be named whole, or that is longer than a path
    // may be, is never created or used: the page stays, with a beep, and
    // asks nothing.
    if (!ComposeInstallDir(szInstallDir, sizeof(szInstallDir), szInstallParent, szProductFolder) ||
        strlen(szInstallDir) > MAX_DIRECTORY_PATH) {
        MessageBeep(MB_BEEP);
        return;
    }
    if (CreateDir(szInstallDir)) {
        EndDialog(hDlg, 0);
        return;
    }
    if (ShowMessage(hDlg, szExistsText, pszSetupCaption, MB_ICONQUESTION | MB_YESNO) == IDYES)
        EndDialog(hDlg, 0);
}

static LRESULT DirOnButton(HWND hDlg, WORD wId, WORD, LPARAM)
{
    if (wId == IDOK)
        DirOnNext(hDlg);
    else if (ConfirmCancelSetup(hDlg))
        EndDialog(hDlg, 1);
    return 0;
}
