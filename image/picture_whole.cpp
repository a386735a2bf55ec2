#include "image/picture_whole.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>

namespace {

// The file's bytes one at a time, read in blocks.
class Bytes {
public:
    explicit Bytes(const std::filesystem::path& path) : file_(path, std::ios::binary) {}

    // The next byte, or -1 at the end of the file.
    int next()
    {
        if (at_ == size_ && !refill()) return -1;
        return block_[at_++];
    }
    bool skip(std::uint64_t count)
    {
        while (count > 0) {
            if (at_ == size_ && !refill()) return false;
            const std::size_t step = count < size_ - at_ ? static_cast<std::size_t>(count) : size_ - at_;
            at_ += step;
            count -= step;
        }
        return true;
    }
    // Four bytes, most significant first; false at the end of the file.
    bool big_endian32(std::uint32_t& value)
    {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            const int b = next();
            if (b < 0) return false;
            value = value << 8 | static_cast<std::uint32_t>(b);
        }
        return true;
    }

private:
    bool refill()
    {
        file_.read(reinterpret_cast<char*>(block_.data()), static_cast<std::streamsize>(block_.size()));
        size_ = static_cast<std::size_t>(file_.gcount());
        at_ = 0;
        return size_ > 0;
    }

    std::ifstream file_;
    std::array<std::uint8_t, 65536> block_{};
    std::size_t size_ = 0, at_ = 0;
};

std::uint32_t crc_step(std::uint32_t crc, std::uint8_t byte)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
}

// After the signature: chunk after chunk up to IEND.
bool png_whole(Bytes& in)
{
    for (;;) {
        std::uint32_t length = 0;
        if (!in.big_endian32(length) || length > 0x7FFFFFFFu) return false;
        std::uint8_t type[4];
        std::uint32_t crc = 0xFFFFFFFFu;
        for (std::uint8_t& b : type) {
            const int v = in.next();
            if (v < 0) return false;
            b = static_cast<std::uint8_t>(v);
            crc = crc_step(crc, b);
        }
        const bool critical = (type[0] & 0x20) == 0;
        if (critical) {
            for (std::uint32_t i = 0; i < length; ++i) {
                const int v = in.next();
                if (v < 0) return false;
                crc = crc_step(crc, static_cast<std::uint8_t>(v));
            }
        } else if (!in.skip(length)) {
            return false;
        }
        std::uint32_t stored = 0;
        if (!in.big_endian32(stored)) return false;
        if (critical && stored != ~crc) return false;
        if (std::memcmp(type, "IEND", 4) == 0) return true;
    }
}

// After the start-of-image marker: segments, and the coded data of each
// scan (where 0xFF 0x00 stands for 0xFF and restart markers interleave),
// up to the end-of-image marker. Stray bytes between segments are passed
// over, as decoders pass over them.
bool jpeg_whole(Bytes& in)
{
    for (;;) {
        int b = in.next();
        if (b < 0) return false;
        if (b != 0xFF) continue;
        do b = in.next();
        while (b == 0xFF);
        if (b < 0) return false;
        if (b == 0x00 || b == 0x01 || b == 0xD8 || (b >= 0xD0 && b <= 0xD7)) continue;
        if (b == 0xD9) return true;
        const int high = in.next(), low = in.next();
        if (low < 0) return false;
        const int length = high << 8 | low;
        if (length < 2 || !in.skip(static_cast<std::uint64_t>(length - 2))) return false;
    }
}

// After the six-byte signature: the screen descriptor, its palette, then
// extensions up to the first image, whose descriptor, palette and data
// sub-blocks must all be there. Later frames are never shown, so they are
// not looked at.
bool gif_whole(Bytes& in)
{
    const auto skip_palette = [&in](int flags) { return (flags & 0x80) == 0 || in.skip(3u << ((flags & 7) + 1)); };
    const auto skip_sub_blocks = [&in] {
        for (;;) {
            const int length = in.next();
            if (length <= 0) return length == 0;
            if (!in.skip(static_cast<std::uint64_t>(length))) return false;
        }
    };
    if (!in.skip(4)) return false;
    const int flags = in.next();
    if (flags < 0 || !in.skip(2) || !skip_palette(flags)) return false;
    for (;;) {
        const int block = in.next();
        if (block == 0x21) {
            if (in.next() < 0 || !skip_sub_blocks()) return false;
        } else if (block == 0x2C) {
            if (!in.skip(8)) return false;
            const int image_flags = in.next();
            return image_flags >= 0 && skip_palette(image_flags) && in.next() >= 0 && skip_sub_blocks();
        } else {
            return false;  // the trailer or anything else before the first image: no picture
        }
    }
}

}  // namespace

bool picture_file_whole(const std::filesystem::path& path)
{
    Bytes in(path);
    std::uint8_t head[8];
    for (std::size_t i = 0; i < 3; ++i) {
        const int v = in.next();
        if (v < 0) return true;
        head[i] = static_cast<std::uint8_t>(v);
    }
    if (head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return jpeg_whole(in);
    if (head[0] == 'G' && head[1] == 'I' && head[2] == 'F') return !in.skip(3) || gif_whole(in);
    if (head[0] != 0x89 || head[1] != 'P' || head[2] != 'N') return true;
    for (std::size_t i = 3; i < 8; ++i) {
        const int v = in.next();
        if (v < 0) return true;
        head[i] = static_cast<std::uint8_t>(v);
    }
    static constexpr std::uint8_t kPng[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return std::memcmp(head, kPng, 8) != 0 || png_whole(in);
}
