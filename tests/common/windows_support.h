// What the Windows-side tests, the end-to-end driver and the benchmarks do
// alike with the system: start a program so that it never outlives its
// caller, read back what the installer leaves (shell links, registry values,
// folder listings), and load or rewrite setup.exe. Windows builds only;
// nothing here knows a page's logic.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace qt {

// The browsers' up item, as the user sees it.
constexpr char kUpItem[] = "........";

// A program started in a job of its own that ends it and everything it
// starts when the job is ended (or the caller exits: kill-on-close), so that
// no test leaves a process behind for the next.
struct JobRun {
    HANDLE hJob = nullptr;
    PROCESS_INFORMATION pi = {};
};
// Starts program in a new job, suspended until it is in the job, with
// commandLine passed unchanged ("": the program's path quoted) and dir as its
// current folder ("": the program's own, where setup.exe looks for its
// files). False, with nothing left open, when it cannot.
bool StartInJob(JobRun& run, const std::string& program, const std::string& commandLine = "",
                const std::string& dir = "");
// The exit code of the program once it has ended, ~0u when it runs past ms.
DWORD ExitCodeWithin(const JobRun& run, DWORD ms);
// Ends everything in the job and closes the handles; an empty run is left so.
void EndJob(JobRun& run);

// A shortcut file as "target|description", then "|" and whatever else it
// carries (arguments, working folder, icon, hot key); "-" when it cannot be
// read. In a COM session of its own, so that COM is left as it was. The wide
// form reads names outside the ANSI code page as they are.
std::wstring ReadShellLinkW(const std::wstring& link);
std::string ReadShellLink(const std::string& link);

// Registry access in a given view: samView 0, KEY_WOW64_32KEY (where a
// 32-bit setup.exe writes HKLM\SOFTWARE) or KEY_WOW64_64KEY.
bool KeyExists(HKEY hRoot, const std::string& key, REGSAM samView = 0);
// A value as "type:size:text" (any type, unexpanded), "-" when it cannot be
// read: one text shows both the data and how it was written.
std::string RegValueText(HKEY hRoot, const std::string& key, const char* pszName, REGSAM samView = 0);
// Writes a text value (of type dwType), making the key when missing.
bool SetRegValue(HKEY hRoot, const std::string& key, const char* pszName, const std::string& text,
                 REGSAM samView = 0, DWORD dwType = REG_SZ);
// bLocked: the key may be read and deleted but not opened for writing, as a
// user without rights sees it; otherwise open to all again. Made when missing.
bool LockKey(HKEY hRoot, const std::string& key, bool bLocked = true, REGSAM samView = 0);

// A file, or a folder with everything in it, read-only entries too; a link
// goes as the link, what it points at stays.
void RemoveTree(const std::string& path);
// A folder link as Wine can make one: a Unix symbolic link, which it shows as
// a reparse point (its CreateSymbolicLink makes nothing, and its
// RemoveDirectory leaves a link to a folder that holds anything).
bool MakeDirectoryLink(const std::string& link, const std::string& target);
// Every entry of dir but "." and ".."; only subfolders not starting with a
// dot when bSubfolders.
std::vector<std::string> Entries(const std::string& dir, bool bSubfolders);
// The subfolders of dir not starting with a dot (hidden and system ones too).
std::vector<std::string> Subfolders(const std::string& dir);
// What a browser lists standing in parent: its subfolders, the up item when
// bUp, and the product folder, in the list view's order (ignoring case).
std::vector<std::string> ExpectedFolderList(const std::string& parent, bool bUp, const std::string& product);
// A control's text read with WM_GETTEXT through SendMessageTimeout (another
// process's windows too, up to 64 KiB); polled every 50 ms until it is want
// or ms have passed. pShown: the text last read, "(no answer)" from a window
// that did not answer within 5 s.
bool PollText(HWND hControl, const std::string& want, DWORD ms, std::string* pShown = nullptr);

// setup.exe as a data file, for its templates, artwork and payload, with the
// list-view classes registered as setup.exe registers them; null when it
// cannot be loaded. The pages take it as their instance (hAppInstance).
HMODULE LoadSetupExe(const std::string& setupExe);
// The game's files in archive order, as gameDir\manifest.txt lists them.
std::vector<std::string> ReadManifest(const std::string& gameDir);
// A copy of setupExe at exe whose payload resource is the given bytes, or is
// removed when pPayload is null; checked by reading it back as the installer
// will find it.
bool CraftSetupExe(const std::string& setupExe, const std::string& exe,
                   const std::vector<unsigned char>* pPayload);

// The benchmarks' command lines: after argv[nFirst - 1], groups of nGroup
// arguments, one group per program timed; empty unless they come whole.
std::vector<std::vector<std::string>> ArgumentGroups(int argc, char** argv, int nFirst, int nGroup);

}  // namespace qt
