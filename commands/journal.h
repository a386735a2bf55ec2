// The journal: since the last open, every command that changed a record, as
// the lumaforge-cli step that does the same (the open with its path, each
// image command with its dialog's value, each undo that switched, noise with
// the seed it ran with as noise=VALUE@SEED). lumaforge-cli given the opened
// file and these steps makes both records again, byte for byte.
//
// A recipe is the journal as a saved PNG carries it in its text metadata:
// the opened file's name (not its folder), size and SHA-256, the program's
// version and the steps after the open. Its text is lines of ASCII
// ("lumaforge-recipe 1", "version V", "input NAME", "size N", "sha256 HEX",
// "step WORD"..., "end N" with N the number of steps; read as words apart by
// any white space, since readers of PNG text differ in what they make of
// line ends), bytes outside
// printable ASCII and "%" written as %XX. parse_recipe takes nothing else:
// a recipe that is cut short, has a line it does not know, names an unknown
// step or one that reads or writes a file is refused with the reason.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct CommandRow;
struct CommandArgs;

// The PNG text keyword the recipe is stored under.
inline constexpr const char* kRecipeKey = "lumaforge-recipe";

struct Recipe {
    std::string version;  // the program that made the picture
    std::string input;    // the opened file's name, without its folder
    std::uint64_t size = 0;
    std::string sha256;
    std::vector<std::string> steps;
};

struct Journal {
    std::vector<std::string> steps;  // the first is the open: "open=PATH"
    std::filesystem::path input;
    // The recipe the opened picture carried, if any ("how this picture was
    // made"); the journal itself starts afresh at the open.
    std::optional<Recipe> made_by;
    std::string made_by_damage;  // why the recipe it carried was refused
    // Changes with every change of the journal, for panels that show it.
    std::uint64_t revision = 0;

    // The opened file as it was at the open, and its hash once asked for
    // (hashing a photo costs more than opening it, so only a save does).
    std::uint64_t input_size = 0;
    std::filesystem::file_time_type input_time{};
    std::optional<std::string> input_sha256;
};

// A successful open of `file`: the journal starts again with it.
void journal_open(Journal& journal, const std::filesystem::path& file);
// Nothing left to replay (an open that failed and left no picture).
void journal_clear(Journal& journal);
void journal_add(Journal& journal, std::string step);

// The step that repeats a command which ran with `args`: its step name, its
// dialog's value, and the seed for a command that draws random numbers.
std::string step_word(const CommandRow& row, const CommandArgs& args);
// Commands that draw random numbers carry their seed: NAME=VALUE@SEED.
bool takes_seed(const CommandRow& row);

// The journal as a recipe; none when nothing is open or the opened file is
// no longer the one opened (changed, gone or unreadable).
std::optional<Recipe> journal_recipe(Journal& journal);

std::string recipe_text(const Recipe& recipe);
bool parse_recipe(std::string_view text, Recipe& recipe, std::string& error);

// Command lines: a word quoted for a shell so that the shell hands the
// program exactly that word. Posix: sh and its kin; Cmd: cmd.exe with a
// program that splits its command line as the C runtime does.
enum class Shell { Posix, Cmd };
std::string quote_word(std::string_view word, Shell shell);
std::string command_line(std::span<const std::string> words, Shell shell);

// The words of lumaforge-cli that replay the journal: the program, the
// opened file, the steps after the open. Empty when nothing is open.
std::vector<std::string> journal_words(const Journal& journal);
// The same for a recipe, the input by its recorded name.
std::vector<std::string> recipe_words(const Recipe& recipe);
