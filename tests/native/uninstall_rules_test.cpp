// The uninstaller's decisions: which recorded folders it refuses and why,
// what counts as inside the install folder, manifest reading, the order in
// which folders are tried, and its command line.
#include "uninstall/uninstall_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

TEST(UninstallRules, InstallFoldersAreRefusedWithTheirReason)
{
    using R = PathRefusal;
    const std::string longest = "C:\\" + std::string(RECORDED_FOLDER_MAX - 3, 'q');
    const char kQ[] = "C:\\Games\\Quarnel";
    // Without a start folder, the folder is compared with itself.
    const struct { std::string folder; const char* pszStart; R refusal; } kCases[] = {
        {"", nullptr, R::Empty}, {longest, nullptr, R::None}, {longest + "q", nullptr, R::TooLong},
        {"Quarnel", nullptr, R::Relative}, {"\\Games\\Quarnel", nullptr, R::Relative},
        {"\\\\server\\share\\Quarnel", nullptr, R::Relative}, {"C:Games", nullptr, R::Relative},
        {"1:\\Games", nullptr, R::Relative}, {"C:", nullptr, R::DriveRoot}, {"C:\\", nullptr, R::DriveRoot},
        {"d:\\", nullptr, R::DriveRoot}, {"C:\\Games\\..\\Windows", nullptr, R::ParentComponent},
        {"C:\\..", nullptr, R::ParentComponent}, {"C:\\Games\\Quarnel\\. .", nullptr, R::ParentComponent},
        {"C:\\Games\\\\Quarnel", nullptr, R::Malformed}, {"C:\\Games\\Quarnel\\", nullptr, R::Malformed},
        {"C:/Games/Quarnel", nullptr, R::Malformed}, {"C:\\Games\\Quarnel:s", nullptr, R::Malformed},
        {"C:\\Games\\Qu|rnel", nullptr, R::Malformed}, {std::string("C:\\Games\0\\Q", 11), nullptr, R::Malformed},
        {"C:\\Program Files\\Quarnel", nullptr, R::None}, {"c:\\Spiele\\Qu\xE4rnel...x", nullptr, R::None},
        {"C:\\GAMES\\quarnel", kQ, R::None}, {kQ, "C:\\Games\\Quarnel2", R::NotStartFolder},
        {"C:\\Games\\Quarnel2", kQ, R::NotStartFolder}, {kQ, "C:\\Games\\Quarnel\\", R::NotStartFolder},
        {"C:\\Games", kQ, R::NotStartFolder},
    };
    EXPECT_EQ(CheckRecordedFolder(nullptr, 0), R::Missing);
    for (const auto& c : kCases) {
        const std::string start = c.pszStart ? c.pszStart : c.folder;
        EXPECT_EQ(CheckInstallFolder(c.folder.data(), c.folder.size(), start.c_str()), c.refusal) << c.folder;
    }
}

TEST(UninstallRules, OnlyPathsBelowTheFolderAreInside)
{
    const char kProgdir[] = "C:\\Games\\Quarnel";
    EXPECT_TRUE(IsInsideFolder("C:\\Games\\Quarnel\\quarnel.exe", kProgdir));
    EXPECT_TRUE(IsInsideFolder("c:\\games\\QUARNEL\\GAMEBIN\\game.cfg", kProgdir));
    // A sibling whose name begins the same way is outside: the desktop link
    // into it is another program's.
    for (const char* pszOutside : {"C:\\Games\\Quarnel", "C:\\Games\\Quarnel\\", "C:\\Games\\Quarnel2\\quarnel.exe",
                                   "C:\\Games\\Quarnel Tools\\quarnel.exe",
                                   "C:\\Games\\Quarnel2.exe", "C:\\Games\\Quarnel\\..\\Other\\quarnel.exe",
                                   "C:\\Games\\Quarnel\\GAMEBIN\\..\\..\\x.exe", "C:\\Windows\\notepad.exe"})
        EXPECT_FALSE(IsInsideFolder(pszOutside, kProgdir)) << pszOutside;
}

