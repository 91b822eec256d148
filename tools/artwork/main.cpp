// qart OUTDIR: draws the installer's page artwork and icons into OUTDIR
// (korven.bmp, setup.ico, folder.ico, up.ico, product.ico). The pictures
// are computed, not stored, so the same tool always writes the same bytes.
#include "tools/artwork/image.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: qart OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    struct Output {
        const char* pszName;
        std::vector<uint8_t> data;
    };
    const Output outputs[] = {
        {"korven.bmp", art::EncodeBmp8(art::DrawKorven())},
        {"setup.ico", art::EncodeIco4(art::DrawProductIcon())},
        {"folder.ico", art::EncodeIco4(art::DrawFolderIcon())},
        {"up.ico", art::EncodeIco4(art::DrawUpIcon())},
        {"product.ico", art::EncodeIco4(art::DrawNewFolderIcon())},
    };
    for (const Output& out : outputs) {
        std::string path = dir + "/" + out.pszName;
        if (!art::WriteFile(path, out.data)) {
            std::fprintf(stderr, "qart: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
