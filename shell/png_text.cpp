#include "shell/png_text.h"

#include <array>
#include <cstring>
#include <fstream>

namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0xffffffffu)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xff] ^ (crc >> 8);
    return crc;
}

std::uint32_t big_endian(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void put_big_endian(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

bool is_png(std::span<const std::uint8_t> png)
{
    return png.size() >= 8 + 25 && std::memcmp(png.data(), kSignature, 8) == 0 &&
           std::memcmp(png.data() + 12, "IHDR", 4) == 0;
}

}  // namespace

bool add_png_text(std::vector<std::uint8_t>& png, std::string_view key, std::string_view text)
{
    if (!is_png(png) || key.empty() || key.size() > 79 || big_endian(png.data() + 8) != 13) return false;
    std::vector<std::uint8_t> chunk;
    chunk.reserve(13 + key.size() + text.size());
    put_big_endian(chunk, static_cast<std::uint32_t>(key.size() + 1 + text.size()));
    for (const char c : std::string_view("tEXt")) chunk.push_back(static_cast<std::uint8_t>(c));
    chunk.insert(chunk.end(), key.begin(), key.end());
    chunk.push_back(0);
    chunk.insert(chunk.end(), text.begin(), text.end());
    put_big_endian(chunk, crc32(chunk.data() + 4, chunk.size() - 4) ^ 0xffffffffu);
    png.insert(png.begin() + 8 + 25, chunk.begin(), chunk.end());
    return true;
}

std::optional<std::string> png_text(std::span<const std::uint8_t> png, std::string_view key)
{
    if (!is_png(png)) return std::nullopt;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::uint32_t length = big_endian(png.data() + at);
        if (length > png.size() - at - 12) return std::nullopt;
        const std::uint8_t* type = png.data() + at + 4;
        const std::string_view data(reinterpret_cast<const char*>(type + 4), length);
        const bool whole = (crc32(type, length + 4) ^ 0xffffffffu) == big_endian(type + 4 + length);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        const auto zero = data.find('\0');
        if (whole && zero == key.size() && data.substr(0, zero) == key) {
            if (std::memcmp(type, "tEXt", 4) == 0) return std::string(data.substr(zero + 1));
            // iTXt: compression flag, method, language tag, translated keyword, text.
            if (std::memcmp(type, "iTXt", 4) == 0 && data.size() > zero + 2 && data[zero + 1] == 0) {
                std::size_t p = zero + 3;
                for (int fields = 0; fields < 2 && p != std::string_view::npos; ++fields) {
                    p = data.find('\0', p);
                    if (p != std::string_view::npos) ++p;
                }
                if (p != std::string_view::npos) return std::string(data.substr(p));
            }
        }
        at += 12 + length;
    }
    return std::nullopt;
}

std::optional<std::string> png_file_text(const std::filesystem::path& path, std::string_view key)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<std::uint8_t> head(kTextSearchBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return png_text(head, key);
}
