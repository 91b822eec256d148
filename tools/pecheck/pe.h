// Reading a Windows executable (PE32 or PE32+) on the build host: machine,
// subsystem, imported DLLs and the resource tree. Every read is checked
// against the file's size; a damaged file gives an error, never a wild read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace pe {

using Bytes = std::vector<uint8_t>;

constexpr uint16_t MACHINE_I386 = 0x014C;
constexpr uint16_t MACHINE_AMD64 = 0x8664;
constexpr uint16_t SUBSYSTEM_GUI = 2;
constexpr uint16_t SUBSYSTEM_CONSOLE = 3;

// Resource types by number.
enum : uint32_t {
    RT_CURSOR = 1,
    RT_BITMAP = 2,
    RT_ICON = 3,
    RT_DIALOG = 5,
    RT_STRING = 6,
    RT_RCDATA = 10,
    RT_GROUP_ICON = 14,
    RT_VERSION = 16,
    RT_MANIFEST = 24,
};

// A resource type, name or language as the directory holds it: a number or
// a UTF-16 string (kept as ASCII, other characters as \uXXXX).
struct ResName {
    bool bIsId = true;
    uint32_t id = 0;
    std::string text;

    static ResName Id(uint32_t value);
    static ResName Text(const std::string& value);
    // Resource names compare without regard to letter case, as the loader does.
    bool Matches(const ResName& other) const;
    std::string Format() const;
};

// "BITMAP" for 2 and so on; the number for types without a name.
std::string TypeName(const ResName& type);
// Accepts a type name of TypeName() or a number.
bool ParseType(const std::string& text, ResName& type);

struct Resource {
    ResName type;
    ResName name;
    uint32_t lang = 0;
    // The resource's bytes inside the file buffer given to Parse.
    const uint8_t* pData = nullptr;
    size_t cbData = 0;
};

struct Image {
    uint16_t machine = 0;
    bool bPe32Plus = false;
    uint16_t subsystem = 0;
    uint32_t resourceFileOffset = 0;  // where the resource section's bytes start in the file
    std::vector<std::string> imports;
    std::vector<Resource> resources;
};

// Parses a whole file held in memory. Resources point into `file`, which must
// outlive the image. Returns false with a reason when the file is not a PE
// image or any structure lies outside it.
bool Parse(const Bytes& file, Image& image, std::string& error);

// Moves the resource section's bytes in the file to the next multiple of
// `alignment` (zeros before them; the sections stored after it, and the
// symbol table, move with them) and sets the image checksum again. Wine maps
// a section whose bytes start on a page boundary and reads any other into
// memory whole at start, which for an installer is its whole payload.
// Windows loads either way. False with a reason, the file unchanged, when
// there is no resource section or the file is signed or has a debug
// directory (file offsets this does not move).
bool AlignResourceSection(Bytes& file, uint32_t alignment, std::string& error);

}  // namespace pe
