#include "tools/pecheck/pe.h"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace pe {

namespace {

// Little-endian reads from a byte range; each one fails instead of reading
// past the end.
class View {
public:
    View(const uint8_t* pData, size_t cbData) : pData_(pData), cbData_(cbData) {}

    bool Has(size_t offset, size_t count) const { return offset <= cbData_ && count <= cbData_ - offset; }
    bool U8(size_t offset, uint8_t& value) const
    {
        if (!Has(offset, 1))
            return false;
        value = pData_[offset];
        return true;
    }
    bool U16(size_t offset, uint16_t& value) const
    {
        if (!Has(offset, 2))
            return false;
        value = static_cast<uint16_t>(pData_[offset] | pData_[offset + 1] << 8);
        return true;
    }
    bool U32(size_t offset, uint32_t& value) const
    {
        if (!Has(offset, 4))
            return false;
        value = static_cast<uint32_t>(pData_[offset]) | static_cast<uint32_t>(pData_[offset + 1]) << 8 |
                static_cast<uint32_t>(pData_[offset + 2]) << 16 | static_cast<uint32_t>(pData_[offset + 3]) << 24;
        return true;
    }
    const uint8_t* At(size_t offset) const { return pData_ + offset; }

private:
    const uint8_t* pData_;
    size_t cbData_;
};

void AppendChar(std::string& text, uint16_t ch)
{
    if (ch >= 0x20 && ch < 0x7F) {
        text += static_cast<char>(ch);
    } else {
        char szEscape[8];
        std::snprintf(szEscape, sizeof(szEscape), "\\u%04X", ch);
        text += szEscape;
    }
}

char Upper(char ch) { return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch; }

struct Section {
    uint32_t va, rawOffset, rawSize;
};

// Maps relative virtual addresses to file offsets through the section table.
class AddressMap {
public:
    AddressMap(const View& file, uint32_t cbHeaders, std::vector<Section> sections)
        : file_(file), cbHeaders_(cbHeaders), sections_(std::move(sections))
    {
    }

    // The file offset of `count` bytes at `rva`, all inside the headers or
    // one section's raw data, and inside the file.
    bool Offset(uint64_t rva, size_t count, size_t& offset) const
    {
        if (rva < cbHeaders_ && count <= cbHeaders_ - rva && file_.Has(static_cast<size_t>(rva), count)) {
            offset = static_cast<size_t>(rva);
            return true;
        }
        for (const Section& s : sections_) {
            if (rva < s.va || rva - s.va >= s.rawSize || count > s.rawSize - (rva - s.va))
                continue;
            size_t candidate = static_cast<size_t>(s.rawOffset + (rva - s.va));
            if (!file_.Has(candidate, count))
                return false;
            offset = candidate;
            return true;
        }
        return false;
    }

    bool U16(uint64_t rva, uint16_t& value) const
    {
        size_t offset;
        return Offset(rva, 2, offset) && file_.U16(offset, value);
    }
    bool U32(uint64_t rva, uint32_t& value) const
    {
        size_t offset;
        return Offset(rva, 4, offset) && file_.U32(offset, value);
    }

    // A NUL-terminated single-byte string at `rva`, at most `cchMax` long.
    bool String(uint64_t rva, size_t cchMax, std::string& text) const
    {
        text.clear();
        for (size_t i = 0; i < cchMax; ++i) {
            size_t offset;
            uint8_t ch;
            if (!Offset(rva + i, 1, offset) || !file_.U8(offset, ch))
                return false;
            if (ch == 0)
                return true;
            AppendChar(text, ch);
        }
        return false;
    }

