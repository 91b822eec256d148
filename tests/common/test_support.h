// Helpers shared by the native and the Windows-side tests: archives and gzip
// data made independently of the packer, scratch directories, and a recorder
// in place of the message box.
#pragma once

#include "shell/message.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qt {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

// Installer paths use backslashes; on the build host they name the same file
// with slashes.
fs::path FsPath(const std::string& installerPath);
// The name under which Wine's drive Z: shows a path of the build machine.
std::string WinePath(const char* pszUnixPath);

Bytes ReadFile(const std::string& installerPath);
void WriteFile(const std::string& installerPath, const Bytes& data);
inline bool Exists(const std::string& path) { std::error_code ec; return fs::exists(FsPath(path), ec); }
inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }
// Deterministic, poorly compressible data of the given size.
Bytes PatternBytes(size_t size, uint32_t seed);

// A record in the archive format, written the simple way.
void AppendRecord(Bytes& archive, const std::string& name, const Bytes& data);
// A gzip member made with zlib's own gzip wrapper.
Bytes Gzip(const Bytes& data);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir() { std::error_code ec; fs::remove_all(root_, ec); }
    // The directory or a name inside it, in the installer's form.
    std::string Path(const std::string& name = "") const { return (name.empty() ? root_ : root_ / name).string(); }
    const fs::path& FsRoot() const { return root_; }

private:
    fs::path root_;
};

// Every file (or every directory) below root, as sorted backslash-separated
// relative names.
std::vector<std::string> ListFiles(const fs::path& root, bool bDirectories = false);

// Puts itself in place of the message box while it lives; every box answers OK.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder() { pfnMessageBox = previous_; }
    // context: what the test wants to know at the moment a box shows.
    struct Box { HWND hOwner; std::string text; bool bNullCaption; UINT uStyle; std::string context; };
    std::vector<Box> boxes;
    std::function<std::string()> context;

private:
    MESSAGEBOXPROC previous_;
};

}  // namespace qt
