// Whether a PNG, JPEG or GIF file is whole, before any decoder sees it.
//
// Decoders disagree on a picture they cannot complete: one refuses a JPEG
// or GIF cut short, another fills its missing rows; one refuses a PNG whose
// data chunk has a wrong checksum, another reads it. The open command takes
// one rule for all of them: such a file is refused as broken. Whole means,
// for a PNG, that its chunks lie within the file up to IEND and every
// critical chunk's checksum is right (ancillary chunks are not checked:
// readers skip a damaged one); for a JPEG, that its segments and the coded
// data of its scans run to the end-of-image marker (what follows that marker
// is not looked at); for a GIF, that its first image's data is all there.
// Any other file counts as whole: its decoder judges it.
// The file is read once, in blocks, without holding it in memory.
#pragma once

#include <filesystem>

bool picture_file_whole(const std::filesystem::path& path);