// Every level from the install folder to the last component's folder is
// asked; the last component, a link itself, goes as the link.
std::string linkLevels;
bool IsLinkLevel(const char* pszLevel) { return linkLevels.find("|" + std::string(pszLevel) + "|") != std::string::npos; }

TEST(UninstallRules, NothingIsRemovedThroughALink)
{
    const std::string tooLong = "C:\\Q\\" + std::string(2 * RECORDED_FOLDER_MAX, 'x');
    const struct { const char* pszLinks; std::string path; bool bReaches; } kCases[] = {
        {"", "C:\\Q\\a\\b.dat", false}, {"|C:\\Q|", "C:\\Q\\a\\b.dat", true}, {"|C:\\Q\\a|", "C:\\Q\\a\\b.dat", true},
        {"|C:\\Q\\a\\b|", "C:\\Q\\a\\b\\c\\d.dat", true}, {"|C:\\Q\\a\\b.dat|", "C:\\Q\\a\\b.dat", false},
        {"|C:|C:\\Q\\b|", "C:\\Q\\a\\b.dat", false}, {"", "C:\\Q", true}, {"", "C:\\Qx\\a.dat", true}, {"", tooLong, true},
    };
    for (const auto& c : kCases) {
        linkLevels = c.pszLinks;
        EXPECT_EQ(ReachesThroughLink(c.path.c_str(), 4, IsLinkLevel), c.bReaches) << c.pszLinks << " " << c.path;
    }
}

// The names read, then the line and reason of the refusal that stopped them.
struct ReadResult {
    Names names;
    size_t nLine;
    NameRefusal refusal;
};

ReadResult ReadManifest(const std::string& text)
{
    ReadResult r{{}, 0, NameRefusal::None};
    ManifestReader reader = StartManifest(text.data(), text.size());
    const char* pch;
    size_t cch;
    while (NextManifestName(&reader, &pch, &cch, &r.refusal))
        r.names.emplace_back(pch, cch);
    r.nLine = reader.nLine;
    return r;
}

TEST(UninstallRules, ManifestsTolerateCrLfAndBlankLinesAndStopAtABadLine)
{
    EXPECT_EQ(ReadManifest("quarnel.exe\r\n\r\nuninstall.exe\n\nGAMEBIN\\sound\\jump.wav\r\n\n").names,
              (Names{"quarnel.exe", "uninstall.exe", "GAMEBIN\\sound\\jump.wav"}));
    EXPECT_EQ(ReadManifest("readme.rtf").names, Names{"readme.rtf"});
    EXPECT_EQ(ReadManifest(std::string(MANIFEST_NAME_MAX, 'x')).refusal, NameRefusal::None);

    using N = NameRefusal;
    const struct { std::string line; N refusal; } kCases[] = {
        {"..\\boot.ini", N::ParentComponent}, {"GAMEBIN\\ . \\x", N::ParentComponent}, {" ", N::ParentComponent},
        {"C:\\boot.ini", N::Drive}, {"readme.rtf:s", N::Drive}, {"\\boot.ini", N::Absolute},
        {"GAMEBIN\\\\x", N::EmptyComponent}, {"GAMEBIN\\", N::EmptyComponent}, {"GAMEBIN/x", N::BadCharacter},
        {"a\rb", N::BadCharacter}, {std::string("a\0b", 3), N::BadCharacter},
        {std::string(MANIFEST_NAME_MAX + 1, 'x'), N::TooLong},
    };
    for (const auto& c : kCases) {
        ReadResult r = ReadManifest("quarnel.exe\r\n\r\n" + c.line + "\r\nreadme.rtf\r\n");
        EXPECT_EQ(r.refusal, c.refusal) << c.line;
        EXPECT_EQ(r.nLine, 3u) << c.line;
        EXPECT_EQ(r.names, Names{"quarnel.exe"}) << c.line;
    }
}