    const View& File() const { return file_; }

private:
    const View& file_;
    uint32_t cbHeaders_;
    std::vector<Section> sections_;
};

constexpr size_t MAX_IMPORTS = 4096;
constexpr size_t MAX_DLL_NAME = 256;
constexpr size_t MAX_RESOURCES = 65536;
constexpr size_t MAX_DIRECTORY_ENTRIES = 1 << 20;

bool ReadImports(const AddressMap& map, uint32_t rvaImports, Image& image, std::string& error)
{
    // Descriptors of 20 bytes (the DLL name's address at +12), up to an
    // all-zero one. The directory's recorded size is not relied on.
    for (uint64_t rva = rvaImports;; rva += 20) {
        if (image.imports.size() == MAX_IMPORTS) {
            error = "import directory without end";
            return false;
        }
        uint32_t lookup, nameRva, firstThunk;
        if (!map.U32(rva, lookup) || !map.U32(rva + 12, nameRva) || !map.U32(rva + 16, firstThunk)) {
            error = "import descriptor outside the file";
            return false;
        }
        if (lookup == 0 && nameRva == 0 && firstThunk == 0)
            return true;
        std::string name;
        if (!map.String(nameRva, MAX_DLL_NAME, name)) {
            error = "imported DLL name outside the file";
            return false;
        }
        image.imports.push_back(name);
    }
}

// The resource tree: directories of type, then name, then language, whose
// offsets count from the start of the resource directory.
class ResourceReader {
public:
    ResourceReader(const AddressMap& map, uint32_t rvaRoot, Image& image) : map_(map), rvaRoot_(rvaRoot), image_(image)
    {
    }

    bool Read(std::string& error)
    {
        return Directory(0, 0, error);
    }

private:
    bool Name(uint32_t field, ResName& name, std::string& error)
    {
        if (!(field & 0x80000000u)) {
            name = ResName::Id(field);
            return true;
        }
        uint64_t rva = static_cast<uint64_t>(rvaRoot_) + (field & 0x7FFFFFFFu);
        uint16_t cch;
        if (!map_.U16(rva, cch)) {
            error = "resource name outside the file";
            return false;
        }
        std::string text;
        for (uint16_t i = 0; i < cch; ++i) {
            uint16_t ch;
            if (!map_.U16(rva + 2 + 2u * i, ch)) {
                error = "resource name outside the file";
                return false;
            }
            AppendChar(text, ch);
        }
        name = ResName::Text(text);
        return true;
    }

    // Level 0 lists types, level 1 names, level 2 languages with data entries.
    bool Directory(uint32_t offset, int level, std::string& error)
    {
        uint64_t rva = static_cast<uint64_t>(rvaRoot_) + offset;
        uint16_t cNamed, cIds;
        if (!map_.U16(rva + 12, cNamed) || !map_.U16(rva + 14, cIds)) {
            error = "resource directory outside the file";
            return false;
        }
        for (uint32_t i = 0; i < static_cast<uint32_t>(cNamed) + cIds; ++i) {
            // Directories may share subdirectories; the count bounds the walk.
            if (++cEntries_ > MAX_DIRECTORY_ENTRIES) {
                error = "resource tree too large";
                return false;
            }
            uint32_t nameField, target;
            if (!map_.U32(rva + 16 + 8u * i, nameField) || !map_.U32(rva + 20 + 8u * i, target)) {
                error = "resource directory entry outside the file";
                return false;
            }
            ResName name;
            if (!Name(nameField, name, error))
                return false;
            bool bSubdirectory = (target & 0x80000000u) != 0;
            if (bSubdirectory != (level < 2)) {
                error = "resource tree not three levels deep";
                return false;
            }
            if (level == 0)
                type_ = name;
            else if (level == 1)
                name_ = name;
            if (bSubdirectory) {
                if (!Directory(target & 0x7FFFFFFFu, level + 1, error))
                    return false;
            } else if (!Data(target, name, error)) {
                return false;
            }
        }
        return true;
    }

    bool Data(uint32_t offset, const ResName& lang, std::string& error)
    {
        if (image_.resources.size() == MAX_RESOURCES) {
            error = "too many resources";
            return false;
        }
        uint64_t rva = static_cast<uint64_t>(rvaRoot_) + offset;
        uint32_t rvaData, cbData;
        size_t fileOffset;
        if (!map_.U32(rva, rvaData) || !map_.U32(rva + 4, cbData)) {
            error = "resource data entry outside the file";
            return false;
        }
        if (!map_.Offset(rvaData, cbData, fileOffset)) {
            error = "data of resource " + TypeName(type_) + " " + name_.Format() + " outside the file";
            return false;
        }
        Resource r;
        r.type = type_;
        r.name = name_;
        r.lang = lang.bIsId ? lang.id : 0xFFFFFFFFu;
        r.pData = map_.File().At(fileOffset);
        r.cbData = cbData;
        image_.resources.push_back(r);
        return true;
    }

