// libFuzzer target over the uninstaller's path rules. The input's first line
// is a recorded folder, the rest a path to test against it and the options
// of a command line. Whatever the bytes, an accepted folder is a full path
// below a drive's root that nothing climbs out of, a path "inside" it really
// lies below it, and the uninstaller in that folder reads the same options
// after its own path unquoted, in any ASCII case, as after it quoted.
#include "uninstall/uninstall_rules.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

static void Fail(const char* pszWhat, const std::string& detail)
{
    std::fprintf(stderr, "fuzz_uninstall_paths: %s: %s\n", pszWhat, detail.c_str());
    std::abort();
}

static bool HasClimbingComponent(const std::string& path)
{
    size_t nStart = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '\\' && path[i] != '/')
            continue;
        if (path.find_first_not_of(". ", nStart) >= i)
            return true;  // empty, or dots and spaces only
        nStart = i + 1;
    }
    return false;
}

static void CheckFolder(const std::string& folder)
{
    if (CheckRecordedFolder(folder.data(), folder.size()) != PathRefusal::None)
        return;
    if (folder.size() < 4 || folder.size() > RECORDED_FOLDER_MAX || folder[1] != ':' || folder[2] != '\\' ||
        folder.find('\0') != std::string::npos || HasClimbingComponent(folder.substr(3)))
        Fail("accepted a folder the rules refuse", folder);
    if (CheckInstallFolder(folder.data(), folder.size(), folder.c_str()) != PathRefusal::None ||
        CheckInstallFolder(folder.data(), folder.size(), (folder + "x").c_str()) != PathRefusal::NotStartFolder)
        Fail("start folder comparison", folder);
    if (!IsInsideFolder((folder + "\\quarnel.exe").c_str(), folder.c_str()))
        Fail("a file of the folder is not inside it", folder);
}

static void CheckInside(const std::string& path, const std::string& folder)
{
    if (folder.find('\0') != std::string::npos || path.find('\0') != std::string::npos ||
        !IsInsideFolder(path.c_str(), folder.c_str()))
        return;
    if (path.size() <= folder.size() + 1 || !SamePath(path.substr(0, folder.size()).c_str(), folder.c_str()) ||
        path[folder.size()] != '\\' || HasClimbingComponent(path.substr(folder.size() + 1)))
        Fail("inside, but not below the folder", path + " | " + folder);
}

static std::string Parsed(const std::string& line, const std::string& self)
{
    UninstallArgs args;
    if (!ParseUninstallCommandLine(line.c_str(), self.c_str(), &args))
        return "refused";
    return std::string(args.bSilent ? "/S" : "") + (args.pszFrom ? " /FROM=" + std::string(args.pszFrom) : "");
}

static void CheckCommandLine(const std::string& options, const std::string& folder)
{
    if ((folder + options).find_first_of(std::string("\"\0", 2)) != std::string::npos)
        return;
    const std::string self = folder + "\\" + kUninstallerName;
    std::string upper = self;
    for (char& ch : upper)
        ch = ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
    const std::string quoted = Parsed("\"" + self + "\" " + options, self);
    if (Parsed(self + " " + options, self) != quoted || Parsed(upper + " " + options, self) != quoted)
        Fail("the own path unquoted reads differently", self + " | " + options);
    Parsed(options, folder);  // a line shorter or other than the path
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cbData)
{
    const std::string input(reinterpret_cast<const char*>(pData), cbData);
    const size_t nNewline = input.find('\n');
    const std::string folder = input.substr(0, nNewline);
    CheckFolder(folder);
    if (nNewline != std::string::npos) {
        CheckInside(input.substr(nNewline + 1), folder);
        CheckCommandLine(input.substr(nNewline + 1), folder);
    }
    return 0;
}
