// File-to-file gzip decompression of the staged payload. Every failure is
// shown in a box with the platform's default caption; the output of a failed
// run is removed, so the copy run finds no archive instead of a damaged one.
#include "payload/payload.h"
#include "shell/message.h"
#include "shell/strutil.h"

#include <zlib.h>

constexpr unsigned GZ_CHUNK = 16384;

static char szGzMessage[1024];
// Prefix of the "%s: %s" messages: the installer's own name.
static const char* const pszProgramName = "setup";
// Set by ReportGzError; tells GunzipFile that the output is not to be kept.
static bool bGunzipFailed;

static void ShowGzMessage()
{
    ShowMessage(nullptr, szGzMessage, nullptr, MB_OK);
}

static void ReportGzError(const char* pszText)
{
    bGunzipFailed = true;
    StrFormat(szGzMessage, sizeof(szGzMessage), "%s: %s\n", pszProgramName, pszText);
    ShowGzMessage();
}

// Copies the decompressed data of gzIn to fOut and closes both files on
// every path. After the first failure nothing more is reported.
static void GunzipStream(gzFile gzIn, FILE* fOut)
{
    static unsigned char abBuffer[GZ_CHUNK];
    bool bFirstRead = true;
    for (;;) {
        int nRead = gzread(gzIn, abBuffer, GZ_CHUNK);
        if (nRead < 0) {
            int nErr = Z_OK;
            ReportGzError(gzerror(gzIn, &nErr));
            break;
        }
        // zlib copies input that is not gzip through unchanged; that would
        // install whatever the file held.
        if (bFirstRead && gzdirect(gzIn)) {
            ReportGzError("not in gzip format");
            break;
        }
        bFirstRead = false;
        if (nRead == 0) {
            if (std::fclose(fOut) != 0)
                ReportGzError("failed fclose");
            if (gzclose(gzIn) != Z_OK)
                ReportGzError("failed gzclose");
            return;
        }
        if (std::fwrite(abBuffer, 1, static_cast<size_t>(nRead), fOut) != static_cast<size_t>(nRead)) {
            ReportGzError("failed fwrite");
            break;
        }
    }
    // Early end: close silently, the one message has been shown.
    std::fclose(fOut);
    gzclose(gzIn);
}

void GunzipFile(const char* pszOutPath, const char* pszGzPath)
{
    bGunzipFailed = false;
    gzFile gzIn = gzopen(pszGzPath, "rb");
    if (!gzIn) {
        StrFormat(szGzMessage, sizeof(szGzMessage), "Can't open file %s\n", pszGzPath);
        ShowGzMessage();
        return;
    }
    FILE* fOut = FileOpen(pszOutPath, "wb");
    if (!fOut) {
        gzclose(gzIn);
        StrFormat(szGzMessage, sizeof(szGzMessage), "Can't create file %s\n", pszOutPath);
        ShowGzMessage();
        return;
    }
    GunzipStream(gzIn, fOut);
    if (bGunzipFailed)
        FileDelete(pszOutPath);
}
