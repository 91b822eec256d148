// The PE reader on a small image built here byte by byte: what it finds, and
// that truncated or damaged copies (held in buffers of their exact size, so
// that the address sanitizer sees any read past the end) fail cleanly.
#include "tools/pecheck/pe.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class Writer {
public:
    explicit Writer(size_t size) : bytes(size, 0) {}
    void U16(size_t offset, uint32_t value)
    {
        bytes.at(offset) = static_cast<uint8_t>(value);
        bytes.at(offset + 1) = static_cast<uint8_t>(value >> 8);
    }
    void U32(size_t offset, uint32_t value)
    {
        U16(offset, value & 0xFFFF);
        U16(offset + 2, value >> 16);
    }
    void Text(size_t offset, const std::string& text)
    {
        for (size_t i = 0; i < text.size(); ++i)
            bytes.at(offset + i) = static_cast<uint8_t>(text[i]);
    }
    void Wide(size_t offset, const std::string& text)
    {
        U16(offset, static_cast<uint32_t>(text.size()));
        for (size_t i = 0; i < text.size(); ++i)
            U16(offset + 2 + 2 * i, static_cast<uint8_t>(text[i]));
    }
    pe::Bytes bytes;
};

// A PE32 image with one section at RVA 0x1000, file offset 0x200: imports of
// two DLLs, then a resource tree of a named type and RCDATA, each with one
// resource in one language. The file ends with the last resource's bytes.
constexpr uint32_t SECTION_RVA = 0x1000, SECTION_FILE = 0x200;
constexpr uint32_t IMPORTS = 0x1000, RESOURCES = 0x1100, DATA = 0x1200;

pe::Bytes MakeImage()
{
    const size_t cbFile = SECTION_FILE + (DATA - SECTION_RVA) + 8;
    Writer w(cbFile);
    auto at = [](uint32_t rva) { return static_cast<size_t>(rva - SECTION_RVA + SECTION_FILE); };
    w.Text(0, "MZ");
    w.U32(0x3C, 0x40);
    w.Text(0x40, std::string("PE\0\0", 4));
    w.U16(0x44, pe::MACHINE_I386);
    w.U16(0x46, 1);                // sections
    w.U16(0x54, 96 + 16 * 8);      // optional header size
    w.U16(0x58, 0x10B);            // PE32
    w.U32(0x58 + 60, SECTION_FILE);  // size of headers
    w.U16(0x58 + 68, pe::SUBSYSTEM_GUI);
    w.U32(0x58 + 92, 16);  // data directories
    w.U32(0x58 + 96 + 8, IMPORTS);
    w.U32(0x58 + 96 + 12, 60);
    w.U32(0x58 + 96 + 16, RESOURCES);
    w.U32(0x58 + 96 + 20, 0x100);
    size_t section = 0x58 + 96 + 16 * 8;
    w.U32(section + 8, DATA - SECTION_RVA + 8);
    w.U32(section + 12, SECTION_RVA);
    w.U32(section + 16, DATA - SECTION_RVA + 8);
    w.U32(section + 20, SECTION_FILE);

    const char* const dlls[] = {"KERNEL32.dll", "USER32.dll"};
    for (uint32_t i = 0; i < 2; ++i) {
        w.U32(at(IMPORTS + 20 * i), 0x2000);
        w.U32(at(IMPORTS + 20 * i + 12), IMPORTS + 0x80 + 0x20 * i);
        w.U32(at(IMPORTS + 20 * i + 16), 0x2000);
        w.Text(at(IMPORTS + 0x80 + 0x20 * i), dlls[i]);
    }

    // Directories: root, two type directories, two name directories, two
    // language directories; then two data entries and a name string.
    auto dir = [&](uint32_t offset, uint32_t nameField, uint32_t target, bool bNamed) {
        w.U16(at(RESOURCES + offset + (bNamed ? 12 : 14)), 1);
        w.U32(at(RESOURCES + offset + 16), nameField);
        w.U32(at(RESOURCES + offset + 20), target);
    };
    w.U16(at(RESOURCES + 12), 1);  // the root: one named type, one numbered
    w.U16(at(RESOURCES + 14), 1);
    w.U32(at(RESOURCES + 16), 0x80000000u | 0xE0);
    w.U32(at(RESOURCES + 20), 0x80000000u | 0x20);
    w.U32(at(RESOURCES + 24), pe::RT_RCDATA);
    w.U32(at(RESOURCES + 28), 0x80000000u | 0x38);
    dir(0x20 + 0x00, 7, 0x80000000u | 0x50, false);      // MYTYPE: resource 7
    dir(0x38, 15734, 0x80000000u | 0x68, false);         // RCDATA: resource 15734
    dir(0x50, 0x409, 0xC0, false);                       // languages
    dir(0x68, 0, 0xD0, false);
    w.U32(at(RESOURCES + 0xC0), DATA);
    w.U32(at(RESOURCES + 0xC4), 4);
    w.U32(at(RESOURCES + 0xD0), DATA + 4);
    w.U32(at(RESOURCES + 0xD4), 4);
    w.Wide(at(RESOURCES + 0xE0), "mytype");
    w.Text(at(DATA), "abcdwxyz");
    return w.bytes;
}

