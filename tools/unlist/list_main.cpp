// qunlist MANIFEST HEADER: writes the uninstaller's list of the installed
// files and folders as C++ tables, from the manifest the packer packs. The
// uninstaller removes exactly these, so a manifest that the uninstaller's
// rules refuse fails the build here, naming the line.
#include "uninstall/uninstall_rules.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

int Fail(const std::string& message)
{
    std::fprintf(stderr, "qunlist: %s\n", message.c_str());
    return 1;
}

// A C++ string literal of the bytes. Octal escapes, unlike hex ones, end
// after three digits, so a digit that follows one stays itself.
std::string Literal(const PathSpan& span)
{
    std::string text = "\"";
    for (size_t i = 0; i < span.cch; ++i) {
        const unsigned char ch = static_cast<unsigned char>(span.pch[i]);
        if (ch == '\\') {
            text += "\\\\";
        } else if (ch >= 0x20 && ch < 0x7F) {
            text += static_cast<char>(ch);
        } else {
            char szEscape[8];
            std::snprintf(szEscape, sizeof szEscape, "\\%03o", ch);
            text += szEscape;
        }
    }
    return text + "\"";
}

std::string Table(const char* pszName, const std::vector<PathSpan>& spans)
{
    std::string text = std::string("constexpr const char* const ") + pszName + "[] = {\n";
    for (const PathSpan& span : spans)
        text += "    " + Literal(span) + ",\n";
    return text + "};\n";
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: qunlist MANIFEST HEADER-OUT\n");
        return 2;
    }
    const std::string manifestPath = argv[1];
    std::ifstream in(manifestPath, std::ios::binary);
    if (!in)
        return Fail("cannot read manifest " + manifestPath);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    std::vector<PathSpan> files;
    bool bHasUninstaller = false;
    size_t nBackslashes = 0;
    ManifestReader reader = StartManifest(text.data(), text.size());
    const char* pch = nullptr;
    size_t cch = 0;
    NameRefusal refusal = NameRefusal::None;
    while (NextManifestName(&reader, &pch, &cch, &refusal)) {
        files.push_back({pch, cch});
        bHasUninstaller |= std::string(pch, cch) == kUninstallerName;
        nBackslashes += static_cast<size_t>(std::count(pch, pch + cch, '\\'));
    }
    if (refusal != NameRefusal::None)
        return Fail(manifestPath + " line " + std::to_string(reader.nLine) + ": " + NameRefusalText(refusal));
    if (files.empty())
        return Fail(manifestPath + " lists no files");
    // The installer's uninstall entry and its Uninstall link start this name.
    if (!bHasUninstaller)
        return Fail(manifestPath + " must list " + kUninstallerName + " (the build puts the uninstaller in under that name)");

    std::vector<PathSpan> folders(nBackslashes + std::size(kInstallerFolders));
    folders.resize(ListInstalledFolders(files.data(), files.size(), folders.data(), folders.size()));

    const std::string header =
        "// Written by qunlist from the manifest of the game's files: what uninstall.exe\n"
        "// removes below the install folder. Files in archive order; folders deepest first.\n"
        "#pragma once\n\n" +
        Table("kInstalledFiles", files) + "\n" + Table("kInstalledFolders", folders);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out << header;
    out.close();
    if (!out)
        return Fail(std::string("cannot write ") + argv[2]);
    return 0;
}
