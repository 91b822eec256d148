// Uninstaller of the sample build: reads the uninstall entry that Setup
// wrote and lists everything that uninstalling Quarnel takes away. It does
// not remove anything yet.

#include <windows.h>

#include <cstring>

namespace {

const char kCaption[] = "Quarnel - Uninstall";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quarnel";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Quarnel";
const char kShellFoldersKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char* const kGroupShortcuts[] = {"Quarnel.lnk", "Uninstall.lnk", "Readme.lnk"};
const char kDesktopShortcut[] = "Quarnel.lnk";

// An open registry key, closed when it goes out of scope.
class RegKey {
public:
    RegKey() = default;
    ~RegKey()
    {
        if (hKey_)
            RegCloseKey(hKey_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    bool Open(HKEY hRoot, const char* pszPath)
    {
        HKEY hKey = nullptr;
        if (RegOpenKeyExA(hRoot, pszPath, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS)
            return false;
        hKey_ = hKey;
        return true;
    }

    // Reads a REG_SZ value into szValue[cchValue]. Fails for a missing value,
    // another type, or text that does not fit; the registry does not promise
    // a terminator, so one is always added.
    bool ReadString(const char* pszName, char* szValue, DWORD cchValue) const
    {
        if (!hKey_ || cchValue == 0)
            return false;
        DWORD type = 0;
        DWORD cb = cchValue - 1;
        LONG rc = RegQueryValueExA(hKey_, pszName, nullptr, &type, reinterpret_cast<BYTE*>(szValue), &cb);
        if (rc != ERROR_SUCCESS || type != REG_SZ || cb >= cchValue) {
            szValue[0] = '\0';
            return false;
        }
        szValue[cb] = '\0';
        return true;
    }

private:
    HKEY hKey_ = nullptr;
};

template <size_t N> bool ReadString(const RegKey& key, const char* pszName, char (&szValue)[N])
{
    static_assert(N <= MAXDWORD, "a registry buffer is measured in a DWORD");
    return key.ReadString(pszName, szValue, static_cast<DWORD>(N));
}

// Text for the message box in a fixed buffer. What does not fit is cut off,
// never written past the end (the printf family would add a hundred KB).
template <size_t N> class TextBuffer {
public:
    TextBuffer& operator<<(const char* psz)
    {
        size_t n = std::strlen(psz);
        if (n > N - 1 - len_)
            n = N - 1 - len_;
        std::memcpy(sz_ + len_, psz, n);
        len_ += n;
        sz_[len_] = '\0';
        return *this;
    }
    const char* Get() const { return sz_; }

private:
    char sz_[N] = {};
    size_t len_ = 0;
};

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    RegKey uninstallKey;
    char szDisplayName[MAX_PATH];
    if (!uninstallKey.Open(HKEY_LOCAL_MACHINE, kUninstallKey) ||
        !ReadString(uninstallKey, "DisplayName", szDisplayName)) {
        MessageBoxA(nullptr, "Quarnel is not installed.", kCaption, MB_OK | MB_ICONINFORMATION);
        return 1;
    }
    char szUninstallString[MAX_PATH];
    char szGroup[MAX_PATH];
    char szProgDir[MAX_PATH];
    char szDesktop[MAX_PATH];
    const char kNotRecorded[] = "(not recorded)";
    if (!ReadString(uninstallKey, "UninstallString", szUninstallString))
        std::memcpy(szUninstallString, kNotRecorded, sizeof kNotRecorded);
    if (!ReadString(uninstallKey, "Scdir", szGroup))
        std::memcpy(szGroup, kNotRecorded, sizeof kNotRecorded);
    if (!ReadString(uninstallKey, "Progdir", szProgDir))
        std::memcpy(szProgDir, kNotRecorded, sizeof kNotRecorded);
    RegKey shellFolders;
    bool bDesktop = shellFolders.Open(HKEY_LOCAL_MACHINE, kShellFoldersKey) &&
                    ReadString(shellFolders, "Common Desktop", szDesktop);

    // Five paths of MAX_PATH and the fixed text fit with room to spare.
    TextBuffer<4096> text;
    text << "Uninstalling " << szDisplayName << " removes:\n\nThe program group\n    " << szGroup
         << "\nwith its shortcuts\n";
    for (const char* pszShortcut : kGroupShortcuts)
        text << "    " << pszShortcut << "\n";
    text << "\nThe desktop shortcut\n    ";
    if (bDesktop)
        text << szDesktop << "\\" << kDesktopShortcut << "\n";
    else
        text << kDesktopShortcut << " on the common desktop\n";
    text << "\nThe install directory and everything in it\n    " << szProgDir << "\n";
    text << "\nThe registry keys\n    HKLM\\" << kAppPathsKey << "\n    HKLM\\"
         << kUninstallKey << "\n";
    text << "\nUninstall command: " << szUninstallString << "\n\nThis sample build removes nothing yet.";
    MessageBoxA(nullptr, text.Get(), kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}