TEST(PeReader, FindsMachineImportsAndResources)
{
    pe::Bytes file = MakeImage();
    pe::Image image;
    std::string error;
    ASSERT_TRUE(pe::Parse(file, image, error)) << error;
    EXPECT_EQ(image.machine, pe::MACHINE_I386);
    EXPECT_FALSE(image.bPe32Plus);
    EXPECT_EQ(image.subsystem, pe::SUBSYSTEM_GUI);
    EXPECT_EQ(image.imports, (std::vector<std::string>{"KERNEL32.dll", "USER32.dll"}));
    ASSERT_EQ(image.resources.size(), 2u);
    const pe::Resource& named = image.resources[0];
    EXPECT_TRUE(named.type.Matches(pe::ResName::Text("MYTYPE")));
    EXPECT_EQ(named.name.Format(), "7");
    EXPECT_EQ(named.lang, 0x409u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(named.pData), named.cbData), "abcd");
    const pe::Resource& rcdata = image.resources[1];
    EXPECT_EQ(pe::TypeName(rcdata.type), "RCDATA");
    EXPECT_TRUE(rcdata.name.Matches(pe::ResName::Id(15734)));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(rcdata.pData), rcdata.cbData), "wxyz");
}

TEST(PeReader, EveryTruncationIsRefused)
{
    pe::Bytes file = MakeImage();
    for (size_t cb = 0; cb < file.size(); ++cb) {
        pe::Bytes part(file.begin(), file.begin() + static_cast<long>(cb));
        pe::Image image;
        std::string error;
        EXPECT_FALSE(pe::Parse(part, image, error)) << cb << " bytes";
    }
}

TEST(PeReader, DamagedBytesGiveAnErrorOrResourcesInsideTheFile)
{
    pe::Bytes file = MakeImage();
    for (size_t offset = 0; offset < file.size(); ++offset)
        for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            pe::Bytes damaged = file;
            damaged[offset] = value;
            pe::Image image;
            std::string error;
            if (!pe::Parse(damaged, image, error))
                continue;
            for (const pe::Resource& r : image.resources) {
                EXPECT_GE(r.pData, damaged.data());
                EXPECT_LE(r.pData + r.cbData, damaged.data() + damaged.size()) << offset;
            }
        }
}

TEST(PeReader, ResourceDirectoryThatContainsItselfIsRefused)
{
    pe::Bytes file = MakeImage();
    Writer w(0);
    w.bytes = file;
    // The RCDATA type entry leads back to the root.
    w.U32(RESOURCES - SECTION_RVA + SECTION_FILE + 28, 0x80000000u);
    pe::Image image;
    std::string error;
    EXPECT_FALSE(pe::Parse(w.bytes, image, error));
}

}  // namespace
