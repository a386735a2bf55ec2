#include "commands/picture_files.h"

#include <cerrno>
#include <vector>

#include "commands/platform.h"
#include "image/file_write.h"
#include "image/picture_target.h"
#include "image/picture_whole.h"
#include "text/catalogue.h"

LoadResult load_picture(const std::filesystem::path& path, ImageRecord& record)
{
    const LoadResult bmp = load_bmp(path, record);
    if (bmp != LoadResult::NotBmp) return bmp;
    if (!picture_file_whole(path)) return LoadResult::ReadFailed;
    PictureTarget target(record);
    switch (decode_picture(path, target)) {
    case DecodeResult::Decoded: return target.finish() ? LoadResult::Loaded : LoadResult::ReadFailed;
    case DecodeResult::NotAPicture: return LoadResult::NotBmp;
    case DecodeResult::TooLarge: return LoadResult::TooLarge;
    case DecodeResult::Failed: return LoadResult::ReadFailed;
    }
    return LoadResult::ReadFailed;
}

std::string lower_extension(const std::filesystem::path& path)
{
    const std::u8string wide = path.extension().u8string();
    std::string extension(wide.begin(), wide.end());
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension;
}

namespace {

SaveFailure::Kind kind_of(int error_number)
{
    switch (error_number) {
    case ENOENT:
    case ENOTDIR: return SaveFailure::NoFolder;
    case EACCES:
    case EPERM: return SaveFailure::NoPermission;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
        return SaveFailure::DiskFull;
    case EROFS: return SaveFailure::ReadOnlyDisk;
    case EISDIR: return SaveFailure::IsFolder;
    case EINVAL:
    case ENAMETOOLONG:
    case EILSEQ: return SaveFailure::BadName;
    default: return SaveFailure::Other;
    }
}

bool failed(SaveFailure& failure, int error_number, const std::string& detail)
{
    failure.kind = kind_of(error_number);
    failure.detail = detail;
    return false;
}

}  // namespace

bool save_picture(const ImageRecord& record, const std::filesystem::path& path, SaveFailure& failure,
                  std::string_view recipe)
{
    const std::string extension = lower_extension(path);
    std::string error;
    if (extension.empty() || extension == ".bmp") {
        int error_number = 0;
        if (write_bmp_file(path, record.width, record.height, record.pixels.get(), error, &error_number))
            return true;
        return failed(failure, error_number, error);
    }
    PictureView picture;
    picture.width = record.width;
    picture.height = record.height;
    picture.bottom_row = record.pixels.get();
    picture.stride = record.stride();
    if (!recipe.empty() && extension == ".png") {
        picture.text_key = kRecipeKey;
        picture.text = recipe;
    }
    std::vector<std::uint8_t> bytes;
    switch (encode_picture(picture, extension, bytes, error)) {
    case EncodeResult::Encoded: break;
    case EncodeResult::UnknownFormat:
        failure = {SaveFailure::UnknownFormat, "no encoder for " + extension + " files"};
        return false;
    case EncodeResult::Failed:
        failure = {SaveFailure::EncoderFailed, error};
        return false;
    }
    ReplacingFile file(path);
    if (file.write(bytes.data(), bytes.size()) && file.commit()) return true;
    return failed(failure, file.error_number(), file.error());
}

std::optional<CarriedRecipe> read_recipe_of(const std::filesystem::path& path)
{
    std::string text;
    if (!read_picture_text(path, kRecipeKey, text)) return std::nullopt;
    CarriedRecipe carried;
    Recipe recipe;
    if (parse_recipe(text, recipe, carried.damage)) carried.recipe = std::move(recipe);
    return carried;
}

std::string save_failure_text(const std::filesystem::path& path, const SaveFailure& failure)
{
    const std::u8string name = path.u8string();
    const std::string text = text::format("Не сохраняется файл\n%1\n", {std::string(name.begin(), name.end())});
    switch (failure.kind) {
    case SaveFailure::NoFolder: return text + text::tr("Нет такой папки.");
    case SaveFailure::NoPermission: return text + text::tr("Нет прав на запись.");
    case SaveFailure::DiskFull: return text + text::tr("Диск переполнен.");
    case SaveFailure::ReadOnlyDisk: return text + text::tr("Диск только для чтения.");
    case SaveFailure::IsFolder: return text + text::tr("Это папка, а не файл.");
    case SaveFailure::BadName: return text + text::tr("Недопустимое имя файла.");
    case SaveFailure::UnknownFormat:
        return text + text::format("Не умею сохранять в формате %1: годятся .bmp, .png и .jpg.", {lower_extension(path)});
    case SaveFailure::EncoderFailed: return text + text::format("Кодировщик не справился (%1).", {failure.detail});
    case SaveFailure::Other: break;
    }
    return text + text::format("Ошибка записи (%1).", {failure.detail});
}
