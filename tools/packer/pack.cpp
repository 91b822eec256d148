#include "tools/packer/pack.h"

#include "payload/payload.h"
#include "payload/record_name.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <libdeflate.h>
#include <sys/stat.h>
#include <zlib.h>

bool ReadManifest(const std::string& manifestPath, std::vector<std::string>& names, std::string& error)
{
    std::ifstream in(manifestPath, std::ios::binary);
    if (!in) {
        error = "cannot read manifest " + manifestPath;
        return false;
    }
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            names.push_back(line);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, Bytes& data, std::string& error)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = "missing file " + path;
        return false;
    }
    if (static_cast<uint64_t>(st.st_size) >= (uint64_t(1) << 32)) {
        error = "file of 4 GiB or more: " + path;
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    data.assign(static_cast<size_t>(st.st_size), 0);
    if (!in || !in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()))) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const Bytes& data, std::string& error)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

// Refuses a name the installer would not extract where the packer found it.
static bool CheckPackName(const std::string& name, std::string& error)
{
    RecordNameError nameError = CheckRecordName(name.c_str(), name.size() + 1);
    // A NUL inside the name would shorten it for the installer.
    if (nameError == RecordNameError::None && name.find('\0') != std::string::npos)
        nameError = RecordNameError::Empty;
    if (nameError != RecordNameError::None) {
        error = "entry \"" + name + "\": " + RecordNameErrorText(nameError);
        return false;
    }
    // The installer makes directories only at backslashes.
    if (name.find('/') != std::string::npos) {
        error = "entry \"" + name + "\": use backslashes between folders";
        return false;
    }
    return true;
}

bool AppendRecord(Bytes& archive, const std::string& name, const Bytes& data, std::string& error)
{
    if (!CheckPackName(name, error))
        return false;
    if (data.size() >= (uint64_t(1) << 32)) {
        error = "entry \"" + name + "\": file of 4 GiB or more";
        return false;
    }
    archive.push_back(static_cast<unsigned char>(name.size()));
    archive.insert(archive.end(), name.begin(), name.end());
    uint32_t size = static_cast<uint32_t>(data.size());
    for (int i = 0; i < 4; ++i)
        archive.push_back(static_cast<unsigned char>(size >> (8 * i)));
    archive.insert(archive.end(), data.begin(), data.end());
    return true;
}

bool BuildArchive(const std::string& dir, const std::vector<std::string>& names, Bytes& archive,
                  std::string& error, std::vector<uint64_t>* pcbFiles)
{
    if (names.size() != static_cast<size_t>(PAYLOAD_RECORD_COUNT)) {
        error = "the manifest lists " + std::to_string(names.size()) + " records, the installer extracts exactly " +
                std::to_string(PAYLOAD_RECORD_COUNT) + " (PAYLOAD_RECORD_COUNT)";
        return false;
    }
    archive.clear();
    for (const std::string& name : names) {
        if (!CheckPackName(name, error))
            return false;
        std::string hostPath = dir + "/" + name;
        for (size_t i = dir.size() + 1; i < hostPath.size(); ++i)
            if (hostPath[i] == '\\')
                hostPath[i] = '/';
        Bytes data;
        std::string fileError;
        if (!ReadWholeFile(hostPath, data, fileError)) {
            error = "entry \"" + name + "\": " + fileError;
            return false;
        }
        if (!AppendRecord(archive, name, data, error))
            return false;
        if (pcbFiles)
            pcbFiles->push_back(data.size());
    }
    return true;
}

static void PutLE32(Bytes& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

Bytes GzipMember(const Bytes& data)
{
    Bytes out = {0x1f, 0x8b, 8, 0, 0, 0, 0, 0, 0, 11};
    // Raw deflate from libdeflate's slowest, strongest level: a few percent
    // smaller than zlib's best, read by the same inflate. Its output depends
    // only on the input and the level. The header and trailer are written
    // here, field by field.
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(12);
    if (!compressor) {
        std::fprintf(stderr, "qpack: cannot allocate the deflate compressor\n");
        std::abort();
    }
    size_t headerSize = out.size();
    out.resize(headerSize + libdeflate_deflate_compress_bound(compressor, data.size()));
    size_t compressed =
        libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data() + headerSize, out.size() - headerSize);
    libdeflate_free_compressor(compressor);
    if (compressed == 0) {
        std::fprintf(stderr, "qpack: deflate failed\n");
        std::abort();
    }
    out.resize(headerSize + compressed);
    PutLE32(out, static_cast<uint32_t>(crc32(0L, data.data(), static_cast<uInt>(data.size()))));
    PutLE32(out, static_cast<uint32_t>(data.size()));
    return out;
}

std::string PayloadSizesHeader(const std::vector<uint64_t>& cbFiles, uint64_t cbGzip, uint64_t cbArchive)
{
    std::string text = "// Written by qpack: the packed game files' sizes in archive order, the staged\n"
                       "// gzip member's and its archive's, in bytes.\n"
                       "#pragma once\n"
                       "#define QUARNEL_GAME_FILE_BYTES";
    for (size_t i = 0; i < cbFiles.size(); ++i)
        text += (i % 8 == 0 ? " \\\n    " : " ") + std::to_string(cbFiles[i]) + "u,";
    text += "\n#define QUARNEL_PAYLOAD_GZ_BYTES " + std::to_string(cbGzip) + "u\n";
    text += "#define QUARNEL_PAYLOAD_ARCHIVE_BYTES " + std::to_string(cbArchive) + "u\n";
    return text;
}
