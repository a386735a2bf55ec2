#include "image/bmp.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "image/file_write.h"
#include "text/catalogue.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File open_for_reading(const std::filesystem::path& path)
{
#ifdef _WIN32
    return File(_wfopen(path.c_str(), L"rb"));
#else
    return File(std::fopen(path.c_str(), "rb"));
#endif
}

std::uint64_t file_length(std::FILE* f)
{
    if (std::fseek(f, 0, SEEK_END) != 0) return 0;
#ifdef _WIN32
    const long long n = _ftelli64(f);
#else
    const long long n = ftello(f);
#endif
    return n < 0 ? 0 : static_cast<std::uint64_t>(n);
}

bool seek_to(std::FILE* f, std::uint64_t offset)
{
#ifdef _WIN32
    return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// Positioned little-endian read of `size` bytes at `offset`; false when the
// file is too short or the read fails.
bool read_at(std::FILE* f, std::uint64_t length, std::uint64_t offset, int size, std::uint32_t& out)
{
    if (offset + size > length || !seek_to(f, offset)) return false;
    unsigned char b[4] = {};
    if (std::fread(b, 1, static_cast<std::size_t>(size), f) != static_cast<std::size_t>(size)) return false;
    out = 0;
    for (int i = size - 1; i >= 0; --i) out = (out << 8) | b[i];
    return true;
}

void put16(std::uint8_t* p, std::uint16_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

LoadResult load_bmp(const std::filesystem::path& path, ImageRecord& record)
{
    using enum LoadResult;
    File file = open_for_reading(path);
    if (!file) return CannotOpen;
    std::FILE* f = file.get();

    unsigned char signature[2] = {};
    const std::size_t got = std::fread(signature, 1, 2, f);
    if (std::ferror(f)) return ReadFailed;
    if (got < 2 || signature[0] != 'B' || signature[1] != 'M') return NotBmp;

    const std::uint64_t length = file_length(f);
    std::uint32_t pixel_offset = 0, raw_width = 0, raw_height = 0, bit_count = 0, compression = 0;
    if (!read_at(f, length, 10, 4, pixel_offset)) return ReadFailed;
    if (!read_at(f, length, 18, 4, raw_width) || !read_at(f, length, 22, 4, raw_height)) return ReadFailed;
    record.width = static_cast<std::uint16_t>(raw_width);
    record.height = static_cast<std::uint16_t>(raw_height);
    if (!read_at(f, length, 28, 2, bit_count)) return ReadFailed;
    if (bit_count != 24) return BadBitCount;
    if (!read_at(f, length, 30, 4, compression)) return ReadFailed;
    if (compression != 0) return Compressed;

    // Sizes in 64 bits: a negative height marks a top-down file; anything
    // that does not fit the record's 16-bit sizes or a signed 32-bit block
    // size is refused before a byte is allocated.
    const std::int64_t width = static_cast<std::int32_t>(raw_width);
    const std::int64_t signed_height = static_cast<std::int32_t>(raw_height);
    const bool top_down = signed_height < 0;
    const std::int64_t height = top_down ? -signed_height : signed_height;
    if (width < 0) return TooLarge;
    const auto size = block_size_within_limits(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(height));
    if (!size) return TooLarge;
    const auto data_size = static_cast<std::int64_t>(*size);
    if (static_cast<std::uint64_t>(pixel_offset) + static_cast<std::uint64_t>(data_size) > length)
        return ReadFailed;

    auto block = HeapArray<std::uint8_t>::allocate(static_cast<std::size_t>(data_size));
    if (!block) return TooLarge;
    if (data_size > 0) {
        if (!seek_to(f, pixel_offset)) return ReadFailed;
        if (std::fread(block.get(), 1, static_cast<std::size_t>(data_size), f) !=
            static_cast<std::size_t>(data_size))
            return ReadFailed;
    }
    file.reset();

    // Swapped in place: a row buffer would be a second allocation that could
    // fail (or throw) after the block was already taken.
    if (top_down) {
        std::uint8_t* p = block.get();
        const auto s = 3 * static_cast<std::size_t>(width) + row_padding_for(static_cast<std::uint32_t>(width));
        for (std::int64_t y = 0, z = height - 1; y < z; ++y, --z)
            std::swap_ranges(p + y * s, p + (y + 1) * s, p + z * s);
    }

    install_picture(record, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), std::move(block));
    return Loaded;
}

const char* load_refusal_text(LoadResult result)
{
    switch (result) {
    case LoadResult::Loaded: return nullptr;
    case LoadResult::CannotOpen: return text::tr(kCannotOpen);
    case LoadResult::ReadFailed: return text::tr(kReadFailed);
    case LoadResult::NotBmp: return text::tr(kNotBmp);
    case LoadResult::BadBitCount: return text::tr(kBadBitCount);
    case LoadResult::Compressed: return text::tr(kCompressed);
    case LoadResult::TooLarge: return text::tr(kTooLarge);
    }
    return text::tr(kReadFailed);
}

namespace {

// The 54-byte header of a bottom-up 24-bit picture whose pixel array of
// `block_size` bytes follows it.
std::array<std::uint8_t, kBmpHeaderSize> bmp_header(std::uint32_t width, std::uint32_t height,
                                                    std::uint32_t block_size)
{
    std::array<std::uint8_t, kBmpHeaderSize> h{};
    h[0] = 'B';
    h[1] = 'M';
    put32(h.data() + 2, kBmpHeaderSize + block_size);
    put32(h.data() + 10, kBmpHeaderSize);
    put32(h.data() + 14, 40);
    put32(h.data() + 18, width);
    put32(h.data() + 22, height);
    put16(h.data() + 26, 1);
    put16(h.data() + 28, 24);
    put32(h.data() + 34, block_size);
    return h;
}

// Writes the header, then lets write_pixels(file, stride) write the pixel
// array, then puts the file in place.
template <class WritePixels>
bool write_bmp(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
               WritePixels write_pixels, std::string& error, int* error_number = nullptr)
{
    const std::uint64_t stride = 3ull * width + row_padding_for(width);
    const std::uint64_t size = stride * height;
    if (size > std::numeric_limits<std::uint32_t>::max() - kBmpHeaderSize) {
        error = "the picture is too large for a BMP file";
        if (error_number != nullptr) *error_number = EFBIG;
        return false;
    }
    ReplacingFile file(path);
    const auto header = bmp_header(width, height, static_cast<std::uint32_t>(size));
    if (file.write(header.data(), header.size()) && write_pixels(file, static_cast<std::size_t>(stride)) &&
        file.commit())
        return true;
    error = file.error();
    if (error_number != nullptr) *error_number = file.error_number();
    return false;
}

}  // namespace

std::vector<std::uint8_t> encode_bmp(std::uint32_t width, std::uint32_t height, const std::uint8_t* block)
{
    const std::size_t stride = 3u * width + row_padding_for(width);
    const std::size_t size = stride * height;
    std::vector<std::uint8_t> out(kBmpHeaderSize + size);
    const auto header = bmp_header(width, height, static_cast<std::uint32_t>(size));
    std::copy(header.begin(), header.end(), out.begin());
    if (size > 0) std::memcpy(out.data() + kBmpHeaderSize, block, size);
    return out;
}

bool write_bmp_file(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                    const std::uint8_t* block, std::string& error, int* error_number)
{
    return write_bmp(
        path, width, height,
        [=](ReplacingFile& file, std::size_t stride) { return file.write(block, stride * height); }, error,
        error_number);
}

bool write_bmp_file_top_down(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                             const std::uint8_t* top_row, std::size_t stride, std::string& error)
{
    return write_bmp(
        path, width, height,
        [=](ReplacingFile& file, std::size_t row_bytes) {
            for (std::uint32_t y = height; y-- > 0;)
                if (!file.write(top_row + y * stride, row_bytes)) return false;
            return true;
        },
        error);
}
