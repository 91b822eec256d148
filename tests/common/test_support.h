// Helpers shared by the native and the Windows-side tests: building archives
// and gzip data independently of the packer, scratch directories, and a
// recorder in place of the message box.
#pragma once

#include "shell/message.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qt {

using Bytes = std::vector<unsigned char>;
namespace fs = std::filesystem;

// Installer paths use backslashes; on the build host they name the same file
// with slashes.
fs::path FsPath(const std::string& installerPath);
// The installer's form of a path: backslashes on Windows.
std::string InstallerPath(const fs::path& path);

// The name under which Wine's drive Z: shows a path of the build machine.
std::string WinePath(const char* pszUnixPath);

Bytes ReadFile(const std::string& installerPath);
void WriteFile(const std::string& installerPath, const Bytes& data);
bool Exists(const std::string& installerPath);
Bytes TextBytes(const std::string& text);
// Deterministic, poorly compressible data of the given size.
Bytes PatternBytes(size_t size, uint32_t seed);

// A record in the archive format, written the simple way.
void AppendRecord(Bytes& archive, const std::string& name, const Bytes& data);
void AppendRaw(Bytes& archive, const Bytes& bytes);

// A gzip member made with zlib's own gzip wrapper.
Bytes Gzip(const Bytes& data);

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // Installer path of the directory or of a name inside it.
    std::string Path(const std::string& name = "") const;
    const fs::path& FsRoot() const { return root_; }

private:
    fs::path root_;
};

// Every file below a directory, as backslash-separated relative names, and
// every directory the same way (sorted).
std::vector<std::string> ListFiles(const fs::path& root);
std::vector<std::string> ListDirectories(const fs::path& root);

// Puts itself in place of the message box while it lives.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
    struct Box {
        HWND hOwner;
        std::string text;
        bool bNullCaption;
        UINT uStyle;
    };
    std::vector<Box> boxes;

private:
    MESSAGEBOXPROC previous_;
};

}  // namespace qt
