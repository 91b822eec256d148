// The main window, the agreement page and the cancel flow; a whole install
// with the default choices.
#include "tests/e2e/driver.h"

// The licence exactly as setup.exe carries it (its lines are checked by the
// Windows-side tests; one that fills the buffer counts as none), read-only,
// scrolling. No to Cancel leaves the page as it was, scrolled and focused;
// Esc asks again.
static void AgreementPage()
{
    MatrixRow row{"Cancel on the agreement page", "No: the page stays as it was; Esc, Yes: canceled"};
    HWND hPage = Agreement(), hEdit = GetDlgItem(hPage, IDC_LICENCE_TEXT);
    static char szLicence[1 << 16];
    HMODULE hSetup = LoadLibraryExA(setupExe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    int cch = hSetup ? LoadStringA(hSetup, IDS_LICENCE, szLicence, sizeof(szLicence)) : 0;
    FreeLibrary(hSetup);
    std::string shown = TextOf(hEdit);
    Check(cch > 0 && cch < static_cast<int>(sizeof(szLicence)) - 1 && shown == szLicence,
          "licence shown whole (%zu of %d chars)", shown.size(), cch);
    Check(FocusOf(hPage) == GetDlgItem(hPage, IDOK), "focus on \"I Agree\"");
    LRESULT defId = 0;
    Check(Ask(hPage, DM_GETDEFID, 0, 0, defId) && defId == MAKELONG(IDOK, DC_HASDEFID), "\"I Agree\" is the default");
    Check(GetWindowLongA(hEdit, GWL_STYLE) & ES_READONLY, "licence text is read-only");
    LRESULT first = -1, now = -1, after = -1;
    Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, first);
    // Posted messages are handled in order: once the scroll shows, the typed
    // character before it has been handled too.
    PostMessageA(hEdit, WM_CHAR, 'x', 1);
    PostMessageA(hEdit, WM_VSCROLL, SB_PAGEDOWN, 0);
    bool bScrolled = PollUntil(APPEAR_MS, [&] { return Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, now) && now > first; });
    Need(Check(bScrolled, "licence scrolls (first line %ld -> %ld)", static_cast<long>(first), static_cast<long>(now)));
    Check(TextOf(hEdit) == shown, "typing into the licence changes nothing");

    Answer(hPage, IDCANCEL, kConfirm, IDNO);
    bool bKept = Ask(hEdit, EM_GETFIRSTVISIBLELINE, 0, 0, after) && after == now;
    Check(bKept, "No: licence still scrolled to line %ld", static_cast<long>(after));
    HWND hFocus = FocusOf(hPage);
    Check(hFocus == GetDlgItem(hPage, IDOK), "No: focus back on \"I Agree\"");
    // The real key, down and up: the dialog manager turns Esc into IDCANCEL.
    HWND hKey = hFocus ? hFocus : hPage;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(VK_ESCAPE, MAPVK_VK_TO_VSC)) << 16 | 1;
    Need(Check(Usable(hKey) && PostMessageA(hKey, WM_KEYDOWN, VK_ESCAPE, scan) &&
                   PostMessageA(hKey, WM_KEYUP, VK_ESCAPE, scan | LPARAM{3} << 30),
               "press Esc"));
    row.seen = "No: stays as it was";
    CancelOut(hPage, 0);
    row.seen += "; Esc, Yes: canceled";
}

static ScenarioList kSetupScenarios = {
    {"agreement_page", AgreementPage},
    {"agree_to_success", InstallWithDefaults},
};
