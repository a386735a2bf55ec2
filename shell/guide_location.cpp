#include "shell/guide_location.h"

#include <system_error>

std::string find_guide(const std::filesystem::path& program_folder)
{
    const std::filesystem::path places[] = {
        program_folder / "guide",
        program_folder / ".." / "share" / "doc" / "lumaforge" / "guide",
        program_folder / ".." / ".." / "docs" / "guide",
    };
    for (const std::filesystem::path& place : places) {
        std::error_code error;
        const std::filesystem::path page = std::filesystem::weakly_canonical(place / "index.html", error);
        if (!error && std::filesystem::is_regular_file(page, error)) {
            const std::u8string text = page.u8string();
            return std::string(text.begin(), text.end());
        }
    }
    return {};
}
