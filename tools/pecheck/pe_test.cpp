// The PE reader on a small image built here byte by byte: what it finds, and
// that truncated or damaged copies (held in buffers of their exact size, so
// that the address sanitizer sees any read past the end) fail cleanly.
#include "tools/pecheck/pe.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

// Puts the n low bytes of value at offset, least significant first.
void Put(pe::Bytes& b, size_t offset, uint32_t value, int n = 4)
{
    for (int i = 0; i < n; ++i)
        b.at(offset + static_cast<size_t>(i)) = static_cast<uint8_t>(value >> (8 * i));
}

// A PE32 image with one section at RVA 0x1000, file offset 0x200: imports of
// two DLLs, then a resource tree of a named type and RCDATA, each with one
// resource in one language. The file ends with the last resource's bytes.
constexpr uint32_t SECTION_RVA = 0x1000, SECTION_FILE = 0x200;
constexpr uint32_t IMPORTS = 0x1000, RESOURCES = 0x1100, DATA = 0x1200;
constexpr size_t At(uint32_t rva) { return rva - SECTION_RVA + SECTION_FILE; }

pe::Bytes MakeImage()
{
    pe::Bytes b(At(DATA) + 8, 0);
    // Offset, value, size: "MZ" and where "PE\0\0" is; the file header's
    // machine, one section and the optional header's size; the optional
    // header's PE32 magic, size of headers, subsystem and 16 data directories.
    for (auto [at, value, n] : {std::tuple{0x00u, 0x5A4Du, 2}, {0x3Cu, 0x40u, 4}, {0x40u, 0x4550u, 4},
                                {0x44u, uint32_t{pe::MACHINE_I386}, 2}, {0x46u, 1u, 2}, {0x54u, 96u + 16 * 8, 2},
                                {0x58u, 0x10Bu, 2}, {0x58u + 60, SECTION_FILE, 4},
                                {0x58u + 68, uint32_t{pe::SUBSYSTEM_GUI}, 2}, {0x58u + 92, 16u, 4}})
        Put(b, at, value, n);
    // Data directories 1 and 2, imports and resources: RVA and size each.
    for (auto [at, value] : {std::pair{8u, IMPORTS}, {12u, 60u}, {16u, RESOURCES}, {20u, 0x100u}})
        Put(b, 0x58 + 96 + at, value);
    // The section: virtual size, RVA, size in the file, file offset.
    for (auto [at, value] : {std::pair{8u, DATA - SECTION_RVA + 8}, {12u, SECTION_RVA}, {16u, DATA - SECTION_RVA + 8},
                             {20u, SECTION_FILE}})
        Put(b, 0x58 + 96 + 16 * 8 + at, value);

    const char* const dlls[] = {"KERNEL32.dll", "USER32.dll"};
    for (uint32_t i = 0; i < 2; ++i) {
        Put(b, At(IMPORTS + 20 * i), 0x2000);
        Put(b, At(IMPORTS + 20 * i + 12), IMPORTS + 0x80 + 0x20 * i);
        Put(b, At(IMPORTS + 20 * i + 16), 0x2000);
        const std::string dll = dlls[i];
        for (size_t k = 0; k <= dll.size(); ++k)  // with its terminator, every byte bounds-checked
            b.at(At(IMPORTS + 0x80 + 0x20 * i) + k) = static_cast<uint8_t>(dll.c_str()[k]);
    }

    // Directories: the root with one named and one numbered type, then for
    // each a name directory and a language directory of one numbered entry;
    // then two data entries and the type's name string.
    auto entry = [&](uint32_t offset, uint32_t nameField, uint32_t target) {
        Put(b, At(RESOURCES + offset), nameField);
        Put(b, At(RESOURCES + offset + 4), target);
    };
    Put(b, At(RESOURCES + 12), 1, 2);
    Put(b, At(RESOURCES + 14), 1, 2);
    entry(16, 0x80000000u | 0xE0, 0x80000000u | 0x20);
    entry(24, pe::RT_RCDATA, 0x80000000u | 0x38);
    for (auto [offset, id, target] : {std::tuple{0x20u, 7u, 0x80000000u | 0x50},  // MYTYPE: resource 7
                                      {0x38u, 15734u, 0x80000000u | 0x68},      // RCDATA: resource 15734
                                      {0x50u, 0x409u, 0xC0u},                  // languages
                                      {0x68u, 0u, 0xD0u}}) {
        Put(b, At(RESOURCES + offset + 14), 1, 2);
        entry(offset + 16, id, target);
    }
    entry(0xC0, DATA, 4);
    entry(0xD0, DATA + 4, 4);
    Put(b, At(RESOURCES + 0xE0), 6, 2);
    for (size_t i = 0; i < 6; ++i)
        Put(b, At(RESOURCES + 0xE2) + 2 * i, static_cast<uint8_t>("mytype"[i]), 2);
    Put(b, At(DATA), 0x64636261);  // "abcdwxyz"
    Put(b, At(DATA) + 4, 0x7A797877);
    return b;
}

