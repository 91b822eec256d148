// Copy runs: cancelled, stopped by a game file that cannot be replaced, and
// installers whose payload is damaged, missing, or staged on a full drive.
#include "tests/e2e/driver.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

// The decompression's box leaves the caption to the system and names zlib's
// reason after the program's name.
constexpr BoxDesc kGzError = {"gzip-error", "setup: ", OK, "none", "Error", "[\\s\\S]+"};

// The copy page ends with 1: the cancel message, nothing else.
static void CopyCanceled(HWND hPage)
{
    Need(Check(PollUntil(APPEAR_MS, [&] { return Gone(hPage); }), "copy page closes"));
    Ends(kCanceled);
}

// A click at once, waiting while the payload is staged and decompressed, is
// seen after the first record. One during the extraction: the records up to
// the one being written when it is seen are whole, none after.
static void CancelCopy(bool bMidway)
{
    MatrixRow row{bMidway ? "Cancel on the copy page between records" : "Cancel while the payload is staged",
                  bMidway ? "records up to the click whole, none after; canceled"
                          : "the first record whole, none after; canceled", kDefaultDir};
    HWND hPage = CopyPageWithDefaults();
    size_t nPressed = 0;  // the record read before the click, from 1
    if (!bMidway)
        Press(hPage, IDCANCEL);
    else
        FollowCopy(hPage, kDefaultDir, [&](size_t i) {
            if (!nPressed && i >= 9)
                nPressed = i + 1, Press(hPage, IDCANCEL);
        });
    CopyCanceled(hPage);
    row.seen = "canceled";
    size_t nWhole = std::min(RecordStates(kDefaultDir).find_first_not_of('W'), records.size());
    Check(bMidway ? nPressed && nWhole >= nPressed && nWhole < records.size() : nWhole == 1,
          "pressed after record %zu was read: %zu records whole", nPressed, nWhole);
    CheckCopied(kDefaultDir, Expected(nWhole));
}

// A game file that cannot be replaced ends the run at its record, silently.
static void ReadOnlyGameFile()
{
    const size_t nLocked = 10;
    std::string path = Join(kDefaultDir, records[nLocked]);
    std::error_code ec;
    bool bMade = std::filesystem::create_directories(path.substr(0, path.find_last_of('\\')), ec) &&
                 (std::ofstream(path, std::ios::binary) << "kept").flush() &&
                 SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY);
    // Wine run as root writes to read-only files all the same; a handle that
    // shares only reading keeps it from being opened for writing.
    HANDLE hHold = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    Need(Check(bMade && hHold != INVALID_HANDLE_VALUE, "read-only %s made beforehand", path.c_str()));
    MatrixRow row{"game file that cannot be replaced", "stops at its record, silently; the file kept; canceled",
                  kDefaultDir};
    HWND hPage = DirPage();
    Answer(hPage, IDOK, kExists, IDYES, false);
    CopyCanceled(CopyPage());
    row.seen = "canceled";
    CheckCopied(kDefaultDir, Expected(nLocked, "P"));
    Check(ReadAll(path) == "kept", "%s unchanged", path.c_str());
    CloseHandle(hHold);
}

// An installer whose payload does not decompress (zlib's reason first) or is
// missing: the page's error, the cancel message, no game file written; the
// status line says what was going on. The decompression's box leaves the
// page usable: Cancel pressed there changes nothing the user sees.
static void BadPayload(bool bDamaged, bool bCancelDuringBox = false)
{
    MatrixRow row{bCancelDuringBox ? "Cancel during the decompression's message"
                  : bDamaged       ? "payload damaged (a byte flipped, cut short) or staged on a full drive"
                                   : "payload missing",
                  bDamaged ? "gzip error, can't decompress, canceled; no game file" : "can't decompress, canceled; "
                  "no game file", kDefaultDir};
    HWND hPage = CopyPageWithDefaults(), hStatus = GetDlgItem(hPage, IDC_COPY_STATUS);
    if (bCancelDuringBox) {
        Wait("gzip-error box", [](HWND hWnd) { return ClassOf(hWnd) == "#32770" && GetDlgItem(hWnd, MSGBOX_TEXT); });
        Press(hPage, IDCANCEL);
    }
    if (bDamaged)
        Box(kGzError, nullptr, IDOK);
    // After a box, read while the next is up: nothing else runs in between.
    std::string status, want = bDamaged ? "Decompressing setup files" : "Preparing to decompress setup files";
    bool bRead = PollUntil(APPEAR_MS, [&] { return !(status = TextOf(hStatus)).empty(); });
    Check(bRead && status == want, "status line \"%s\"", status.c_str());
    Box(kCantDecompress, hPage, IDOK);
    CopyCanceled(hPage);
    row.seen = bDamaged ? "gzip error, can't decompress, canceled" : "can't decompress, canceled";
    // The damaged payload's run has made AImages by then, the missing one's nothing.
    std::vector<std::string> made = Entries(kDefaultDir, false);
    Check(made == std::vector<std::string>(bDamaged, "AImages"), "no game file written in %s (%zu entries)",
          kDefaultDir, made.size());
    CheckTempGone();
}

// The temporary directory on a drive too small for the payload: the staged
// file is cut short, which the decompression reports.
static void FullTempDrive()
{
    BadPayload(true);
    std::vector<std::string> onSmall = Entries(kSmall, false);
    Check(onSmall.empty(), "nothing left on %s%s", kSmall, onSmall.empty() ? "" : (": " + onSmall[0]).c_str());
}

static ScenarioList kPayloadScenarios = {
    {"copy_cancel_at_once", [] { CancelCopy(false); }},
    {"copy_cancel_midway", [] { CancelCopy(true); }},
    {"copy_read_only_file", ReadOnlyGameFile},
    // With test builds of setup.exe:
    {"damaged_payload", [] { BadPayload(true); }},
    {"damaged_payload_cancel", [] { BadPayload(true, true); }},
    {"missing_payload", [] { BadPayload(false); }},
    {"copy_full_temp_drive", FullTempDrive, true, kSmall},
};
