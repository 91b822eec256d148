// The copy page. Its whole run is one command handler posted by the page to
// itself, so the page is on screen before the work starts; Cancel is seen
// only between two files, in the message pump that the extraction calls.
#include "payload/copy_page.h"

#include "payload/payload.h"
#include "resources/resource.h"
#include "shell/fileguard.h"
#include "shell/message.h"
#include "shell/msgmap.h"
#include "shell/shell.h"
#include "shell/strutil.h"
#include "shell/wizard_state.h"

#include <cstdio>
#include <share.h>
#include <cstring>
#include <initializer_list>

PROGRESSBAR ProgressBar;
char szTempDir[MAX_PATH];

// The page of the run in progress, for the extraction's hooks.
static HWND hCopyPage;

static LRESULT CopyOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT CopyOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT CopySetupFiles(HWND hDlg, WORD, WORD, LPARAM);
static LRESULT CopyOnCancel(HWND hDlg, WORD, WORD, LPARAM);

static constexpr MessageMapEntry aCopyMessages[] = {
    {WM_COMMAND, CopyOnCommand},
    {WM_INITDIALOG, CopyOnInitDialog},
    {WM_PAINT, PaintPageBitmap},
};
static constexpr MessageMap CopyMessageMap = MakeMessageMap(aCopyMessages, DEFAULT_NONE);

static constexpr CommandMapEntry aCopyCommands[] = {
    {IDM_START_COPY, CopySetupFiles},
    {IDCANCEL, CopyOnCancel},
};
static constexpr CommandMap CopyCommandMap = MakeCommandMap(aCopyCommands, DEFAULT_NONE);

INT_PTR ShowCopyPage(HWND hOwner)
{
    return DialogBoxParamA(hAppInstance, "IDD_COPY", hOwner, CopyDlgProc, 0);
}

INT_PTR CALLBACK CopyDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&CopyMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT CopyOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&CopyCommandMap, hDlg, wParam, lParam);
}

static LRESULT CopyOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    PostMessageA(hDlg, WM_COMMAND, IDM_START_COPY, 0);
    return TRUE;
}

// Only raises the flag: the run ends the page at its next check.
static LRESULT CopyOnCancel(HWND, WORD, WORD, LPARAM)
{
    bCopyAborted = 1;
    return 1;
}

// Progress bar

void InitProgressBar(HWND hBar, int nStepTotal)
{
    ProgressBar = PROGRESSBAR{};
    ProgressBar.hBar = hBar;
    GetClientRect(hBar, &ProgressBar.rcDone);
    ProgressBar.rcRest = ProgressBar.rcDone;
    InitProgressSteps(&ProgressBar.steps, ProgressBar.rcDone.right, nStepTotal);
    ProgressBar.rcDone.left = ProgressBar.rcDone.right = ProgressBar.rcRest.left = 0;
    ProgressBar.hBarDC = GetDC(hBar);
    ProgressBar.hDoneBrush = CreateSolidBrush(RGB(0, 0, 255));
    ProgressBar.hRestBrush = CreateSolidBrush(RGB(0, 0, 0));
}

void StepProgressBar()
{
    PROGRESSBAR& bar = ProgressBar;
    if (AdvanceProgressSteps(&bar.steps)) {
        StrFormat(bar.szPercent, sizeof(bar.szPercent), "%d", bar.steps.nLastPercent);
        if (bar.hBarDC)
            GetTextExtentPoint32A(bar.hBarDC, bar.szPercent, static_cast<int>(std::strlen(bar.szPercent)),
                                  &bar.sizeText);
    }
    if (!bar.hBarDC)
        return;
    bar.rcDone.right = bar.steps.nFilled;
    FillRect(bar.hBarDC, &bar.rcDone, bar.hDoneBrush);
    bar.rcRest.left = bar.steps.nFilled;
    FillRect(bar.hBarDC, &bar.rcRest, bar.hRestBrush);
    SetBkMode(bar.hBarDC, TRANSPARENT);
    SetTextColor(bar.hBarDC, RGB(255, 255, 255));
    TextOutA(bar.hBarDC, bar.rcRest.right / 2 - bar.sizeText.cx / 2, (bar.rcRest.bottom - bar.sizeText.cy) / 2,
             bar.szPercent, static_cast<int>(std::strlen(bar.szPercent)));
}

void ReleaseProgressBar()
{
    PROGRESSBAR& bar = ProgressBar;
    if (bar.hBarDC)
        ReleaseDC(bar.hBar, bar.hBarDC);
    bar.hBarDC = nullptr;
    for (HBRUSH* phBrush : {&bar.hDoneBrush, &bar.hRestBrush})
        if (*phBrush) {
            DeleteObject(*phBrush);
            *phBrush = nullptr;
        }
    // The control shows its plain black rectangle again.
    InvalidateRect(bar.hBar, nullptr, TRUE);
}

// The run

static void SetStatus(HWND hDlg, const char* pszText, bool bRepaintNow)
{
    SetDlgItemTextA(hDlg, IDC_COPY_STATUS, pszText);
    if (bRepaintNow)
        UpdateWindow(GetDlgItem(hDlg, IDC_COPY_STATUS));
}

static void CopyOnRecordStarted(const char* pszOutputPath)
{
    // Repainted when the pump after this record runs.
    SetStatus(hCopyPage, pszOutputPath, false);
    StepProgressBar();
}

// Records come many to a frame: painting the status line and the windows
// behind it after every one of them cost an eighth of the run. Input, posted
// and sent messages are still handled after every record, painting at most
// once a frame.
constexpr LONGLONG PAINTS_PER_SECOND = 60;
static LARGE_INTEGER liNextPaint;

