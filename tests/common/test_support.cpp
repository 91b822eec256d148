#include "tests/common/test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <zlib.h>
#ifndef _WIN32
#include <unistd.h>
#endif

namespace qt {

fs::path FsPath(const std::string& installerPath)
{
#ifdef _WIN32
    return fs::path(installerPath);
#else
    std::string p = installerPath;
    std::replace(p.begin(), p.end(), '\\', '/');
    return fs::path(p);
#endif
}

std::string InstallerPath(const fs::path& path)
{
    std::string s = path.string();
#ifdef _WIN32
    std::replace(s.begin(), s.end(), '/', '\\');
#endif
    return s;
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

bool Exists(const std::string& installerPath)
{
    std::error_code ec;
    return fs::exists(FsPath(installerPath), ec);
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes PatternBytes(size_t size, uint32_t seed)
{
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return out;
}

void AppendRecord(Bytes& archive, const std::string& name, const Bytes& data)
{
    archive.push_back(static_cast<unsigned char>(name.size()));
    archive.insert(archive.end(), name.begin(), name.end());
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i)
        archive.push_back(static_cast<unsigned char>(n >> (8 * i)));
    archive.insert(archive.end(), data.begin(), data.end());
}

void AppendRaw(Bytes& archive, const Bytes& bytes) { archive.insert(archive.end(), bytes.begin(), bytes.end()); }

Bytes Gzip(const Bytes& data)
{
    z_stream zs{};
    if (deflateInit2(&zs, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32);
    zs.next_in = const_cast<Bytef*>(data.data());
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

ScratchDir::ScratchDir()
{
    static std::atomic<int> counter{0};
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path candidate =
            base / ("quarnel-test-" + std::to_string(
#ifdef _WIN32
                                          GetCurrentProcessId()
#else
                                          static_cast<long>(getpid())
#endif
                                              ) +
                    "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            root_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no scratch directory");
}

ScratchDir::~ScratchDir()
{
    std::error_code ec;
    // Files made read-only by a test must be writable again to go.
    for (auto it = fs::recursive_directory_iterator(root_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove_all(root_, ec);
}

std::string ScratchDir::Path(const std::string& name) const
{
    std::string root = InstallerPath(root_);
    if (name.empty())
        return root;
#ifdef _WIN32
    return root + "\\" + name;
#else
    return root + "/" + name;
#endif
}

static std::vector<std::string> List(const fs::path& root, bool bDirectories)
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

std::vector<std::string> ListFiles(const fs::path& root) { return List(root, false); }
std::vector<std::string> ListDirectories(const fs::path& root) { return List(root, true); }

static MessageRecorder* pActiveRecorder;

static int WINAPI RecordBox(HWND hOwner, LPCSTR pszText, LPCSTR pszCaption, UINT uStyle)
{
    pActiveRecorder->boxes.push_back({hOwner, pszText ? pszText : "", pszCaption == nullptr, uStyle});
    return IDOK;
}

MessageRecorder::MessageRecorder() : previous_(pfnMessageBox)
{
    pActiveRecorder = this;
    pfnMessageBox = RecordBox;
}

MessageRecorder::~MessageRecorder()
{
    pfnMessageBox = previous_;
    pActiveRecorder = nullptr;
}

}  // namespace qt
