// libFuzzer target over a Shell Folders value as the registry hands it over
// (any bytes, not necessarily terminated), followed by folder names the
// shortcut-folder browser enters: the folder read never overruns its buffer
// and is left untouched when refused; the program group names the product
// folder once at its end; a link path composed is whole; and the browser
// never reaches a parent whose group links would pass the link path limit.
#include "shortcuts/shortcut_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

static void Fail(const char* pszWhat, const char* pszText)
{
    std::fprintf(stderr, "fuzz_shell_folder: %s: \"%.600s\"\n", pszWhat, pszText);
    std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    // The value's bytes up to a 0xFF, then names separated by 0xFE.
    const uint8_t* pEnd = static_cast<const uint8_t*>(std::memchr(pData, 0xFF, cbData));
    size_t cbValue = pEnd ? static_cast<size_t>(pEnd - pData) : cbData;
    std::vector<char> value(pData, pData + cbValue);  // exact size: ASan catches a read past it

    char szParent[SHORTCUT_TEXT_SIZE];
    std::memset(szParent, 0x5A, sizeof(szParent));
    if (!ShellFolderFromValue(szParent, sizeof(szParent), value.data(), value.size())) {
        for (char c : szParent)
            if (c != 0x5A)
                Fail("a refused value changed the folder", "");
        std::memcpy(szParent, "C:", 3);
    } else {
        size_t cch = strnlen(szParent, sizeof(szParent));
        if (cch == sizeof(szParent))
            Fail("folder not terminated", "");
        if (cch > value.size() || std::memcmp(szParent, value.data(), cch) != 0)
            Fail("folder is not the value's text", szParent);
    }

    std::vector<char> names(pEnd ? reinterpret_cast<const char*>(pEnd + 1) : "",
                            pEnd ? reinterpret_cast<const char*>(pData + cbData) : "");
    names.push_back('\xFE');
    for (size_t nStart = 0, nAt; (nAt = static_cast<size_t>(
                                      std::find(names.begin() + static_cast<long>(nStart), names.end(), '\xFE') -
                                      names.begin())) < names.size();
         nStart = nAt + 1) {
        std::string name(names.begin() + static_cast<long>(nStart), names.begin() + static_cast<long>(nAt));
        if (name == "..")
            GroupNavigateUp(szParent);
        else if (GroupNavigateInto(szParent, sizeof(szParent), name.c_str()) &&
                 LongestGroupLinkPath(szParent) > MAX_LINK_PATH)
            Fail("entered a folder too long for its links", szParent);
    }

    char szGroup[SHORTCUT_TEXT_SIZE], szLink[SHORTCUT_TEXT_SIZE], szTarget[SHORTCUT_TEXT_SIZE];
    if (!ComposeProgramGroup(szGroup, sizeof(szGroup), szParent)) {
        if (szGroup[0] != '\0')
            Fail("a refused group left text", szGroup);
        return 0;
    }
    std::string expected = szParent;
    if (!expected.empty() && expected.back() == '\\')
        expected.pop_back();
    if (szGroup != expected + "\\" + szGroupFolder)
        Fail("group is not the parent and the product folder once", szGroup);
    for (const LinkRow& row : aLinkRows)
        if (ComposeLink(row, szGroup, "C:\\Games\\Quarnel", szLink, sizeof(szLink), szTarget, sizeof(szTarget))) {
            size_t cchGroup = std::strlen(szGroup);
            if (std::strncmp(szLink, szGroup, cchGroup) != 0 || szLink[cchGroup] != '\\' ||
                std::strcmp(szLink + cchGroup + 1, row.pszLinkName) != 0)
                Fail("link path is not the group and the link's name", szLink);
        }
    return 0;
}