static UINT PumpFilter()
{
    LARGE_INTEGER liNow, liFrequency;
    if (!QueryPerformanceCounter(&liNow) || !QueryPerformanceFrequency(&liFrequency))
        return PM_REMOVE;
    if (liNow.QuadPart < liNextPaint.QuadPart)
        return PM_REMOVE | PM_QS_INPUT | PM_QS_POSTMESSAGE | PM_QS_SENDMESSAGE;
    liNextPaint.QuadPart = liNow.QuadPart + liFrequency.QuadPart / PAINTS_PER_SECOND;
    return PM_REMOVE;
}

// Between two records: everything waiting for the thread, the page's Cancel
// and the main window's painting included (painting once a frame).
static BOOL PumpCopyMessages()
{
    MSG msg;
    UINT uFilter = PumpFilter();
    while (!bCopyAborted && PeekMessageA(&msg, nullptr, 0, 0, uFilter)) {
        if (!IsDialogMessageA(hCopyPage, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    return bCopyAborted;
}

// Writes the payload resource to pszGzPath straight from the resource memory
// and returns the stream still open, flushed: held for the whole run, it lets
// others read the file but neither write nor remove it, so a second installer
// started meanwhile fails to stage instead of overwriting this run's files.
static FILE* StagePayload(const char* pszGzPath)
{
    HRSRC hResource = FindResourceA(hAppInstance, MAKEINTRESOURCEA(IDR_PAYLOAD), RT_RCDATA);
    HGLOBAL hData = hResource ? LoadResource(hAppInstance, hResource) : nullptr;
    const void* pData = hData ? LockResource(hData) : nullptr;
    if (!pData)
        return nullptr;
    DWORD cbData = SizeofResource(hAppInstance, hResource);
    FILE* f = _fsopen(pszGzPath, "wb", _SH_DENYWR);
    if (!f)
        return nullptr;
    // A short write (a full disk) leaves a cut gzip file, which the
    // decompression reports.
    if (cbData != 0)
        std::fwrite(pData, 1, cbData, f);
    std::fflush(f);
    return f;
}

// Only an archive that this run decompressed may be extracted: one left by
// an earlier run that was killed must go before the decompression, which may
// fail without writing its output.
static bool RemoveStaleArchive(const char* pszArchivePath)
{
    if (DeleteFileA(pszArchivePath))
        return true;
    DWORD dwError = GetLastError();
    return dwError == ERROR_FILE_NOT_FOUND || dwError == ERROR_PATH_NOT_FOUND;
}

static void ShowCopyError(HWND hDlg)
{
    ShowMessage(hDlg, "Can't decompress setup files", nullptr, MB_ICONERROR);
}

// Decompresses the staged payload and extracts it; leaves bCopyAborted set
// when any of it failed or the user cancelled.
static void UnpackPayload(HWND hDlg, bool bStaged, const char* pszGzPath, const char* pszArchivePath)
{
    if (!bStaged || !RemoveStaleArchive(pszArchivePath)) {
        bCopyAborted = 1;
    } else {
        SetStatus(hDlg, "Decompressing setup files", true);
        GunzipFile(pszArchivePath, pszGzPath);
        char szImages[WIZARD_TEXT_SIZE];
        if (PathJoin(szImages, szInstallDir, "AImages"))
            CreateDir(szImages);
    }

    // Set also when Cancel was pressed while a decompression message was up.
    if (bCopyAborted) {
        ShowCopyError(hDlg);
        return;
    }
    FileGuard archive(std::fopen(pszArchivePath, "rb"));
    if (!archive) {
        ShowCopyError(hDlg);
        bCopyAborted = 1;
        return;
    }
    ExtractPayloadArchive(archive.get(), szInstallDir, CopyOnRecordStarted, PumpCopyMessages);
}

static LRESULT CopySetupFiles(HWND hDlg, WORD, WORD, LPARAM)
{
    hCopyPage = hDlg;
    liNextPaint = LARGE_INTEGER{};
    char szReported[MAX_PATH] = {};
    DWORD dwReported = GetTempPathA(sizeof(szReported), szReported);
    bool bTempDir = ChooseTempDir(szTempDir, sizeof(szTempDir), szReported, dwReported, szSetupDir);
    bCopyAborted = 0;
    InitProgressBar(GetDlgItem(hDlg, IDC_PROGRESS_BAR), PAYLOAD_RECORD_COUNT);
    SetStatus(hDlg, "Preparing to decompress setup files", true);
    StepProgressBar();

    char szGzPath[WIZARD_TEXT_SIZE], szArchivePath[WIZARD_TEXT_SIZE];
    if (bTempDir && PathJoin(szGzPath, szTempDir, "filesdata.gz") &&
        PathJoin(szArchivePath, szTempDir, "filesdata.dat")) {
        // Once this run holds the staged file, both temporary files are its
        // own and go whatever happens, the archive first, after the staged
        // file is closed. Files another run holds are left alone.
        RemoveFileGuard removeGz, removeArchive;
        FileGuard staged(StagePayload(szGzPath));
        if (staged) {
            removeGz.Arm(szGzPath);
            removeArchive.Arm(szArchivePath);
        }
        UnpackPayload(hDlg, static_cast<bool>(staged), szGzPath, szArchivePath);
        SetStatus(hDlg, "Deleting temproary files", false);
    } else {
        bCopyAborted = 1;
        ShowCopyError(hDlg);
        SetStatus(hDlg, "Deleting temproary files", false);
    }
    ReleaseProgressBar();
    EndDialog(hDlg, bCopyAborted);
    return 0;
}