// Lines as the system's list of programs, a user and the original hand them
// over; an unquoted path with a space is only accepted whole and as its own.
TEST(UninstallRules, CommandLinesAcceptTheOwnPathUnquotedAndNothingElse)
{
    const char kSelf[] = "C:\\Program files\\Quarnel\\uninstall.exe";
    const std::string self = kSelf, copyLine = "\"C:\\Temp\\qun1.tmp\" /S /FROM=" + self;
    const struct { std::string line; const char* pszSelf; bool bValid, bSilent; const char* pszFrom; } kCases[] = {
        {self, kSelf, true, false, nullptr}, {self + " /S", kSelf, true, true, nullptr},
        {self + "\t/s ", kSelf, true, true, nullptr},
        {"c:\\PROGRAM FILES\\quarnel\\Uninstall.EXE /S", kSelf, true, true, nullptr},
        {"\"" + self + "\" /S", kSelf, true, true, nullptr}, {"\"" + self + "\"", kSelf, true, false, nullptr},
        {"uninstall.exe /S", kSelf, true, true, nullptr}, {copyLine, "C:\\Temp\\qun1.tmp", true, true, kSelf},
        {self + " /FROM=C:\\x y", kSelf, true, false, "C:\\x y"},
        {self, "", false, false, nullptr},  // own path unknown
        {"C:\\Program files\\Other\\uninstall.exe", kSelf, false, false, nullptr},
        {"C:\\Program files\\Quarnel", kSelf, false, false, nullptr},
        {self + "2 /S", kSelf, false, false, nullptr}, {self + "/S", kSelf, false, false, nullptr},
        {self + " /S junk", kSelf, false, false, nullptr}, {self + " /X", kSelf, false, false, nullptr},
        {self + " /FROM=", kSelf, false, false, nullptr}, {"\"" + self + "\" files", kSelf, false, false, nullptr},
        {"C:\\Program files\\Qu\xC4rnel\\uninstall.exe", "C:\\Program files\\Qu\xE4rnel\\uninstall.exe", false,
         false, nullptr},
    };
    for (const auto& c : kCases) {
        UninstallArgs args;
        EXPECT_EQ(ParseUninstallCommandLine(c.line.c_str(), c.pszSelf, &args), c.bValid) << c.line;
        if (!c.bValid)
            continue;
        EXPECT_EQ(args.bSilent, c.bSilent) << c.line;
        EXPECT_STREQ(args.pszFrom, c.pszFrom) << c.line;
    }
    char szLine[96];
    EXPECT_TRUE(ComposeCopyCommand(szLine, sizeof szLine, "C:\\Temp\\qun1.tmp", true, kSelf));
    EXPECT_EQ(szLine, copyLine);
    EXPECT_FALSE(ComposeCopyCommand(szLine, copyLine.size(), "C:\\Temp\\qun1.tmp", true, kSelf));
}

Names Folders(const Names& names, size_t nMax)
{
    std::vector<PathSpan> spans, folders(nMax);
    for (const std::string& name : names)
        spans.push_back({name.data(), name.size()});
    size_t n = ListInstalledFolders(spans.data(), spans.size(), folders.data(), nMax);
    Names out;
    for (size_t i = 0; n != SIZE_MAX && i < n; ++i)
        out.emplace_back(folders[i].pch, folders[i].cch);
    return n == SIZE_MAX ? Names{"(too many)"} : out;
}

TEST(UninstallRules, FoldersAreTriedDeepestFirstEachOnce)
{
    const Names names = {"quarnel.exe",    "GAMEBIN\\game.cfg",       "Docs\\manual.txt",  "GAMEBIN\\sound\\a.wav",
                         "gamebin\\b.dat", "GAMEBIN\\Sound\\x\\y.wav", "aimages\\logo.bmp", "GAMEBIN\\sound\\c.wav"};
    EXPECT_EQ(Folders(names, 12), (Names{"GAMEBIN\\Sound\\x", "GAMEBIN\\sound", "GAMEBIN", "Docs", "aimages"}));
    EXPECT_EQ(Folders({"quarnel.exe"}, 1), Names{"AImages"});
    EXPECT_EQ(Folders({"a\\b\\c.dat"}, 2), Names{"(too many)"});
}

}  // namespace
