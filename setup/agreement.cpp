// The first page: the licence agreement. Opening it also loads the page
// artwork that every later page paints.
#include "resources/resource.h"
#include "setup/setup.h"
#include "shell/msgmap.h"
#include "shell/shell.h"
#include "shell/wizard_state.h"

static LRESULT AgreementOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam);
static LRESULT AgreementOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM);
static LRESULT AgreementOnButton(HWND hDlg, WORD wId, WORD, LPARAM);

static constexpr MessageMapEntry aAgreementMessages[] = {
    {WM_COMMAND, AgreementOnCommand},
    {WM_INITDIALOG, AgreementOnInitDialog},
    {WM_PAINT, PaintPageBitmap},
};
static constexpr MessageMap AgreementMessageMap = MakeMessageMap(aAgreementMessages, DEFAULT_NONE);

static constexpr CommandMapEntry aAgreementCommands[] = {
    {IDOK, AgreementOnButton},
    {IDCANCEL, AgreementOnButton},
};
static constexpr CommandMap AgreementCommandMap = MakeCommandMap(aAgreementCommands, DEFAULT_NONE);

INT_PTR CALLBACK AgreementDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return DispatchMessageMap(&AgreementMessageMap, hDlg, uMsg, wParam, lParam);
}

static LRESULT AgreementOnCommand(HWND hDlg, UINT, WPARAM wParam, LPARAM lParam)
{
    return DispatchCommandMap(&AgreementCommandMap, hDlg, wParam, lParam);
}

// Buffer for the licence text: the string must fit it whole.
constexpr int LICENCE_BUFFER = 7000;

static LRESULT AgreementOnInitDialog(HWND hDlg, UINT, WPARAM, LPARAM)
{
    hPageBitmap = LoadBitmapA(hAppInstance, "IDB_KORVEN");
    GetObjectA(hPageBitmap, sizeof(BITMAP), &bmPageBitmap);

    static char szLicence[LICENCE_BUFFER];
    LoadStringA(hAppInstance, IDS_LICENCE, szLicence, LICENCE_BUFFER);
    SetDlgItemTextA(hDlg, IDC_LICENCE_TEXT, szLicence);
    SetFocus(GetDlgItem(hDlg, IDOK));
    return 1;
}

static LRESULT AgreementOnButton(HWND hDlg, WORD wId, WORD, LPARAM)
{
    if (wId == IDOK)
        EndDialog(hDlg, 0);
    else if (ConfirmCancelSetup(hDlg))
        EndDialog(hDlg, 1);
    return 0;
}

INT_PTR ShowAgreementPage(HWND hOwner)
{
    return DialogBoxParamA(hAppInstance, "IDD_AGREEMENT", hOwner, AgreementDlgProc, 0);
}
