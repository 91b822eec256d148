#include "tests/common/test_support.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>
#include <unistd.h>
#include <zlib.h>

namespace qt {

fs::path FsPath(const std::string& installerPath)
{
    std::string p = installerPath;
#ifndef _WIN32
    std::replace(p.begin(), p.end(), '\\', '/');
#endif
    return p;
}

std::string WinePath(const char* pszUnixPath)
{
    std::string path = std::string("Z:") + pszUnixPath;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

Bytes ReadFile(const std::string& installerPath)
{
    std::ifstream in(FsPath(installerPath), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + installerPath);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& installerPath, const Bytes& data)
{
    std::ofstream out(FsPath(installerPath), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + installerPath);
}

Bytes PatternBytes(size_t size, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (auto& b : out)
        b = static_cast<unsigned char>(random());
    return out;
}

void AppendRecord(Bytes& archive, const std::string& name, const Bytes& data)
{
    archive.push_back(static_cast<unsigned char>(name.size()));
    archive.insert(archive.end(), name.begin(), name.end());
    for (int i = 0; i < 4; ++i)
        archive.push_back(static_cast<unsigned char>(data.size() >> (8 * i)));
    archive.insert(archive.end(), data.begin(), data.end());
}

Bytes Gzip(const Bytes& data)
{
    z_stream zs{};
    deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    if (deflate(&zs, Z_FINISH) != Z_STREAM_END)
        throw std::runtime_error("deflate");
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

ScratchDir::ScratchDir()
{
    static int counter = 0;
    root_ = fs::temp_directory_path() /
            ("quarnel-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(root_);  // left by an earlier process of the same id
    fs::create_directory(root_);
}

std::vector<std::string> ListFiles(const fs::path& root, bool bDirectories)
{
    std::vector<std::string> names;
    for (auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory() != bDirectories)
            continue;
        std::string rel = fs::relative(entry.path(), root).generic_string();
        std::replace(rel.begin(), rel.end(), '/', '\\');
        names.push_back(rel);
    }
    std::sort(names.begin(), names.end());
    return names;
}

static MessageRecorder* pActiveRecorder;

// A function of its own: on i686 the box's calling convention is stdcall,
// which a lambda does not convert to.
static int WINAPI RecordMessageBox(HWND hOwner, LPCSTR pszText, LPCSTR pszCaption, UINT uStyle)
{
    MessageRecorder* p = pActiveRecorder;
    p->boxes.push_back({hOwner, pszText ? pszText : "", pszCaption == nullptr, uStyle, p->context ? p->context() : ""});
    return IDOK;
}

MessageRecorder::MessageRecorder() : previous_(pfnMessageBox)
{
    pActiveRecorder = this;
    pfnMessageBox = RecordMessageBox;
}

}  // namespace qt
