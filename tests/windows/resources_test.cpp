// The built installer's resources read back through the Windows loader, as
// the pages load them: the licence string, the page artwork and the dialog
// templates with the exact styles the pages rely on. (The payload and the
// icons are compared byte for byte by setup_pe_check; the class-name string
// is the window class the end-to-end tests wait for.)
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using qt::WinePath;

namespace {

HMODULE SetupExe()
{
    static HMODULE hSetup = LoadLibraryExA(WinePath(SETUP_EXE_UNIX).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return hSetup;
}

// The bytes of a resource, or an empty vector when it is missing.
qt::Bytes Resource(LPCSTR pszName, LPCSTR pszType)
{
    HRSRC hInfo = FindResourceA(SetupExe(), pszName, pszType);
    HGLOBAL hData = hInfo ? LoadResource(SetupExe(), hInfo) : nullptr;
    const unsigned char* p = hData ? static_cast<const unsigned char*>(LockResource(hData)) : nullptr;
    return p ? qt::Bytes(p, p + SizeofResource(SetupExe(), hInfo)) : qt::Bytes();
}

TEST(SetupResources, StringsLoadWholeTheLicenceWith43CrLfLines)
{
    ASSERT_NE(SetupExe(), nullptr) << "cannot load " << SETUP_EXE_UNIX;
    std::string expected;
    for (unsigned char c : qt::ReadFile(WinePath(LICENCE_TXT_UNIX)))
        expected += c == '\n' ? "\r\n" : c == '\r' ? "" : std::string(1, static_cast<char>(c));

    // Into the agreement page's buffer, with room to spare and terminated.
    std::vector<char> buffer(7000, '\x7F');
    int cch = LoadStringA(SetupExe(), 150, buffer.data(), 7000);
    ASSERT_GT(cch, 0);
    EXPECT_LT(cch, 6999) << "the text fills the buffer and may be cut";
    EXPECT_EQ(buffer[static_cast<size_t>(cch)], '\0');
    std::string text(buffer.data(), static_cast<size_t>(cch));
    EXPECT_EQ(text, expected);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 43);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

// A bottom-up DIB with a plain header, as LoadBitmapA takes it.
TEST(SetupResources, PageArtworkIs556By384With256ColoursUncompressed)
{
    qt::Bytes dib = Resource("IDB_KORVEN", RT_BITMAP);
    BITMAPINFOHEADER header;
    ASSERT_GE(dib.size(), sizeof(header));
    std::memcpy(&header, dib.data(), sizeof(header));
    EXPECT_EQ(header.biSize, sizeof(header));
    EXPECT_EQ(header.biWidth, 556);
    EXPECT_EQ(header.biHeight, 384);
    EXPECT_EQ(header.biPlanes, 1);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256);
    EXPECT_EQ(dib.size(), sizeof(header) + 256 * sizeof(RGBQUAD) + 556u * 384u);
}

struct ControlSpec { int id; DWORD style, exStyle; };
struct DialogSpec { const char* pszName; DWORD style, exStyle; short cx, cy; const char* pszTitle;
                    std::vector<ControlSpec> controls; };

// The templates as the pages expect them, in the wizard's order; controls in
// template (tab) order.
const DialogSpec kDialogs[] = {
    {"IDD_AGREEMENT", 0x90000850, 0, 370, 236, "", {{1, 0x50010301, 0}, {2, 0x50010300, 0}, {151, 0x50A30844, 0x1}}},
    {"IDD_DIR", 0x90000850, 0, 370, 236, "",
     {{1, 0x50010301, 0}, {2, 0x50010300, 0}, {100, 0x50010300, 0}, {101, 0x50010080, 0x200}, {-1, 0x50800001, 0}}},
    {"IDD_BROWSE", 0x90C808D0, 0x1, 262, 209, "Setup - directory",
     {{1, 0x50010300, 0}, {105, 0x50810080, 0}, {104, 0x50210003, 0}, {107, 0x50800017, 0x220},
      {102, 0x50810880, 0x200}, {-1, 0x50001000, 0}, {103, 0x50001000, 0}, {2, 0x50010300, 0}}},
    {"IDD_COPY", 0x90000850, 0, 370, 236, "", {{2, 0x50010301, 0}, {214, 0x50000004, 0}, {215, 0x50010800, 0x200}}},
    {"IDD_SHORTCUT", 0x90000850, 0, 370, 236, "", {{1, 0x50010301, 0}, {2, 0x50010300, 0}, {100, 0x50010300, 0},
     {101, 0x50010080, 0x200}, {-1, 0x50800001, 0}, {110, 0x50018003, 0}}},
    {"IDD_BROWSE_SHORTCUT", 0x90C80850, 0, 188, 189, "",
     {{1, 0x50010301, 0}, {211, 0x50810880, 0}, {-1, 0x50000000, 0}, {2, 0x50010300, 0}, {212, 0x50800017, 0}}},
};

// Reads DLGTEMPLATEEX fields in order; any read past the end marks it bad.
struct TemplateReader {
    const qt::Bytes& data;
    size_t at = 0;
    bool bOk = true;

    WORD Word()
    {
        bOk = bOk && at + 2 <= data.size();
        at += 2;
        return bOk ? static_cast<WORD>(data[at - 2] | data[at - 1] << 8) : 0;
    }
    DWORD Dword() { DWORD low = Word(); return low | static_cast<DWORD>(Word()) << 16; }
    // A sz_Or_Ord field: "#n" for an ordinal, otherwise the text.
    std::string Text()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD ch = first; ch != 0 && bOk; ch = Word())
            text += static_cast<char>(ch);
        return text;
    }
};

TEST(SetupResources, DialogTemplatesCarryExactlyTheGivenStyles)
{
    for (const DialogSpec& want : kDialogs) {
        SCOPED_TRACE(want.pszName);
        qt::Bytes data = Resource(want.pszName, RT_DIALOG);
        ASSERT_FALSE(data.empty());
        TemplateReader t{data};
        EXPECT_EQ(t.Dword(), 0xFFFF0001u);  // DLGTEMPLATEEX
        t.Dword();                          // help id
        EXPECT_EQ(t.Dword(), want.exStyle);
        EXPECT_EQ(t.Dword(), want.style);
        ASSERT_EQ(t.Word(), want.controls.size());
        EXPECT_EQ(t.Dword(), 0u);  // x, y
        EXPECT_EQ(static_cast<short>(t.Word()), want.cx);
        EXPECT_EQ(static_cast<short>(t.Word()), want.cy);
        EXPECT_EQ(t.Text(), "");  // no menu
        EXPECT_EQ(t.Text(), "");  // the standard dialog class
        EXPECT_EQ(t.Text(), want.pszTitle);
        EXPECT_EQ(t.Word(), 8);  // points
        t.at += 4;               // weight, italic, character set
        EXPECT_EQ(t.Text(), "MS Sans Serif");
        for (const ControlSpec& control : want.controls) {
            SCOPED_TRACE(control.id);
            t.at = (t.at + 3) & ~static_cast<size_t>(3);
            t.Dword();  // help id
            EXPECT_EQ(t.Dword(), control.exStyle);
            EXPECT_EQ(t.Dword(), control.style);
            t.at += 8;  // position and size
            EXPECT_EQ(static_cast<int>(t.Dword()), control.id);
            t.Text();  // class
            t.Text();  // text
            t.at += t.Word();
        }
        EXPECT_TRUE(t.bOk);
    }
}

}  // namespace
