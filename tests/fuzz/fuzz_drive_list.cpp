// libFuzzer target over the drive list as GetLogicalDriveStringsA returns
// it: whatever the buffer holds, the table keeps at most 26 roots, each an
// upper-case letter, a colon and a backslash, and nothing is read past the
// buffer.
#include "location/location_rules.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    // An exact-size copy, so that a read past the end is ASan's to catch.
    std::vector<char> list(pData, pData + cbData);
    DriveTable table;
    std::memset(&table, 0x5A, sizeof(table));
    ParseDriveStrings(list.data(), list.size(), &table);
    if (table.nCount < 0 || table.nCount > DRIVE_TABLE_SIZE)
        std::abort();
    for (int i = 0; i < table.nCount; ++i) {
        const char* psz = table.szRoots[i];
        if (!std::isupper(static_cast<unsigned char>(psz[0])) || psz[1] != ':' || psz[2] != '\\' || psz[3] != '\0') {
            std::fprintf(stderr, "fuzz_drive_list: root %d is \"%.5s\"\n", i, psz);
            std::abort();
        }
    }
    return 0;
}
