// lumaforge-cli --verify and --recipe-of: a saved PNG's recipe read back,
// its input found and checked, its steps run again through the dispatcher
// and the result compared with the picture, pixel for pixel. A recipe runs
// only the program's own steps (parse_recipe refuses any step that reads or
// writes a file), and nothing is written.
#include <iostream>
#include <sstream>
#include <vector>

#include "cli/cli_run.h"
#include "commands/journal.h"
#include "commands/picture_files.h"
#include "commands/sha256.h"
#include "ops/explain.h"

namespace {

enum VerdictCode { kIdentical = 0, kNotRemade = 1, kDiffers = 3, kInputChanged = 4, kInputMissing = 5, kNoRecipe = 6,
                   kDamagedRecipe = 7 };

std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

int verdict(VerdictCode code, const char* name, const std::string& result, const std::string& rest = "")
{
    std::cout << "{\"verdict\":\"" << name << "\",\"result\":" << json_string(result) << rest << "}\n";
    return code;
}

std::string rgb(const std::uint8_t* p)
{
    return "{\"r\":" + std::to_string(p[2]) + ",\"g\":" + std::to_string(p[1]) + ",\"b\":" + std::to_string(p[0]) + "}";
}

// The picture's recipe, or the verdict that there is none to use.
std::optional<int> read_recipe(const std::filesystem::path& path, const std::string& result, Recipe& recipe)
{
    std::string text;
    if (!read_picture_text(path, kRecipeKey, text)) return verdict(kNoRecipe, "no-recipe", result);
    std::string why;
    if (!parse_recipe(text, recipe, why))
        return verdict(kDamagedRecipe, "damaged-recipe", result, ",\"reason\":" + json_string(why));
    return std::nullopt;
}

}  // namespace

int print_recipe_of(const std::string& result)
{
    const std::filesystem::path path = utf8_path(result);
    ImageRecord picture;
    if (load_picture(path, picture) != LoadResult::Loaded) {
        std::cerr << "lumaforge-cli: " << result << " is not a picture this program opens\n";
        return 1;
    }
    Recipe recipe;
    std::string text;
    if (!read_picture_text(path, kRecipeKey, text)) {
        std::cerr << "lumaforge-cli: " << result << " carries no recipe\n";
        return kNoRecipe;
    }
    std::string why;
    if (!parse_recipe(text, recipe, why)) {
        std::cerr << "lumaforge-cli: the recipe in " << result << " is refused: " << why << '\n';
        return kDamagedRecipe;
    }
#ifdef _WIN32
    std::cout << command_line(recipe_words(recipe), Shell::Cmd) << '\n';
#else
    std::cout << command_line(recipe_words(recipe), Shell::Posix) << '\n';
#endif
    return 0;
}

int verify_picture(const std::string& result, const std::string& input)
{
    const std::filesystem::path result_path = utf8_path(result);
    ImageRecord picture;
    if (const LoadResult loaded = load_picture(result_path, picture); loaded != LoadResult::Loaded)
        return verdict(kNotRemade, "unreadable", result, ",\"reason\":" + json_string(load_refusal_text(loaded)));
    Recipe recipe;
    if (const std::optional<int> refused = read_recipe(result_path, result, recipe)) return *refused;

    // The input: the one named, else the recorded name beside the result,
    // else in the current folder.
    std::vector<std::filesystem::path> places;
    if (!input.empty()) {
        places.push_back(utf8_path(input));
    } else {
        places.push_back(result_path.parent_path() / utf8_path(recipe.input));
        if (places.back() != utf8_path(recipe.input)) places.push_back(utf8_path(recipe.input));
    }
    std::error_code error;
    std::optional<std::filesystem::path> found;
    std::string looked;
    for (const std::filesystem::path& place : places) {
        if (!looked.empty()) looked += ',';
        looked += json_string(utf8(place));
        if (!found && std::filesystem::is_regular_file(place, error)) found = place;
    }
    if (!found)
        return verdict(kInputMissing, "input-missing", result,
                       ",\"input\":" + json_string(recipe.input) + ",\"looked_in\":[" + looked + "]");
    const std::string where = ",\"input\":" + json_string(utf8(*found));
    const std::optional<FileDigest> digest = sha256_of_file(*found);
    if (!digest) return verdict(kInputMissing, "input-missing", result, where + ",\"reason\":\"unreadable\"");
    if (digest->size != recipe.size || digest->sha256 != recipe.sha256)
        return verdict(kInputChanged, "input-changed", result,
                       where + ",\"expected\":{\"size\":" + std::to_string(recipe.size) +
                           ",\"sha256\":\"" + recipe.sha256 + "\"},\"found\":{\"size\":" +
                           std::to_string(digest->size) + ",\"sha256\":\"" + digest->sha256 + "\"}");

    // The steps again, each parsed as the command line parses it.
    Session session;
    const auto not_remade = [&](const std::string& why) {
        return verdict(kNotRemade, "not-remade", result, where + ",\"reason\":" + json_string(why));
    };
    if (!open_through_dispatcher(session, utf8(*found))) return not_remade("the input does not open");
    for (const std::string& word : recipe.steps) {
        CliStep step;
        std::string why;
        if (!parse_step(word, step, why)) {
            session.images.release_all_images();
            return verdict(kDamagedRecipe, "damaged-recipe", result, ",\"reason\":" + json_string(why));
        }
        if (bool refused = false; run_step(session, step, refused) != 0 || refused) {
            session.images.release_all_images();
            return not_remade("step '" + word + "' did not run");
        }
    }

    const ImageRecord& made = *session.images.current_image;
    const std::string steps = ",\"steps\":" + std::to_string(recipe.steps.size());
    int code = kIdentical;
    if (made.width != picture.width || made.height != picture.height) {
        code = verdict(kDiffers, "differs", result,
                       where + steps + ",\"size\":{\"result\":\"" + std::to_string(picture.width) + "x" +
                           std::to_string(picture.height) + "\",\"remade\":\"" + std::to_string(made.width) + "x" +
                           std::to_string(made.height) + "\"}");
    } else {
        std::uint64_t differing = 0;
        std::string first;
        for (std::int32_t y = 0; y < picture.height; ++y) {
            // Rows are stored bottom-up; y counts from the top.
            const std::size_t row = static_cast<std::size_t>(picture.height - 1 - y);
            const std::uint8_t* a = picture.pixels.get() + row * picture.stride();
            const std::uint8_t* b = made.pixels.get() + row * made.stride();
            for (std::int32_t x = 0; x < picture.width; ++x, a += 3, b += 3) {
                if (a[0] == b[0] && a[1] == b[1] && a[2] == b[2]) continue;
                if (differing++ == 0)
                    first = "{\"x\":" + std::to_string(x) + ",\"y\":" + std::to_string(y) + ",\"result\":" + rgb(a) +
                            ",\"remade\":" + rgb(b) + "}";
            }
        }
        code = differing == 0 ? verdict(kIdentical, "identical", result, where + steps)
                              : verdict(kDiffers, "differs", result,
                                        where + steps + ",\"differing_pixels\":" + std::to_string(differing) +
                                            ",\"first\":" + first);
    }
    session.images.release_all_images();
    return code;
}
