// The licence string of the built installer read back through the Windows
// loader, as the agreement page loads it. (The payload and the icons are
// compared byte for byte by setup_pe_check; the templates, the artwork and
// the class-name string are what the page tests and the end-to-end runs
// create, paint and wait for.)
#include "tests/common/test_support.h"
#include "tests/common/windows_support.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace qt;

namespace {

TEST(SetupResources, StringsLoadWholeTheLicenceWith43CrLfLines)
{
    HMODULE hSetup = LoadSetupExe(WinePath(SETUP_EXE_UNIX));
    ASSERT_NE(hSetup, nullptr) << "cannot load " << SETUP_EXE_UNIX;
    std::string expected;
    for (unsigned char c : ReadFile(WinePath(LICENCE_TXT_UNIX)))
        expected += c == '\n' ? "\r\n" : c == '\r' ? "" : std::string(1, static_cast<char>(c));

    // Into the agreement page's buffer, with room to spare and terminated.
    std::vector<char> buffer(7000, '\x7F');
    int cch = LoadStringA(hSetup, 150, buffer.data(), 7000);
    FreeLibrary(hSetup);
    ASSERT_GT(cch, 0);
    EXPECT_LT(cch, 6999) << "the text fills the buffer and may be cut";
    EXPECT_EQ(buffer[static_cast<size_t>(cch)], '\0');
    std::string text(buffer.data(), static_cast<size_t>(cch));
    EXPECT_EQ(text, expected);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 43);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

}  // namespace
