// SHA-256 of bytes and of files, as lower-case hex: what a saved picture's
// recipe records of the picture it was made from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

class Sha256 {
public:
    Sha256();
    void add(const void* data, std::size_t size);
    std::string hex();  // ends the hash; add nothing after

private:
    void block(const std::uint8_t* p);
    std::uint32_t h_[8];
    std::uint8_t pending_[64];
    std::size_t pending_size_ = 0;
    std::uint64_t total_ = 0;
};

std::string sha256_hex(const void* data, std::size_t size);

// The hash of the file's bytes and their count; none when it cannot be read.
struct FileDigest {
    std::uint64_t size = 0;
    std::string sha256;
};
std::optional<FileDigest> sha256_of_file(const std::filesystem::path& path);
