// Writing a file all or nothing.
//
// ReplacingFile collects the bytes in a new temporary file in the target's
// folder (so the final rename stays on one file system) and puts that file in
// the target's place only in commit(), once every byte was written and, where
// the system offers it, forced to the disk. Until then a file at the target
// keeps its contents. When a write or the commit fails, or the object is
// destroyed without commit(), the temporary file is removed: the target is
// as it was and nothing is left behind.
//
// The replacing file takes the permission bits of the file it replaces; a
// target that is a symbolic link is replaced through the link. A target that
// is a device or a pipe (/dev/stdout) has nothing to replace and is written
// straight to; a folder is refused.
//
// error() tells why the first failure happened, in the system's words ("No
// such file or directory"), without the path; error_number() gives the same
// reason as an errno value (ENOENT), for callers that word it themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

class ReplacingFile {
public:
    // Creates the temporary file; ok() says whether that worked.
    explicit ReplacingFile(const std::filesystem::path& target);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Appends bytes; false (and nothing more is written) after any failure.
    bool write(const void* bytes, std::size_t size);

    // Flushes, forces to disk, closes and renames over the target.
    bool commit();

    bool ok() const { return file_ != nullptr; }
    const std::string& error() const { return error_; }
    int error_number() const { return error_number_; }

private:
    void set_error(int code);
    void fail(int code);
    void discard();

    std::filesystem::path target_, temporary_;
    std::FILE* file_ = nullptr;
    std::uint64_t written_ = 0;
    std::string error_;
    int error_number_ = 0;
    char buffer_[1 << 16];
};
