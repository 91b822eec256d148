// libFuzzer target over the archive reader: any input either extracts inside
// the install directory or fails cleanly; nothing is ever written beside it.
#include "payload/payload.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

static fs::path gRoot;
static std::string gInstallDir;

static void Fail(const char* pszWhat, const std::string& detail)
{
    std::fprintf(stderr, "fuzz_archive: %s: %s\n", pszWhat, detail.c_str());
    std::abort();
}

static void RecordStarted(const char* pszPath)
{
    if (std::strncmp(pszPath, gInstallDir.c_str(), gInstallDir.size()) != 0 || pszPath[gInstallDir.size()] != '\\')
        Fail("output path outside the install directory", pszPath);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    if (gRoot.empty()) {
        gRoot = fs::temp_directory_path() / ("quarnel-fuzz-" + std::to_string(getpid()));
        fs::remove_all(gRoot);
        gInstallDir = (gRoot / "box" / "inst").string();
        std::atexit([] { fs::remove_all(gRoot); });
    }
    fs::create_directories(gInstallDir);
    std::string archivePath = (gRoot / "archive.dat").string();
    FILE* f = std::fopen(archivePath.c_str(), "wb");
    std::fwrite(pData, 1, cbData, f);
    std::fclose(f);

    f = std::fopen(archivePath.c_str(), "rb");
    ExtractPayloadArchive(f, gInstallDir.c_str(), RecordStarted, nullptr);
    std::fclose(f);
    // The scratch root holds the archive and box/inst, nothing else; inside
    // the install directory there are only plain files and directories.
    for (auto& entry : fs::recursive_directory_iterator(gRoot)) {
        std::string path = entry.path().string();
        bool bInside = path.rfind(gInstallDir + "/", 0) == 0;
        if (!bInside && path != archivePath && path != gInstallDir && entry.path() != gRoot / "box")
            Fail("written beside the install directory", path);
        if (entry.is_symlink() || !(entry.is_regular_file() || entry.is_directory()))
            Fail("unexpected kind of entry", path);
    }
    fs::remove_all(gInstallDir);
    return 0;
}
