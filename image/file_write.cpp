#include "image/file_write.h"

#include "image/test_seam.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <system_error>

// Creating a file only if it is new, and forcing it to the disk, are not in
// the standard library: the C runtime's calls on Windows, POSIX elsewhere.
#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#elif defined(__unix__) || defined(__APPLE__)
#define LUMAFORGE_POSIX_FILES 1
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::atomic<std::int64_t> fail_after{-1};

int known(int code) { return code != 0 ? code : EIO; }

// Opens `path` for writing only if no file of that name exists.
std::FILE* create_new(const std::filesystem::path& path, int& code)
{
    errno = 0;
#if defined(_WIN32)
    const int fd = _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        code = errno;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (f == nullptr) {
        code = errno;
        _close(fd);
    }
    return f;
#elif defined(LUMAFORGE_POSIX_FILES)
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        code = errno;
        return nullptr;
    }
    std::FILE* f = fdopen(fd, "wb");
    if (f == nullptr) {
        code = errno;
        ::close(fd);
    }
    return f;
#else
    std::FILE* f = std::fopen(path.string().c_str(), "wbx");
    if (f == nullptr) code = errno;
    return f;
#endif
}

// Forces what was written to `f` onto the disk; 0 or the error code.
int sync_to_disk(std::FILE* f)
{
#if defined(_WIN32)
    return _commit(_fileno(f)) == 0 ? 0 : errno;
#elif defined(LUMAFORGE_POSIX_FILES)
    return fsync(fileno(f)) == 0 ? 0 : errno;
#else
    (void)f;
    return 0;
#endif
}

// A name that no other writer picks at the same moment: the clock, a
// counter and where this program's data lies, mixed.
std::string unique_suffix(unsigned attempt)
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t x = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    x ^= (++counter + attempt) * 0x9E3779B97F4A7C15ull;
    x ^= static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(&counter));
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    x ^= x >> 31;
    static const char digits[] = "0123456789abcdef";
    std::string s = ".";
    for (int i = 0; i < 12; ++i, x >>= 4) s += digits[x & 15];
    return s + ".tmp";
}

}  // namespace

void test_seam::fail_file_writes_after(std::int64_t bytes) { fail_after = bytes; }

ReplacingFile::ReplacingFile(const std::filesystem::path& target) : target_(target)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_type type = fs::status(target_, ec).type();
    if (type == fs::file_type::directory) {
        set_error(EISDIR);
        return;
    }
    if (type != fs::file_type::regular && type != fs::file_type::not_found && type != fs::file_type::none) {
        // A device or a pipe (-o /dev/stdout): nothing to replace, and no
        // folder to put a temporary file in, so the bytes go straight there.
        errno = 0;
#ifdef _WIN32
        file_ = _wfopen(target_.c_str(), L"wb");
#else
        file_ = std::fopen(target_.c_str(), "wb");
#endif
        if (file_ == nullptr) set_error(errno);
        return;
    }
    if (fs::is_symlink(target_, ec)) {
        const fs::path resolved = fs::canonical(target_, ec);
        if (!ec) target_ = resolved;
    }
#if defined(LUMAFORGE_POSIX_FILES)
    // A file the user may not write stays refused, as opening it would be.
    if (::access(target_.c_str(), F_OK) == 0 && ::access(target_.c_str(), W_OK) != 0) {
        set_error(errno);
        return;
    }
#endif
    int code = 0;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path name = target_.filename();
        name += unique_suffix(attempt);
        temporary_ = target_.parent_path() / (std::filesystem::path(".") += name);
        file_ = create_new(temporary_, code);
        if (file_ != nullptr || code != EEXIST) break;
    }
    if (file_ == nullptr) {
        temporary_.clear();
        set_error(code);
        return;
    }
    // Rows of any width go through in few system calls.
    std::setvbuf(file_, buffer_, _IOFBF, sizeof buffer_);
}

ReplacingFile::~ReplacingFile() { discard(); }

void ReplacingFile::discard()
{
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    if (!temporary_.empty()) {
        std::error_code ec;
        std::filesystem::remove(temporary_, ec);
        temporary_.clear();
    }
}

void ReplacingFile::set_error(int code)
{
    if (!error_.empty()) return;
    error_number_ = known(code);
    error_ = std::generic_category().message(error_number_);
}

void ReplacingFile::fail(int code)
{
    set_error(code);
    discard();
}

bool ReplacingFile::write(const void* bytes, std::size_t size)
{
    if (file_ == nullptr) return false;
    const std::int64_t limit = fail_after.load();
    if (limit >= 0 && written_ + size > static_cast<std::uint64_t>(limit)) {
        const auto cap = static_cast<std::uint64_t>(limit);
        const std::uint64_t room = cap > written_ ? cap - written_ : 0;
        std::fwrite(bytes, 1, static_cast<std::size_t>(room), file_);
        fail(ENOSPC);
        return false;
    }
    errno = 0;
    if (size != 0 && std::fwrite(bytes, 1, size, file_) != size) {
        fail(errno);
        return false;
    }
    written_ += size;
    return true;
}

bool ReplacingFile::commit()
{
    if (file_ == nullptr) return false;
    errno = 0;
    if (std::fflush(file_) != 0) {
        fail(errno);
        return false;
    }
    if (const int code = temporary_.empty() ? 0 : sync_to_disk(file_)) {
        fail(code);
        return false;
    }
    std::FILE* f = file_;
    file_ = nullptr;
    errno = 0;
    if (std::fclose(f) != 0) {
        fail(errno);
        return false;
    }
    if (temporary_.empty()) return true;  // written straight to a device
    std::error_code ec;
    const std::filesystem::file_status existing = std::filesystem::status(target_, ec);
    if (!ec && std::filesystem::is_regular_file(existing))
        std::filesystem::permissions(temporary_, existing.permissions(), ec);
    std::filesystem::rename(temporary_, target_, ec);
    if (ec) {
        // The system's own code where it maps to one of errno's.
        const std::error_condition condition = ec.default_error_condition();
        fail(condition.category() == std::generic_category() ? condition.value() : EIO);
        return false;
    }
    temporary_.clear();
    return true;
}