bool Parses(const pe::Bytes& file, pe::Image& image)
{
    std::string error;
    return pe::Parse(file, image, error);
}

TEST(PeReader, FindsMachineImportsAndResources)
{
    pe::Bytes file = MakeImage();
    pe::Image image;
    ASSERT_TRUE(Parses(file, image));
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

TEST(PeReader, TruncatedDamagedOrSelfContainingCopiesFailOrStayInsideTheFile)
{
    const pe::Bytes file = MakeImage();
    pe::Image image;
    for (size_t cb = 0; cb < file.size(); ++cb)
        EXPECT_FALSE(Parses(pe::Bytes(file.begin(), file.begin() + static_cast<long>(cb)), image)) << cb << " bytes";

    for (size_t offset = 0; offset < file.size(); ++offset)
        for (uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            pe::Bytes damaged = file;
            damaged[offset] = value;
            if (Parses(damaged, image))
                for (const pe::Resource& r : image.resources) {
                    EXPECT_GE(r.pData, damaged.data());
                    EXPECT_LE(r.pData + r.cbData, damaged.data() + damaged.size()) << offset;
                }
        }

    // The RCDATA type entry leads back to the root.
    pe::Bytes looped = file;
    Put(looped, At(RESOURCES + 28), 0x80000000u);
    EXPECT_FALSE(Parses(looped, image));
}

uint32_t Get32(const pe::Bytes& b, size_t offset)
{
    return static_cast<uint32_t>(b.at(offset) | b.at(offset + 1) << 8 | b.at(offset + 2) << 16 | b.at(offset + 3) << 24);
}

bool Aligns(pe::Bytes& file)
{
    std::string error;
    return pe::AlignResourceSection(file, 0x1000, error);
}

// The resource section's bytes go to the next page with what is stored after
// them, and the image reads as before; once there, or when the file is
// signed, nothing changes; a cut copy fails without reading past its end.
TEST(PeAligner, MovesTheResourceSectionToAPageAndTheImageReadsTheSame)
{
    const pe::Bytes original = MakeImage();
    pe::Bytes file = original;
    ASSERT_TRUE(Aligns(file));
    constexpr size_t SECTION_ENTRY = 0x58 + 96 + 16 * 8;
    EXPECT_EQ(Get32(file, SECTION_ENTRY + 20), 0x1000u);
    EXPECT_EQ(file.size(), original.size() + 0x1000 - SECTION_FILE);
    EXPECT_NE(Get32(file, 0x58 + 64), 0u) << "no checksum";
    pe::Image before, after;
    ASSERT_TRUE(Parses(original, before));
    ASSERT_TRUE(Parses(file, after));
    EXPECT_EQ(before.resourceFileOffset, SECTION_FILE);
    EXPECT_EQ(after.resourceFileOffset, 0x1000u);
    EXPECT_EQ(after.imports, before.imports);
    ASSERT_EQ(after.resources.size(), before.resources.size());
    for (size_t i = 0; i < after.resources.size(); ++i)
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(after.resources[i].pData), after.resources[i].cbData),
                  std::string(reinterpret_cast<const char*>(before.resources[i].pData), before.resources[i].cbData));

    pe::Bytes again = file;
    EXPECT_TRUE(Aligns(again));
    EXPECT_EQ(again, file);

    pe::Bytes signedImage = original;
    Put(signedImage, 0x58 + 96 + 4 * 8, 0x300);  // the certificate table
    Put(signedImage, 0x58 + 96 + 4 * 8 + 4, 8);
    const pe::Bytes signedCopy = signedImage;
    EXPECT_FALSE(Aligns(signedImage));
    EXPECT_EQ(signedImage, signedCopy);

    for (size_t cb = 0; cb < original.size(); ++cb) {
        pe::Bytes cut(original.begin(), original.begin() + static_cast<long>(cb));
        Aligns(cut);  // may succeed on a copy that still holds the tables; must not read past its end
    }
}

}  // namespace
