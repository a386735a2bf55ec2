#include "shell/guide_location.h"

#include <system_error>

#include "text/catalogue.h"

std::string guide_page(std::string_view language)
{
    return language == "ru" ? "index.html" : std::string(language) + "/index.html";
}

std::string find_guide(const std::filesystem::path& program_folder)
{
    const std::filesystem::path places[] = {
        program_folder / "guide",
        program_folder / ".." / "share" / "doc" / "lumaforge" / "guide",
        program_folder / ".." / ".." / "docs" / "guide",
    };
    const std::string own = guide_page(text::language());
    for (const std::filesystem::path& place : places) {
        for (const std::string& name : {own, guide_page("ru")}) {
            std::error_code error;
            const std::filesystem::path page = std::filesystem::weakly_canonical(place / name, error);
            if (!error && std::filesystem::is_regular_file(page, error)) {
                const std::u8string text = page.u8string();
                return std::string(text.begin(), text.end());
            }
        }
    }
    return {};
}
