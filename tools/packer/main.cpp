// qpack DIR MANIFEST ARCHIVE GZIP: writes the payload archive and its gzip
// member. Exits non-zero, naming the entry, on anything the installer would
// not extract.
#include "tools/packer/pack.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: qpack DIR MANIFEST ARCHIVE-OUT GZIP-OUT\n");
        return 2;
    }
    std::vector<std::string> names;
    Bytes archive;
    std::string error;
    if (!ReadManifest(argv[2], names, error) || !BuildArchive(argv[1], names, archive, error) ||
        !WriteWholeFile(argv[3], archive, error) || !WriteWholeFile(argv[4], GzipMember(archive), error)) {
        std::fprintf(stderr, "qpack: %s\n", error.c_str());
        return 1;
    }
    std::printf("qpack: %zu records, %zu archive bytes\n", names.size(), archive.size());
    return 0;
}
