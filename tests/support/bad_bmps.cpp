#include "tests/support/bad_bmps.h"

#include <algorithm>
#include <climits>

#include "image/bmp.h"
#include "tests/support/images.h"

namespace {

void patch(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) v[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t read32(const std::vector<std::uint8_t>& v, std::size_t at)
{
    std::uint32_t out = 0;
    for (int i = 3; i >= 0; --i) out = (out << 8) | (at + i < v.size() ? v[at + i] : 0);
    return out;
}

// A well-formed 5 x 3 picture (row padding 1, 48 bytes of pixels, 102 bytes
// in all) that each entry then spoils in one or two ways.
BmpFields base_spec()
{
    return bmp_of(random_record(5, 3, 2024));
}

std::vector<std::uint8_t> base_file() { return bmp_file_bytes(base_spec()); }

std::vector<std::uint8_t> cut(std::vector<std::uint8_t> v, std::size_t length)
{
    v.resize(std::min(v.size(), length));
    return v;
}

std::vector<std::uint8_t> with_size(std::int32_t w, std::int32_t h, std::size_t pixel_bytes)
{
    BmpFields s;
    s.width = w;
    s.height = h;
    s.pixel_array.assign(pixel_bytes, 0x3C);
    return bmp_file_bytes(s);
}

}  // namespace

std::vector<BadBmp> bad_bmp_corpus()
{
    std::vector<BadBmp> c;
    auto add = [&c](std::string name, std::vector<std::uint8_t> bytes, const char* refusal) {
        c.push_back({std::move(name), std::move(bytes), refusal});
    };
    auto spoiled = [](std::size_t at, std::uint32_t value, int bytes) {
        std::vector<std::uint8_t> v = base_file();
        patch(v, at, value, bytes);
        return v;
    };
    const std::vector<std::uint8_t> base = base_file();
    add("valid-5x3", base, nullptr);

    // Lengths: nothing, a lone byte, ending in the offset field, one byte
    // short of the headers, the headers without their pixels.
    add("length-0", {}, kNotBmp);
    add("length-1", {'B'}, kNotBmp);
    add("length-13", cut(base, 13), kReadFailed);
    add("length-20-inside-width", cut(base, 20), kReadFailed);
    add("length-29-inside-bit-count", cut(base, 29), kReadFailed);
    add("length-33-inside-compression", cut(base, 33), kReadFailed);
    add("length-53", cut(base, 53), kReadFailed);
    add("length-54", cut(base, 54), kReadFailed);
    add("length-54-no-pixels", with_size(0, 3, 0), nullptr);

    // Signatures, and the signature checked before anything else.
    add("signature-MB", spoiled(0, 'M' | ('B' << 8), 2), kNotBmp);
    add("signature-BA", spoiled(0, 'B' | ('A' << 8), 2), kNotBmp);
    {
        std::vector<std::uint8_t> v = spoiled(0, 'M' | ('B' << 8), 2);
        patch(v, 28, 8, 2);
        add("signature-MB-bits-8", v, kNotBmp);
    }

    // Bits per pixel, checked before compression.
    for (std::uint32_t bits : {0u, 1u, 8u, 16u, 32u, 30000u, 0xFFFFu})
        add("bits-" + std::to_string(bits), spoiled(28, bits, 2), kBadBitCount);
    {
        std::vector<std::uint8_t> v = spoiled(28, 8, 2);
        patch(v, 30, 1, 4);
        add("bits-8-rle", v, kBadBitCount);
    }

    // Compression, checked before the size.
    for (std::uint32_t method : {1u, 2u, 3u, 4u, 5u, 0xFFFFFFFFu})
        add("compression-" + std::to_string(method), spoiled(30, method, 4), kCompressed);
    {
        std::vector<std::uint8_t> v = spoiled(30, 3, 4);
        patch(v, 18, static_cast<std::uint32_t>(-127), 4);
        add("compression-3-width-negative", v, kCompressed);
    }

    // Widths. 65536 would become 0 in 16 bits and 70000 would become 4464:
    // both must be refused, not loaded as some other picture.
    add("width-0", with_size(0, 3, 0), nullptr);
    add("width-0-with-pixels", with_size(0, 3, 48), nullptr);
    for (std::int64_t w : {std::int64_t{-1}, std::int64_t{-127}, std::int64_t{INT32_MIN}, std::int64_t{INT32_MAX},
                           std::int64_t{65536}, std::int64_t{70000}})
        add("width-" + std::to_string(w), with_size(static_cast<std::int32_t>(w), 3, 48), kTooLarge);

    // Heights: 0 loads without pixels, a negative one is a top-down file.
    add("height-0", with_size(5, 0, 0), nullptr);
    add("height-int32-min", with_size(5, INT32_MIN, 48), kTooLarge);
    add("height-65536", with_size(5, 65536, 48), kTooLarge);
    add("height-70000", with_size(5, 70000, 48), kTooLarge);
    {
        BmpFields s = base_spec();
        s.height = -3;
        add("height-minus-3-top-down", bmp_file_bytes(s), nullptr);
    }
    {
        BmpFields s = base_spec();
        s.height = -3;
        s.truncate_to = 54 + 47;
        add("height-minus-3-short", bmp_file_bytes(s), kReadFailed);
    }

    // Huge pairs. The largest block a record can describe is 2^31 - 1
    // bytes: 65535 x 10922 fits (refused only because the file is short),
    // one row more does not. Neither may allocate anything.
    add("size-3000000x2000000", with_size(3000000, 2000000, 48), kTooLarge);
    add("size-65536x65536", with_size(65536, 65536, 48), kTooLarge);
    add("size-65535x65535", with_size(65535, 65535, 48), kTooLarge);
    add("size-40000x20000", with_size(40000, 20000, 48), kTooLarge);
    add("size-65535x10923", with_size(65535, 10923, 48), kTooLarge);
    add("size-65535x10922-short", with_size(65535, 10922, 48), kReadFailed);
    add("size-20000x20000-short", with_size(20000, 20000, 48), kReadFailed);
    add("size-70000x3-short", cut(with_size(70000, 3, 48), 54), kTooLarge);

    // Pixel-array offsets: inside the header (the header bytes become
    // pixels), at the last byte of the header, beyond the end.
    add("offset-0", spoiled(10, 0, 4), nullptr);
    add("offset-53", spoiled(10, 53, 4), nullptr);
    add("offset-55-one-past", spoiled(10, 55, 4), kReadFailed);
    add("offset-past-end", spoiled(10, static_cast<std::uint32_t>(base.size()) + 1, 4), kReadFailed);
    add("offset-ffffffff", spoiled(10, 0xFFFFFFFFu, 4), kReadFailed);
    add("offset-80000000", spoiled(10, 0x80000000u, 4), kReadFailed);
    add("offset-ffffffff-no-pixels", [] {
            std::vector<std::uint8_t> v = with_size(0, 3, 0);
            patch(v, 10, 0xFFFFFFFFu, 4);
            return v;
        }(), kReadFailed);

    // Pixel data cut short.
    add("pixels-one-byte-short", cut(base, base.size() - 1), kReadFailed);
    add("pixels-half-missing", cut(base, 54 + 24), kReadFailed);

    // Header fields the reader ignores, however wrong.
    for (std::uint32_t size : {12u, 66u, 0xFFFFFFFFu})
        add("header-size-" + std::to_string(size), spoiled(14, size, 4), nullptr);
    add("colours-used-12341234", spoiled(46, 0x12341234u, 4), nullptr);
    add("file-size-0", spoiled(2, 0, 4), nullptr);
    add("file-size-ffffffff", spoiled(2, 0xFFFFFFFFu, 4), nullptr);
    add("file-size-1", spoiled(2, 1, 4), nullptr);
    add("image-size-ffffffff", spoiled(34, 0xFFFFFFFFu, 4), nullptr);
    add("image-size-1", spoiled(34, 1, 4), nullptr);
    add("planes-0", spoiled(26, 0, 2), nullptr);
    {
        std::vector<std::uint8_t> v = base;
        v.resize(v.size() + 4096, 0xEE);  // trailing bytes after the pixels
        add("trailing-garbage", v, nullptr);
    }
    return c;
}

ExpectedPicture expected_picture(const std::vector<std::uint8_t>& file)
{
    ExpectedPicture e;
    const auto w = static_cast<std::int32_t>(read32(file, 18));
    const auto signed_h = static_cast<std::int32_t>(read32(file, 22));
    e.width = w;
    e.height = signed_h < 0 ? -signed_h : signed_h;
    const std::size_t stride = 3u * static_cast<std::size_t>(w) + (4 - (3u * static_cast<std::size_t>(w)) % 4) % 4;
    const std::size_t offset = read32(file, 10);
    const std::size_t size = stride * static_cast<std::size_t>(e.height);
    if (offset + size > file.size()) return e;
    e.block.assign(file.begin() + static_cast<std::ptrdiff_t>(offset),
                   file.begin() + static_cast<std::ptrdiff_t>(offset + size));
    if (signed_h < 0)
        for (int y = 0, z = e.height - 1; y < z; ++y, --z)
            std::swap_ranges(e.block.begin() + static_cast<std::ptrdiff_t>(y * stride),
                             e.block.begin() + static_cast<std::ptrdiff_t>((y + 1) * stride),
                             e.block.begin() + static_cast<std::ptrdiff_t>(z * stride));
    return e;
}
