// The built installer's resources read back through the Windows loader, as
// the pages load them: the licence and class-name strings, the page artwork
// and the dialog templates with the exact styles the pages rely on. (The
// payload and the icons are compared byte for byte by setup_pe_check.)
#include "tests/common/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using qt::WinePath;

namespace {

std::string ReadText(const std::string& path)
{
    std::string text;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return text;
    char buffer[4096];
    size_t cb;
    while ((cb = std::fread(buffer, 1, sizeof(buffer), f)) > 0)
        text.append(buffer, cb);
    std::fclose(f);
    return text;
}

// Styles read best in hexadecimal when they differ.
std::string Hex(DWORD value)
{
    char sz[16];
    std::snprintf(sz, sizeof(sz), "0x%08lX", static_cast<unsigned long>(value));
    return sz;
}

class SetupResources : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        hSetup = LoadLibraryExA(WinePath(SETUP_EXE_UNIX).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite()
    {
        if (hSetup)
            FreeLibrary(hSetup);
        hSetup = nullptr;
    }
    void SetUp() override { ASSERT_NE(hSetup, nullptr) << "cannot load " << SETUP_EXE_UNIX; }

    // The bytes of a resource, or an empty vector when it is missing.
    static std::vector<unsigned char> Bytes(LPCSTR pszName, LPCSTR pszType)
    {
        HRSRC hInfo = FindResourceA(hSetup, pszName, pszType);
        HGLOBAL hData = hInfo ? LoadResource(hSetup, hInfo) : nullptr;
        const unsigned char* p = hData ? static_cast<const unsigned char*>(LockResource(hData)) : nullptr;
        return p ? std::vector<unsigned char>(p, p + SizeofResource(hSetup, hInfo)) : std::vector<unsigned char>();
    }

    static HMODULE hSetup;
};

HMODULE SetupResources::hSetup = nullptr;

TEST_F(SetupResources, LicenceLoadsWholeIntoThePageBufferWithCrLfLines)
{
    std::string expected;
    for (char c : ReadText(WinePath(LICENCE_TXT_UNIX))) {
        if (c == '\n')
            expected += "\r\n";
        else if (c != '\r')
            expected += c;
    }
    ASSERT_FALSE(expected.empty());

    std::vector<char> buffer(7000, '\x7F');
    int cch = LoadStringA(hSetup, 150, buffer.data(), 7000);
    ASSERT_GT(cch, 0);
    std::string text(buffer.data(), static_cast<size_t>(cch));
    EXPECT_LT(cch, 6999) << "the text fills the buffer and may be cut";
    EXPECT_EQ(buffer[static_cast<size_t>(cch)], '\0');
    EXPECT_EQ(text, expected);

    size_t cLines = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
            ++cLines;
        } else if (text[i] == '\r') {
            EXPECT_TRUE(i + 1 < text.size() && text[i + 1] == '\n') << "bare carriage return at " << i;
        }
    }
    EXPECT_EQ(cLines, 43u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST_F(SetupResources, ClassNameIsSetup)
{
    char szClassName[20] = {};
    EXPECT_EQ(LoadStringA(hSetup, 301, szClassName, sizeof(szClassName)), 5);
    EXPECT_STREQ(szClassName, "SETUP");
}

TEST_F(SetupResources, PageArtworkIs556By384With256ColoursUncompressed)
{
    HBITMAP hBitmap = LoadBitmapA(hSetup, "IDB_KORVEN");
    ASSERT_NE(hBitmap, nullptr);
    BITMAP bm = {};
    ASSERT_EQ(GetObjectA(hBitmap, sizeof(bm), &bm), static_cast<int>(sizeof(bm)));
    EXPECT_EQ(bm.bmWidth, 556);
    EXPECT_EQ(bm.bmHeight, 384);
    DeleteObject(hBitmap);

    std::vector<unsigned char> dib = Bytes("IDB_KORVEN", RT_BITMAP);
    ASSERT_GE(dib.size(), sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER header;
    std::memcpy(&header, dib.data(), sizeof(header));
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_EQ(header.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_TRUE(header.biClrUsed == 0 || header.biClrUsed == 256);
    EXPECT_EQ(dib.size(), sizeof(header) + 256 * sizeof(RGBQUAD) + 556u * 384u);
}

struct ControlSpec {
    int id;
    DWORD style, exStyle;
};

struct DialogSpec {
    const char* pszName;
    DWORD style, exStyle;
    short cx, cy;
    const char* pszTitle;
    std::vector<ControlSpec> controls;
};

// The templates as the pages expect them, in the wizard's order; controls in
// template (tab) order.
const DialogSpec kDialogs[] = {
    {"IDD_AGREEMENT", 0x90000850, 0, 370, 236, "", {{1, 0x50010301, 0}, {2, 0x50010300, 0}, {151, 0x50A30844, 0x1}}},
    {"IDD_DIR", 0x90000850, 0, 370, 236, "",
     {{1, 0x50010301, 0}, {2, 0x50010300, 0}, {100, 0x50010300, 0}, {101, 0x50010080, 0x200}, {-1, 0x50800001, 0}}},
    {"IDD_BROWSE", 0x90C808D0, 0x1, 262, 209, "Setup - directory",
     {{1, 0x50010300, 0},
      {105, 0x50810080, 0},
      {104, 0x50210003, 0},
      {107, 0x50800017, 0x220},
      {102, 0x50810880, 0x200},
      {-1, 0x50001000, 0},
      {103, 0x50001000, 0},
      {2, 0x50010300, 0}}},
    {"IDD_COPY", 0x90000850, 0, 370, 236, "", {{2, 0x50010301, 0}, {214, 0x50000004, 0}, {215, 0x50010800, 0x200}}},
    {"IDD_SHORTCUT", 0x90000850, 0, 370, 236, "",
     {{1, 0x50010301, 0},
      {2, 0x50010300, 0},
      {100, 0x50010300, 0},
      {101, 0x50010080, 0x200},
      {-1, 0x50800001, 0},
      {110, 0x50018003, 0}}},
    {"IDD_BROWSE_SHORTCUT", 0x90C80850, 0, 188, 189, "",
     {{1, 0x50010301, 0}, {211, 0x50810880, 0}, {-1, 0x50000000, 0}, {2, 0x50010300, 0}, {212, 0x50800017, 0}}},
};

// Reads DLGTEMPLATEEX fields in order; any read past the end marks it bad.
class TemplateReader {
public:
    explicit TemplateReader(const std::vector<unsigned char>& data) : data_(data) {}
    bool Ok() const { return bOk_; }
    WORD Word()
    {
        if (offset_ + 2 > data_.size()) {
            bOk_ = false;
            return 0;
        }
        WORD w = static_cast<WORD>(data_[offset_] | data_[offset_ + 1] << 8);
        offset_ += 2;
        return w;
    }
    DWORD Dword()
    {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    // A sz_Or_Ord field: "#n" for an ordinal, otherwise the text.
    std::string Text()
    {
        WORD first = Word();
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text;
        for (WORD ch = first; ch != 0 && bOk_; ch = Word())
            text += static_cast<char>(ch);
        return text;
    }
    void Skip(size_t cb) { offset_ += cb; }
    void AlignDword() { offset_ = (offset_ + 3) & ~static_cast<size_t>(3); }

private:
    const std::vector<unsigned char>& data_;
    size_t offset_ = 0;
    bool bOk_ = true;
};

TEST_F(SetupResources, DialogTemplatesCarryExactlyTheGivenStyles)
{
    for (const DialogSpec& want : kDialogs) {
        SCOPED_TRACE(want.pszName);
        std::vector<unsigned char> data = Bytes(want.pszName, RT_DIALOG);
        ASSERT_FALSE(data.empty());
        TemplateReader t(data);
        EXPECT_EQ(t.Word(), 1);  // DLGTEMPLATEEX
        EXPECT_EQ(t.Word(), 0xFFFF);
        t.Dword();  // help id
        EXPECT_EQ(Hex(t.Dword()), Hex(want.exStyle));
        EXPECT_EQ(Hex(t.Dword()), Hex(want.style));
        WORD cItems = t.Word();
        ASSERT_EQ(cItems, want.controls.size());
        EXPECT_EQ(t.Word(), 0);  // x
        EXPECT_EQ(t.Word(), 0);  // y
        EXPECT_EQ(static_cast<short>(t.Word()), want.cx);
        EXPECT_EQ(static_cast<short>(t.Word()), want.cy);
        EXPECT_EQ(t.Text(), "");  // no menu
        EXPECT_EQ(t.Text(), "");  // the standard dialog class
        EXPECT_EQ(t.Text(), want.pszTitle);
        EXPECT_EQ(t.Word(), 8);  // points
        t.Skip(4);               // weight, italic, character set
        EXPECT_EQ(t.Text(), "MS Sans Serif");
        for (const ControlSpec& control : want.controls) {
            SCOPED_TRACE(control.id);
            t.AlignDword();
            t.Dword();  // help id
            EXPECT_EQ(Hex(t.Dword()), Hex(control.exStyle));
            EXPECT_EQ(Hex(t.Dword()), Hex(control.style));
            t.Skip(8);  // position and size
            EXPECT_EQ(static_cast<int>(t.Dword()), control.id);
            t.Text();  // class
            t.Text();  // text
            t.Skip(t.Word());
        }
        EXPECT_TRUE(t.Ok());
    }
}

}  // namespace
