// Where an installed program finds its guide (the HTML pages that
// scripts/make_guide.py writes), whichever way it was installed: beside the
// executable in a "guide" folder (the Windows installers and zips), in the
// package's documentation folder (/usr/bin -> /usr/share/doc/lumaforge),
// or in the build tree (build/PRESET/shell/FRONT_END -> build/PRESET/docs).
// The Russian page is the folder's index.html, another language's is in a
// folder of its own: guide/en/index.html.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// The first page in `language` relative to the guide's folder, with '/'.
std::string guide_page(std::string_view language);

// The first page's full path (UTF-8) in the language in use (text::language()),
// the Russian one where that language has none; empty when none of the places
// has the guide.
std::string find_guide(const std::filesystem::path& program_folder);
