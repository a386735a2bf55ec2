// The filter list of a file chooser as every front end reads it: pairs of
// NUL-terminated strings (a description, then its patterns separated by
// ';') ending in an empty string, as platform.h's choose_picture_file takes it.
#pragma once

#include <string>
#include <vector>

struct ChooserFilter {
    std::string description;
    std::string patterns;   // "*.bmp;*.png"
    std::string extension;  // of the first pattern, without the dot ("*.png" gives "png"); empty unless it is "*.EXT"
};

std::vector<ChooserFilter> chooser_filters(const char* filter);
