// Pictures from files and into files, whatever their format.
//
// load_picture reads a file that starts with "BM" through load_bmp, with
// every check and refusal of the BMP reader; any other file goes to the
// platform's decoder (commands/platform.h), whose answers become the reader's
// refusals: not a picture it knows -> NotBmp, over the size limits or more
// than the heap gives -> TooLarge, broken -> ReadFailed. A PNG or JPEG that
// is not whole (image/picture_whole.h) is refused as broken before any
// decoder reads it, so every front end treats it alike.
//
// save_picture writes a record in the format its file name's extension
// names: ".bmp" (or no extension) by the BMP writer, the 54-byte header and
// then the block as it stands; anything else through the platform's encoder
// into memory. Either way the file is written all or nothing
// (image/file_write.h): a failure leaves a file already there as it was.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "commands/journal.h"

#include "image/bmp.h"
#include "image/image_record.h"

LoadResult load_picture(const std::filesystem::path& path, ImageRecord& record);

// Why a save failed.
struct SaveFailure {
    enum Kind {
        NoFolder,       // the folder does not exist
        NoPermission,   // the file or its folder may not be written
        DiskFull,
        ReadOnlyDisk,
        IsFolder,       // the name is a folder's
        BadName,        // the system takes no file of that name
        UnknownFormat,  // the platform writes no such format
        EncoderFailed,
        Other,
    } kind = Other;
    std::string detail;  // the system's or the encoder's words, in English
};

// The lower-case extension of a file name with its dot (".png"), or "".
std::string lower_extension(const std::filesystem::path& path);

// `recipe`, when not empty, goes into a PNG's text metadata (kRecipeKey).
bool save_picture(const ImageRecord& record, const std::filesystem::path& path, SaveFailure& failure,
                  std::string_view recipe = {});

// The recipe a picture file carries (commands/journal.h): none when it
// carries none, else the recipe or, when its text is damaged, why.
struct CarriedRecipe {
    std::optional<Recipe> recipe;
    std::string damage;
};
std::optional<CarriedRecipe> read_recipe_of(const std::filesystem::path& path);

// The user's text for a failed save of `path` (UTF-8): the file, then the
// reason in the program's words.
std::string save_failure_text(const std::filesystem::path& path, const SaveFailure& failure);
