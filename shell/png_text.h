// Text chunks of PNG files, for the front ends whose encoder or decoder
// gives no access to them (the page) or where the platform's gives none.
// add_png_text puts a tEXt chunk (Latin-1 text; the recipe is ASCII) right
// after the header chunk; png_text finds a tEXt or uncompressed iTXt chunk
// with that keyword. Compressed text is not read here.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

bool add_png_text(std::vector<std::uint8_t>& png, std::string_view key, std::string_view text);
std::optional<std::string> png_text(std::span<const std::uint8_t> png, std::string_view key);

// The same for a file, looking at its first kTextSearchBytes (text chunks
// come before the pixels; this file's writer puts them right after the header).
inline constexpr std::size_t kTextSearchBytes = 1 << 16;
std::optional<std::string> png_file_text(const std::filesystem::path& path, std::string_view key);
