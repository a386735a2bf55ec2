// Where an installed program finds its guide (the HTML pages that
// scripts/make_guide.py writes), whichever way it was installed: beside the
// executable in a "guide" folder (the Windows installers and zips), in the
// package's documentation folder (/usr/bin -> /usr/share/doc/lumaforge),
// or in the build tree (build/PRESET/shell/FRONT_END -> build/PRESET/docs).
#pragma once

#include <filesystem>
#include <string>

// The first page's full path (UTF-8), or empty when none of the places has it.
std::string find_guide(const std::filesystem::path& program_folder);
