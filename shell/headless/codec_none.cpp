// The picture codecs of a build that has none (the fuzz targets, and the
// command-line tool built only to write the Windows program's menu): every
// file that is not a BMP is refused as the BMP reader refuses it, and only
// BMP can be written.
#include "commands/platform.h"

DecodeResult decode_picture(const std::filesystem::path&, PictureTarget&) { return DecodeResult::NotAPicture; }

EncodeResult encode_picture(const PictureView&, const std::string&, std::vector<std::uint8_t>&, std::string&)
{
    return EncodeResult::UnknownFormat;
}

bool read_picture_text(const std::filesystem::path&, const char*, std::string&) { return false; }
