#include "image/exif_orientation.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

// The orientation tag in a TIFF structure (the Exif segment past its
// "Exif\0\0"), or 1.
int orientation_in(const std::vector<std::uint8_t>& t)
{
    if (t.size() < 8) return 1;
    const bool little = t[0] == 'I' && t[1] == 'I';
    if (!little && !(t[0] == 'M' && t[1] == 'M')) return 1;
    const auto u16 = [&](std::size_t at) {
        return little ? static_cast<unsigned>(t[at] | t[at + 1] << 8) : static_cast<unsigned>(t[at] << 8 | t[at + 1]);
    };
    const auto u32 = [&](std::size_t at) {
        return little ? static_cast<std::uint32_t>(u16(at) | u16(at + 2) << 16)
                      : static_cast<std::uint32_t>(u16(at) << 16 | u16(at + 2));
    };
    if (u16(2) != 42) return 1;
    const std::uint32_t directory = u32(4);
    if (directory > t.size() - 2) return 1;
    const unsigned entries = u16(directory);
    for (unsigned i = 0; i < entries; ++i) {
        const std::size_t at = directory + 2 + 12 * static_cast<std::size_t>(i);
        if (at + 12 > t.size()) return 1;
        if (u16(at) != 0x0112) continue;
        const unsigned value = u16(at + 8);
        return u16(at + 2) == 3 && u32(at + 4) == 1 && value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
    return 1;
}

}  // namespace

int jpeg_exif_orientation(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::uint8_t head[2];
    if (!in.read(reinterpret_cast<char*>(head), 2) || head[0] != 0xFF || head[1] != 0xD8) return 1;
    for (;;) {
        std::uint8_t marker[4];
        if (!in.read(reinterpret_cast<char*>(marker), 4) || marker[0] != 0xFF) return 1;
        const int code = marker[1], length = marker[2] << 8 | marker[3];
        if (code == 0xDA || code == 0xD9 || length < 2) return 1;
        if (code == 0xE1 && length >= 8) {
            std::vector<std::uint8_t> segment(static_cast<std::size_t>(length - 2));
            if (!in.read(reinterpret_cast<char*>(segment.data()), static_cast<std::streamsize>(segment.size()))) return 1;
            if (std::memcmp(segment.data(), "Exif\0\0", 6) == 0)
                return orientation_in(std::vector<std::uint8_t>(segment.begin() + 6, segment.end()));
        } else if (!in.seekg(length - 2, std::ios::cur)) {
            return 1;
        }
    }
}
