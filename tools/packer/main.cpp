// qpack DIR MANIFEST ARCHIVE GZIP [SIZES]: writes the payload archive and its
// gzip member, and with SIZES the header of their sizes that the installer
// compiles in. Exits non-zero, naming the entry, on anything the installer
// would not extract.
#include "tools/packer/pack.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: qpack DIR MANIFEST ARCHIVE-OUT GZIP-OUT [SIZES-HEADER-OUT]\n");
        return 2;
    }
    std::vector<std::string> names;
    std::vector<uint64_t> cbFiles;
    Bytes archive, gzip;
    std::string error;
    if (!ReadManifest(argv[2], names, error) || !BuildArchive(argv[1], names, archive, error, &cbFiles) ||
        !WriteWholeFile(argv[3], archive, error) || !WriteWholeFile(argv[4], gzip = GzipMember(archive), error)) {
        std::fprintf(stderr, "qpack: %s\n", error.c_str());
        return 1;
    }
    if (argc == 6) {
        std::string header = PayloadSizesHeader(cbFiles, gzip.size(), archive.size());
        if (!WriteWholeFile(argv[5], Bytes(header.begin(), header.end()), error)) {
            std::fprintf(stderr, "qpack: %s\n", error.c_str());
            return 1;
        }
    }
    std::printf("qpack: %zu records, %zu archive bytes\n", names.size(), archive.size());
    return 0;
}