    const AddressMap& map_;
    uint32_t rvaRoot_;
    Image& image_;
    ResName type_, name_;
    size_t cEntries_ = 0;
};

}  // namespace

ResName ResName::Id(uint32_t value)
{
    ResName name;
    name.id = value;
    return name;
}

ResName ResName::Text(const std::string& value)
{
    ResName name;
    name.bIsId = false;
    name.text = value;
    return name;
}

bool ResName::Matches(const ResName& other) const
{
    if (bIsId != other.bIsId)
        return false;
    if (bIsId)
        return id == other.id;
    if (text.size() != other.text.size())
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (Upper(text[i]) != Upper(other.text[i]))
            return false;
    return true;
}

std::string ResName::Format() const { return bIsId ? std::to_string(id) : "\"" + text + "\""; }

namespace {

struct TypeEntry {
    uint32_t id;
    const char* pszName;
};

const TypeEntry kTypes[] = {
    {1, "CURSOR"},        {2, "BITMAP"},      {3, "ICON"},     {4, "MENU"},      {5, "DIALOG"},     {6, "STRING"},
    {7, "FONTDIR"},       {8, "FONT"},        {9, "ACCELERATOR"}, {10, "RCDATA"}, {11, "MESSAGETABLE"},
    {12, "GROUP_CURSOR"}, {14, "GROUP_ICON"}, {16, "VERSION"}, {17, "DLGINCLUDE"}, {19, "PLUGPLAY"},
    {20, "VXD"},          {21, "ANICURSOR"},  {22, "ANIICON"}, {23, "HTML"},      {24, "MANIFEST"},
};

}  // namespace

std::string TypeName(const ResName& type)
{
    if (type.bIsId)
        for (const TypeEntry& t : kTypes)
            if (t.id == type.id)
                return t.pszName;
    return type.Format();
}

bool ParseType(const std::string& text, ResName& type)
{
    for (const TypeEntry& t : kTypes) {
        if (text == t.pszName) {
            type = ResName::Id(t.id);
            return true;
        }
    }
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    type = ResName::Id(static_cast<uint32_t>(std::stoul(text)));
    return true;
}

namespace {

// Where the headers put things, for reading and for moving sections.
struct Headers {
    uint16_t machine = 0, subsystem = 0;
    bool bPe32Plus = false;
    size_t coff = 0, optional = 0, sectionTable = 0;
    uint32_t cbHeaders = 0;
    std::vector<std::pair<uint32_t, uint32_t>> directories;  // RVA and size by index
    std::vector<Section> sections;
    std::vector<size_t> sectionEntries;  // each section's entry in the table

