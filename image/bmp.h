// Reading and writing 24-bit uncompressed BMP files.
//
// load_bmp reads one file into a record: the pixel array is copied as it
// stands (row padding included; a top-down file is put into bottom-up order)
// and the statistics are computed. It shows nothing: a refusal comes back as
// a LoadResult, whose text (load_refusal_text) the caller shows with the
// caption text::tr(kLoadCaption); the record then holds no pixel block. The caller has
// released the record's block beforehand.
//
// write_bmp_file writes a bottom-up pixel block (rows padded to 4 bytes)
// behind a 54-byte header: 40-byte information header, pixel offset 54;
// write_bmp_file_top_down writes the same file from top-down rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_record.h"

// Texts the reader shows, caption first.
inline constexpr const char* kLoadCaption = "Загрузка файла";
inline constexpr const char* kCannotOpen = "Не грузится!";
inline constexpr const char* kReadFailed = "Облом при чтении!!!";
inline constexpr const char* kNotBmp = "Это не BMP-а";
inline constexpr const char* kBadBitCount = "Не умею грузить файлы с таким количеством цветов!";
inline constexpr const char* kCompressed = "Эта картинка утоптана RLE, влом разжимать.";
inline constexpr const char* kTooLarge = "Слишком большая картинка!";

enum class LoadResult { Loaded, CannotOpen, ReadFailed, NotBmp, BadBitCount, Compressed, TooLarge };

// Width and height are stored from the header as soon as they are read, as
// the reader always has; the block only once every check has passed.
LoadResult load_bmp(const std::filesystem::path& path, ImageRecord& record);

// The user's text for a refusal, in the language in use; nullptr for Loaded.
const char* load_refusal_text(LoadResult result);

inline constexpr std::uint32_t kBmpHeaderSize = 54;

// The 54-byte header followed by the block; the block must hold
// (3 * width + padding) * height bytes.
std::vector<std::uint8_t> encode_bmp(std::uint32_t width, std::uint32_t height,
                                     const std::uint8_t* block);

// Writes the 54-byte header and then the bottom-up block as it stands (no
// copy) to `path`, all or nothing (see image/file_write.h): a failure leaves
// a file already at `path` as it was and no temporary file behind. Returns
// false with the reason in `error` (and as an errno value in
// `error_number`, when given).
bool write_bmp_file(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                    const std::uint8_t* block, std::string& error, int* error_number = nullptr);

// The same file from rows stored top-down, `stride` bytes apart (a view
// frame): each row's first 3 * width + padding bytes are written, bottom row
// first, straight from where they lie.
bool write_bmp_file_top_down(const std::filesystem::path& path, std::uint32_t width, std::uint32_t height,
                             const std::uint8_t* top_row, std::size_t stride, std::string& error);
