// The orientation a JPEG declares in its Exif segment (the tag that says
// how the stored picture must be turned to stand upright, numbered 1..8 as
// PictureTarget::Orientation numbers them). 1 when the file is not a JPEG,
// has no Exif segment or no valid orientation in its first directory. Only
// the segments before the first scan are read.
#pragma once

#include <filesystem>

int jpeg_exif_orientation(const std::filesystem::path& path);
