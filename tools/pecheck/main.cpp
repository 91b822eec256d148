// qpecheck: lists what a Windows executable imports and which resources it
// carries, and checks a built installer against what it must hold.
//
//   qpecheck FILE
//   qpecheck --check FILE [--machine i386|amd64] [--gui] [--allow-dll NAME]...
//                         [--expect TYPE:NAME[=WHAT]]... [--only] [--resources-on-page]
//   qpecheck --align-resources FILE   (rewrites FILE: see pe::AlignResourceSection)
//
// NAME in --allow-dll may end in '*' (a prefix). An expected resource exists
// once; WHAT adds: a size in bytes; file:PATH (its bytes are the file's);
// bmp:PATH (the bitmap file without its 14-byte file header); ico:PATH (a
// group icon whose images are those of the icon file). --only refuses any
// resource not expected, apart from the images of expected group icons.
//
// Exit codes: 0 all well, 1 a check failed, 2 usage, 3 unreadable or damaged.
#include "tools/pecheck/pe.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>

namespace {

constexpr int EXIT_CHECK_FAILED = 1;
constexpr int EXIT_USAGE = 2;
constexpr int EXIT_BAD_FILE = 3;
// Pages of the memory Wine maps an image into.
constexpr uint32_t PAGE_SIZE = 4096;

bool ReadWholeFile(const char* pszPath, pe::Bytes& data)
{
    FILE* f = std::fopen(pszPath, "rb");
    if (!f)
        return false;
    data.clear();
    unsigned char buffer[65536];
    size_t cb;
    while ((cb = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        data.insert(data.end(), buffer, buffer + cb);
    bool bOk = !std::ferror(f);
    std::fclose(f);
    return bOk;
}

// Says why pszFile is unusable; the exit code for it.
int BadFile(const char* pszFile, const std::string& error)
{
    std::fprintf(stderr, "qpecheck: %s: %s\n", pszFile, error.c_str());
    return EXIT_BAD_FILE;
}

// ReadWholeFile, saying on stderr when it fails.
bool ReadInput(const char* pszFile, pe::Bytes& data)
{
    if (ReadWholeFile(pszFile, data))
        return true;
    std::fprintf(stderr, "qpecheck: cannot read %s\n", pszFile);
    return false;
}

const char* MachineName(uint16_t machine)
{
    switch (machine) {
    case pe::MACHINE_I386:
        return "i386";
    case pe::MACHINE_AMD64:
        return "amd64";
    default:
        return "other";
    }
}

const char* SubsystemName(uint16_t subsystem)
{
    switch (subsystem) {
    case pe::SUBSYSTEM_GUI:
        return "Windows GUI";
    case pe::SUBSYSTEM_CONSOLE:
        return "console";
    default:
        return "other";
    }
}

void List(const pe::Image& image)
{
    std::printf("machine %s (0x%04X), %s, subsystem %s\n", MachineName(image.machine), image.machine,
                image.bPe32Plus ? "PE32+" : "PE32", SubsystemName(image.subsystem));
    std::printf("imports:\n");
    for (const std::string& dll : image.imports)
        std::printf("  %s\n", dll.c_str());
    std::printf("resources:\n");
    for (const pe::Resource& r : image.resources) {
        std::printf("  %-12s %-22s lang 0x%04X %10zu bytes\n", pe::TypeName(r.type).c_str(), r.name.Format().c_str(),
                    r.lang, r.cbData);
    }
}

bool MatchesDll(const std::string& dll, const std::string& pattern)
{
    bool bPrefix = !pattern.empty() && pattern.back() == '*';
    size_t cch = bPrefix ? pattern.size() - 1 : pattern.size();
    if (bPrefix ? dll.size() < cch : dll.size() != cch)
        return false;
    for (size_t i = 0; i < cch; ++i)
        if (std::tolower(static_cast<unsigned char>(dll[i])) != std::tolower(static_cast<unsigned char>(pattern[i])))
            return false;
    return true;
}

class Checker {
public:
    explicit Checker(const pe::Image& image) : image_(image) {}

    int Failures() const { return cFailures_; }

    void Fail(const std::string& text)
    {
        std::printf("FAIL: %s\n", text.c_str());
        ++cFailures_;
    }

    void Machine(const std::string& name)
    {
        uint16_t expected = name == "i386" ? pe::MACHINE_I386 : pe::MACHINE_AMD64;
        if (image_.machine != expected || image_.bPe32Plus != (expected == pe::MACHINE_AMD64))
            Fail(std::string("machine is ") + MachineName(image_.machine) + (image_.bPe32Plus ? " PE32+" : " PE32") +
                 ", not " + name);
    }

    void Gui()
    {
        if (image_.subsystem != pe::SUBSYSTEM_GUI)
            Fail(std::string("subsystem is ") + SubsystemName(image_.subsystem) + ", not Windows GUI");
    }

    void ResourcesOnPage()
    {
        if (image_.resourceFileOffset % PAGE_SIZE != 0)
            Fail("the resource section starts at file offset " + std::to_string(image_.resourceFileOffset) +
                 ", not on a page (qpecheck --align-resources)");
    }

    void Imports(const std::vector<std::string>& allowed)
    {
        for (const std::string& dll : image_.imports) {
            bool bAllowed = false;
            for (const std::string& pattern : allowed)
                bAllowed = bAllowed || MatchesDll(dll, pattern);
            if (!bAllowed)
                Fail("imports " + dll + ", which is not on the allowed list");
        }
    }

    // TYPE:NAME[=WHAT]
    bool Expect(const std::string& expectation)
    {
        size_t colon = expectation.find(':');
        size_t equals = expectation.find('=');
        if (colon == std::string::npos || (equals != std::string::npos && equals < colon))
            return false;
        pe::ResName type;
        if (!pe::ParseType(expectation.substr(0, colon), type))
            return false;
        std::string nameText = expectation.substr(colon + 1, equals == std::string::npos ? std::string::npos : equals - colon - 1);
        if (nameText.empty())
            return false;
        pe::ResName name = nameText.find_first_not_of("0123456789") == std::string::npos && nameText.size() <= 5
                               ? pe::ResName::Id(static_cast<uint32_t>(std::stoul(nameText)))
                               : pe::ResName::Text(nameText);
        std::string what = equals == std::string::npos ? "" : expectation.substr(equals + 1);
        std::string label = pe::TypeName(type) + " " + name.Format();

        const pe::Resource* found = Find(type, name);
        if (!found)
            return true;
        if (what.empty())
            return true;
        if (what.rfind("file:", 0) == 0)
            SameAsFile(*found, label, what.substr(5), 0);
        else if (what.rfind("bmp:", 0) == 0)
            SameAsFile(*found, label, what.substr(4), 14);
        else if (what.rfind("ico:", 0) == 0)
            SameAsIconFile(*found, label, what.substr(4));
        else if (what.find_first_not_of("0123456789") == std::string::npos && what.size() <= 10)
            Size(*found, label, std::stoull(what));
        else
            return false;
        return true;
    }

    void Only()
    {
        for (size_t i = 0; i < image_.resources.size(); ++i) {
            const pe::Resource& r = image_.resources[i];
            if (!covered_.count(i))
                Fail("unexpected resource " + pe::TypeName(r.type) + " " + r.name.Format());
        }
    }

private:
    const pe::Resource* Find(const pe::ResName& type, const pe::ResName& name)
    {
        const pe::Resource* found = nullptr;
        std::string label = pe::TypeName(type) + " " + name.Format();
        for (size_t i = 0; i < image_.resources.size(); ++i) {
            const pe::Resource& r = image_.resources[i];
            if (!r.type.Matches(type) || !r.name.Matches(name))
                continue;
            if (found) {
                Fail(label + " is there in more than one language");
                return nullptr;
            }
            found = &r;
            covered_.insert(i);
        }
        if (!found)
            Fail(label + " is missing");
        return found;
    }

    void Size(const pe::Resource& r, const std::string& label, unsigned long long cbExpected)
    {
        if (r.cbData != cbExpected)
            Fail(label + " has " + std::to_string(r.cbData) + " bytes, not " + std::to_string(cbExpected));
    }

    void SameAsFile(const pe::Resource& r, const std::string& label, const std::string& path, size_t cbSkip)
    {
        pe::Bytes data;
        if (!ReadWholeFile(path.c_str(), data) || data.size() < cbSkip) {
            Fail("cannot read " + path + " for " + label);
            return;
        }
        Size(r, label, data.size() - cbSkip);
        if (r.cbData == data.size() - cbSkip && std::memcmp(r.pData, data.data() + cbSkip, r.cbData) != 0)
            Fail(label + " differs from " + path);
    }

    static uint32_t Le(const uint8_t* p, int cb)
    {
        uint32_t value = 0;
        for (int i = cb - 1; i >= 0; --i)
            value = value << 8 | p[i];
        return value;
    }

    // The group directory lists the file's images in order (width, height,
    // colours, planes, bits, size), and each listed ICON holds its image.
    void SameAsIconFile(const pe::Resource& group, const std::string& label, const std::string& path)
    {
        pe::Bytes file;
        if (!ReadWholeFile(path.c_str(), file) || file.size() < 6) {
            Fail("cannot read " + path + " for " + label);
            return;
        }
        uint32_t cImages = Le(&file[4], 2);
        if (group.cbData != 6 + 14 * static_cast<size_t>(cImages) || Le(group.pData + 4, 2) != cImages) {
            Fail(label + " does not list the " + std::to_string(cImages) + " images of " + path);
            return;
        }
        for (uint32_t i = 0; i < cImages; ++i) {
            size_t entry = 6 + 16 * static_cast<size_t>(i);
            if (file.size() < entry + 16) {
                Fail(path + " ends inside its directory");
                return;
            }
            const uint8_t* pFileEntry = &file[entry];
            const uint8_t* pGroupEntry = group.pData + 6 + 14 * static_cast<size_t>(i);
            uint32_t cbImage = Le(pFileEntry + 8, 4), offset = Le(pFileEntry + 12, 4);
            if (offset > file.size() || cbImage > file.size() - offset) {
                Fail(path + " has an image outside the file");
                return;
            }
            if (std::memcmp(pFileEntry, pGroupEntry, 12) != 0) {
                Fail(label + " image " + std::to_string(i) + " is described otherwise than in " + path);
                continue;
            }
            pe::ResName iconId = pe::ResName::Id(Le(pGroupEntry + 12, 2));
            std::string iconLabel = label + " image ICON " + iconId.Format();
            const pe::Resource* icon = Find(pe::ResName::Id(pe::RT_ICON), iconId);
            if (icon && (icon->cbData != cbImage || std::memcmp(icon->pData, &file[offset], cbImage) != 0))
                Fail(iconLabel + " differs from " + path);
        }
    }

    const pe::Image& image_;
    int cFailures_ = 0;
    std::set<size_t> covered_;
};

int Usage()
{
    std::fprintf(stderr, "usage: qpecheck FILE\n"
                         "       qpecheck --check FILE [--machine i386|amd64] [--gui] [--allow-dll NAME]...\n"
                         "                            [--expect TYPE:NAME[=SIZE|file:PATH|bmp:PATH|ico:PATH]]... [--only]\n"
                         "                            [--resources-on-page]\n"
                         "       qpecheck --align-resources FILE\n");
    return EXIT_USAGE;
}

}  // namespace

static int AlignResources(const char* pszFile)
{
    pe::Bytes file;
    std::string error;
    if (!ReadInput(pszFile, file))
        return EXIT_BAD_FILE;
    if (!pe::AlignResourceSection(file, PAGE_SIZE, error))
        return BadFile(pszFile, error);
    FILE* f = std::fopen(pszFile, "wb");
    bool bWritten = f && std::fwrite(file.data(), 1, file.size(), f) == file.size();
    if (f && std::fclose(f) != 0)
        bWritten = false;
    return bWritten ? 0 : BadFile(pszFile, "cannot write it");
}

int main(int argc, char** argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--align-resources") == 0)
        return AlignResources(argv[2]);
    bool bCheck = false, bGui = false, bOnly = false, bOnPage = false;
    const char* pszFile = nullptr;
    std::string machine;
    std::vector<std::string> allowed, expected;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool bHasValue = i + 1 < argc;
        if (arg == "--check" && bHasValue && !pszFile) {
            bCheck = true;
            pszFile = argv[++i];
                } else if (arg == "--gui") {
            bGui = true;
        } else if (arg == "--only") {
            bOnly = true;
        } else if (arg == "--resources-on-page") {
            bOnPage = true;
        } else if (arg == "--machine" && bHasValue && (std::strcmp(argv[i + 1], "i386") == 0 ||
                                                        std::strcmp(argv[i + 1], "amd64") == 0)) {
            machine = argv[++i];
        } else if (arg == "--allow-dll" && bHasValue) {
            allowed.push_back(argv[++i]);
        } else if (arg == "--expect" && bHasValue) {
            expected.push_back(argv[++i]);
        } else if (arg.rfind("--", 0) != 0 && !pszFile) {
            pszFile = argv[i];
        } else {
            return Usage();
        }
    }
    if (!pszFile || (!bCheck && (bGui || bOnly || bOnPage || !machine.empty() || !allowed.empty() || !expected.empty())))
        return Usage();

    pe::Bytes file;
    pe::Image image;
    std::string error;
    if (!ReadInput(pszFile, file))
        return EXIT_BAD_FILE;
    if (!pe::Parse(file, image, error))
        return BadFile(pszFile, error);
    if (!bCheck) {
        List(image);
        return 0;
    }

    Checker checker(image);
    if (!machine.empty())
        checker.Machine(machine);
    if (bGui)
        checker.Gui();
    if (bOnPage)
        checker.ResourcesOnPage();
    if (!allowed.empty())
        checker.Imports(allowed);
    for (const std::string& expectation : expected)
        if (!checker.Expect(expectation)) {
            std::fprintf(stderr, "qpecheck: bad expectation %s\n", expectation.c_str());
            return EXIT_USAGE;
        }
    if (bOnly)
        checker.Only();
    std::printf("imports:");
    for (const std::string& dll : image.imports)
        std::printf(" %s", dll.c_str());
    std::printf("\n");
    if (checker.Failures() != 0) {
        std::printf("qpecheck: %s: %d check(s) failed\n", pszFile, checker.Failures());
        return EXIT_CHECK_FAILED;
    }
    std::printf("qpecheck: %s: %s, %zu imports and %zu resources as expected\n", pszFile, MachineName(image.machine),
                image.imports.size(), image.resources.size());
    return 0;
}