    std::pair<uint32_t, uint32_t> Directory(size_t index) const
    {
        return index < directories.size() ? directories[index] : std::pair<uint32_t, uint32_t>{0, 0};
    }
};

bool ReadHeaders(const View& v, Headers& h, std::string& error)
{
    uint16_t mz;
    uint32_t peOffset, signature;
    if (!v.U16(0, mz) || mz != 0x5A4D || !v.U32(0x3C, peOffset)) {
        error = "no MZ header";
        return false;
    }
    if (!v.U32(peOffset, signature) || signature != 0x00004550) {
        error = "no PE signature";
        return false;
    }
    h.coff = static_cast<size_t>(peOffset) + 4;
    uint16_t cSections, cbOptional, magic;
    if (!v.U16(h.coff, h.machine) || !v.U16(h.coff + 2, cSections) || !v.U16(h.coff + 16, cbOptional)) {
        error = "file header outside the file";
        return false;
    }
    h.optional = h.coff + 20;
    if (!v.U16(h.optional, magic) || (magic != 0x10B && magic != 0x20B)) {
        error = "no PE32 or PE32+ optional header";
        return false;
    }
    h.bPe32Plus = magic == 0x20B;
    // Offsets inside the optional header that differ between the two forms.
    size_t cbFixed = h.bPe32Plus ? 112 : 96;
    uint32_t cDirectories;
    if (cbOptional < cbFixed || !v.U32(h.optional + 60, h.cbHeaders) || !v.U16(h.optional + 68, h.subsystem) ||
        !v.U32(h.optional + cbFixed - 4, cDirectories)) {
        error = "optional header too short";
        return false;
    }
    for (uint32_t i = 0; i < cDirectories && 8u * (i + 1) <= cbOptional - cbFixed; ++i) {
        size_t entry = h.optional + cbFixed + 8u * i;
        uint32_t rva, size;
        if (!v.U32(entry, rva) || !v.U32(entry + 4, size)) {
            error = "data directories outside the file";
            return false;
        }
        h.directories.emplace_back(rva, size);
    }
    h.sectionTable = h.optional + cbOptional;
    for (uint16_t i = 0; i < cSections; ++i) {
        size_t entry = h.sectionTable + 40u * i;
        Section s;
        if (!v.U32(entry + 12, s.va) || !v.U32(entry + 16, s.rawSize) || !v.U32(entry + 20, s.rawOffset)) {
            error = "section table outside the file";
            return false;
        }
        h.sections.push_back(s);
        h.sectionEntries.push_back(entry);
    }
    return true;
}

// The section whose bytes in the file hold rva; null for none (or rva 0).
const Section* SectionHolding(const Headers& h, uint32_t rva)
{
    auto found = std::find_if(h.sections.begin(), h.sections.end(),
                              [&](const Section& s) { return rva >= s.va && rva - s.va < s.rawSize; });
    return rva == 0 || found == h.sections.end() ? nullptr : &*found;
}

void Put32(Bytes& file, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i)
        file[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The image checksum: 16-bit words added with their carries folded back,
// the checksum field counted as zero, plus the file's length.
uint32_t ImageChecksum(const Bytes& file, size_t checksumField)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        if (i == checksumField || i == checksumField + 2)
            continue;
        sum += file[i] + (i + 1 < file.size() ? uint32_t{file[i + 1]} << 8 : 0u);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

}  // namespace

bool Parse(const Bytes& file, Image& image, std::string& error)
{
    image = Image();
    View v(file.data(), file.size());
    Headers h;
    if (!ReadHeaders(v, h, error))
        return false;
    image.machine = h.machine;
    image.bPe32Plus = h.bPe32Plus;
    image.subsystem = h.subsystem;
    AddressMap map(v, h.cbHeaders, h.sections);

    auto [rvaImports, cbImports] = h.Directory(1);
    auto [rvaResources, cbResources] = h.Directory(2);
    if (const Section* pResources = SectionHolding(h, rvaResources))
        image.resourceFileOffset = pResources->rawOffset;
    if (rvaImports != 0 && !ReadImports(map, rvaImports, image, error))
        return false;
    if (rvaResources != 0 && !ResourceReader(map, rvaResources, image).Read(error))
        return false;
    return true;
}

bool AlignResourceSection(Bytes& file, uint32_t alignment, std::string& error)
{
    View v(file.data(), file.size());
    Headers h;
    if (!ReadHeaders(v, h, error))
        return false;
    // Both hold file offsets that moving sections would leave wrong.
    if (h.Directory(4).first != 0 || h.Directory(6).first != 0) {
        error = "a signature or a debug directory: align before signing, and without one";
        return false;
    }
    const Section* found = SectionHolding(h, h.Directory(2).first);
    if (!found || found->rawOffset > file.size()) {
        error = "no resource section";
        return false;
    }
    uint32_t at = found->rawOffset, cbPad = (alignment - at % alignment) % alignment;
    if (cbPad == 0)
        return true;
    for (const Section& section : h.sections)
        if (section.rawOffset > UINT32_MAX - cbPad) {
            error = "a section lies too far into the file to move";
            return false;
        }
    // The section and every one stored after it move; so do the symbols.
    for (size_t i = 0; i < h.sections.size(); ++i) {
        uint32_t offset = h.sections[i].rawOffset;
        if (offset >= at && h.sections[i].rawSize != 0)
            Put32(file, h.sectionEntries[i] + 20, offset + cbPad);
    }
    uint32_t symbols;
    if (v.U32(h.coff + 8, symbols) && symbols >= at && symbols != 0)
        Put32(file, h.coff + 8, symbols + cbPad);
    file.insert(file.begin() + at, cbPad, 0);
    size_t checksumField = h.optional + 64;
    Put32(file, checksumField, ImageChecksum(file, checksumField));
    return true;
}

}  // namespace pe
