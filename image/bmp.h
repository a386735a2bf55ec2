// Reading and writing 24-bit uncompressed BMP files.
//
// load_bmp reads one file into image_a: the pixel array is copied as it
// stands (row padding included; a top-down file is put into bottom-up order)
// and the statistics are computed. Every refusal is shown through
// show_message with the caption "Загрузка файла" and returns 0; image_a then
// holds no pixel block. The caller has released image_a's block beforehand.
//
// write_bmp_file writes a bottom-up pixel block (rows padded to 4 bytes)
// behind a 54-byte header: 40-byte information header, pixel offset 54.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Texts the reader shows, caption first.
inline constexpr const char* kLoadCaption = "Загрузка файла";
inline constexpr const char* kCannotOpen = "Не грузится!";
inline constexpr const char* kReadFailed = "Облом при чтении!!!";
inline constexpr const char* kNotBmp = "Это не BMP-а";
inline constexpr const char* kBadBitCount = "Не умею грузить файлы с таким количеством цветов!";
inline constexpr const char* kCompressed = "Эта картинка утоптана RLE, влом разжимать.";
inline constexpr const char* kTooLarge = "Слишком большая картинка!";

// Returns 1 when the file was loaded into image_a, 0 when it was refused.
int load_bmp(const std::filesystem::path& path);

// The 54-byte header followed by the block; the block must hold
// (3 * width + padding) * height bytes.
std::vector<std::uint8_t> encode_bmp(std::uint32_t width, std::uint32_t height,
                                     const std::uint8_t* block);

// Writes encode_bmp's bytes to `path`. Returns false with a reason in `error`.
bool write_bmp_file(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                    const std::uint8_t* block, std::string& error);
