// unpack GZIP INSTALLDIR: decompresses a payload and extracts its records the
// way the installer does, printing each file, so that a release engineer can
// check a payload before it goes into setup.exe.

#include "payload/payload.h"
#include "shell/strutil.h"

#include <cstdio>

static void PrintRecord(const char* pszPath) { std::printf("  %s\n", pszPath); }

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: unpack GZIP INSTALLDIR\n");
        return 2;
    }
    char szArchive[MAX_PATH];
    if (!PathJoin(szArchive, argv[2], "filesdata.dat")) {
        std::fprintf(stderr, "unpack: path too long: %s\n", argv[2]);
        return 2;
    }
    CreateDir(argv[2]);
    GunzipFile(szArchive, argv[1]);
    FILE* fArchive = FileOpen(szArchive, "rb");
    if (!fArchive) {
        std::fprintf(stderr, "unpack: no archive from %s\n", argv[1]);
        return 1;
    }
    BOOL bFailed = ExtractPayloadArchive(fArchive, argv[2], PrintRecord, nullptr);
    std::fclose(fArchive);
    FileDelete(szArchive);
    std::printf("unpack: %s%s\n", bFailed ? "failed: " : "", ExtractStopText(eExtractStop));
    return bFailed ? 1 : 0;
}
