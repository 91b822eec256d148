// The payload packer: turns a directory and a manifest into the installer's
// payload archive and its gzip member. Build-time tool of the build host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// Reads a manifest: one backslash-separated relative path a line, in archive
// order. Blank lines are skipped; a trailing CR is dropped.
bool ReadManifest(const std::string& manifestPath, std::vector<std::string>& names, std::string& error);

// Builds the archive from the files named in names under dir, refusing any
// name the installer would refuse, a missing file, a file of 4 GiB or more,
// and a record count other than the installer's. pcbFiles, when given,
// receives each file's size in archive order.
bool BuildArchive(const std::string& dir, const std::vector<std::string>& names, Bytes& archive,
                  std::string& error, std::vector<uint64_t>* pcbFiles = nullptr);

// The C++ header that tells the installer's location pages what the copy run
// writes: each file's size (cbFiles), the gzip member's and the archive's.
std::string PayloadSizesHeader(const std::vector<uint64_t>& cbFiles, uint64_t cbGzip, uint64_t cbArchive);

// Appends one record; refuses what BuildArchive refuses for a single entry.
bool AppendRecord(Bytes& archive, const std::string& name, const Bytes& data, std::string& error);

// One gzip member: deflate by libdeflate at its strongest level (12), no
// flags, modification time 0, extra flags 0, operating system 11, CRC-32 and
// length trailer. The same input always gives the same bytes.
Bytes GzipMember(const Bytes& data);

bool ReadWholeFile(const std::string& path, Bytes& data, std::string& error);
bool WriteWholeFile(const std::string& path, const Bytes& data, std::string& error);
