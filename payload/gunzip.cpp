// File-to-file gzip decompression of the staged payload. Every failure is
// shown in a box with the platform's default caption; the output of a failed
// run is removed, so the copy run finds no archive instead of a damaged one.
#include "payload/payload.h"
#include "shell/fileguard.h"
#include "shell/message.h"
#include "shell/strutil.h"

#include <cstdio>
#include <zlib.h>

constexpr unsigned GZ_CHUNK = 16384;
// The files' own buffers: the disk is read and written in pieces this large,
// whatever the transfer size. Each piece is a system call, which under Wine
// costs more than its copy: a third of the decompression's time at 215 MB.
constexpr unsigned GZ_INPUT_BUFFER = 65536;
constexpr size_t ARCHIVE_OUTPUT_BUFFER = 262144;

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

// The compressed input, closed on every way out; Close reports zlib's
// result for the one path that looks at it. The file is only ever read:
// gzclose_r is gzclose for it, without linking zlib's writer and compressor.
class GzGuard {
public:
    explicit GzGuard(gzFile gz) : gz_(gz) {}
    ~GzGuard() { Close(); }
    GzGuard(const GzGuard&) = delete;
    GzGuard& operator=(const GzGuard&) = delete;
    gzFile get() const { return gz_; }
    int Close()
    {
        int nResult = gz_ ? gzclose_r(gz_) : Z_OK;
        gz_ = nullptr;
        return nResult;
    }

private:
    gzFile gz_;
};

// Copies the decompressed data of gzIn to fOut. Both are closed by their
// owners on every path; at the end of the data they are closed here, so that
// a failed close is reported. After the first failure nothing more is.
static void GunzipStream(GzGuard& gzIn, FileGuard& fOut)
{
    static unsigned char abBuffer[GZ_CHUNK];
    for (bool bFirstRead = true;; bFirstRead = false) {
        int nRead = gzread(gzIn.get(), abBuffer, GZ_CHUNK);
        if (nRead < 0) {
            int nErr = Z_OK;
            ReportGzError(gzerror(gzIn.get(), &nErr));
            return;
        }
        // zlib copies input that is not gzip through unchanged; that would
        // install whatever the file held.
        if (bFirstRead && gzdirect(gzIn.get())) {
            ReportGzError("not in gzip format");
            return;
        }
        if (nRead == 0) {
            if (fOut.Close() != 0)
                ReportGzError("failed fclose");
            if (gzIn.Close() != Z_OK)
                ReportGzError("failed gzclose");
            return;
        }
        if (std::fwrite(abBuffer, 1, static_cast<size_t>(nRead), fOut.get()) != static_cast<size_t>(nRead)) {
            ReportGzError("failed fwrite");
            return;
        }
    }
}

void GunzipFile(const char* pszOutPath, const char* pszGzPath)
{
    bGunzipFailed = false;
    GzGuard gzIn(gzopen(pszGzPath, "rb"));
    if (!gzIn.get()) {
        StrFormat(szGzMessage, sizeof(szGzMessage), "Can't open file %s\n", pszGzPath);
        ShowGzMessage();
        return;
    }
    gzbuffer(gzIn.get(), GZ_INPUT_BUFFER);  // before the first read, as zlib requires
    {
        FileGuard fOut(FileOpen(pszOutPath, "wb"));
        if (fOut)
            std::setvbuf(fOut.get(), nullptr, _IOFBF, ARCHIVE_OUTPUT_BUFFER);
        if (!fOut) {
            gzIn.Close();
            StrFormat(szGzMessage, sizeof(szGzMessage), "Can't create file %s\n", pszOutPath);
            ShowGzMessage();
            return;
        }
        GunzipStream(gzIn, fOut);
    }
    // The output is closed by now and can go.
    if (bGunzipFailed)
        FileDelete(pszOutPath);
}
