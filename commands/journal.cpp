#include "commands/journal.h"

#include "commands/kernel_dialog.h"

#include <algorithm>
#include <charconv>
#include <system_error>

#include "commands/command_table.h"
#include "commands/sha256.h"
#include "lumaforge_version.h"

namespace {

std::string utf8(const std::filesystem::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// Bytes outside printable ASCII, and "%" itself, as %XX.
std::string escaped(std::string_view text)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x21 || b > 0x7e || b == '%') {
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        } else {
            out += c;
        }
    }
    return out;
}

int hex_digit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool unescaped(std::string_view text, std::string& out)
{
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto b = static_cast<unsigned char>(text[i]);
        if (b < 0x21 || b > 0x7e) return false;
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return false;
        const int hi = hex_digit(text[i + 1]), lo = hex_digit(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

bool parse_count(std::string_view text, std::uint64_t& value)
{
    if (text.empty() || text.size() > 20) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

bool is_sha256(std::string_view text)
{
    if (text.size() != 64) return false;
    for (const char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

// A step a recipe may carry: one of the program's own, never one that
// reads or writes a file.
bool recipe_step_known(std::string_view word, std::string& error)
{
    const CommandRow* row = find_command_by_step(word.substr(0, word.find('=')));
    if (row == nullptr) {
        error = "unknown step '" + std::string(word) + "'";
        return false;
    }
    if (asks_for_file(row->dialog.kind)) {
        error = "step '" + std::string(word) + "' names a file, which a recipe may not";
        return false;
    }
    if (takes_seed(*row) && word.find('@') == std::string_view::npos) {
        error = "step '" + std::string(word) + "' has no seed";
        return false;
    }
    return true;
}

}  // namespace

void journal_open(Journal& journal, const std::filesystem::path& file)
{
    Journal fresh;
    fresh.steps.push_back("open=" + utf8(file));
    fresh.input = file;
    fresh.made_by = std::move(journal.made_by);
    fresh.made_by_damage = std::move(journal.made_by_damage);
    fresh.revision = journal.revision + 1;
    journal = std::move(fresh);
    std::error_code error;
    journal.input_size = std::filesystem::file_size(file, error);
    journal.input_time = std::filesystem::last_write_time(file, error);
}

void journal_clear(Journal& journal)
{
    const std::uint64_t revision = journal.revision + 1;
    journal = Journal{};
    journal.revision = revision;
}

void journal_add(Journal& journal, std::string step)
{
    if (journal.steps.empty()) return;  // nothing opened: nothing to repeat
    journal.steps.push_back(std::move(step));
    ++journal.revision;
}

bool takes_seed(const CommandRow& row) { return row.dialog.kind == DialogKind::NoisePoints; }

std::string step_word(const CommandRow& row, const CommandArgs& args)
{
    std::string word = row.step;
    if (row.dialog.kind == DialogKind::Kernel) return word + '=' + kernel_word(args.kernel);
    if (row.dialog.kind != DialogKind::None && !asks_for_file(row.dialog.kind)) {
        word += '=';
        word += std::to_string(args.value);
    }
    if (takes_seed(row)) {
        word += '@';
        word += std::to_string(args.seed);
    }
    return word;
}

std::optional<Recipe> journal_recipe(Journal& journal)
{
    if (journal.steps.empty()) return std::nullopt;
    std::error_code error;
    const auto size = std::filesystem::file_size(journal.input, error);
    if (error || size != journal.input_size) return std::nullopt;
    const auto time = std::filesystem::last_write_time(journal.input, error);
    if (error || time != journal.input_time) return std::nullopt;
    if (!journal.input_sha256) {
        const std::optional<FileDigest> digest = sha256_of_file(journal.input);
        if (!digest || digest->size != size) return std::nullopt;
        journal.input_sha256 = digest->sha256;
    }
    Recipe recipe{LUMAFORGE_VERSION, utf8(journal.input.filename()), size, *journal.input_sha256, {}};
    recipe.steps.assign(journal.steps.begin() + 1, journal.steps.end());
    return recipe;
}

std::string recipe_text(const Recipe& recipe)
{
    std::string text = "lumaforge-recipe 1\nversion " + escaped(recipe.version) + "\ninput " + escaped(recipe.input) +
                       "\nsize " + std::to_string(recipe.size) + "\nsha256 " + recipe.sha256 + "\n";
    for (const std::string& step : recipe.steps) text += "step " + escaped(step) + "\n";
    return text + "end " + std::to_string(recipe.steps.size()) + "\n";
}

bool parse_recipe(std::string_view text, Recipe& recipe, std::string& error)
{
    // Words apart by any white space: readers of text metadata differ in
    // what they make of line ends (some fold them into blanks).
    std::vector<std::string_view> words;
    for (std::size_t i = 0; i < text.size();) {
        const auto blank = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; };
        if (blank(text[i])) {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !blank(text[end])) ++end;
        words.push_back(text.substr(i, end - i));
        i = end;
    }
    recipe = Recipe{};
    if (words.empty()) {
        error = "the recipe is empty";
        return false;
    }
    if (words.size() < 2 || words[0] != "lumaforge-recipe" || words[1] != "1") {
        error = "not a recipe of this program (\"" + escaped(text.substr(0, 40)) + "\")";
        return false;
    }
    bool seen_version = false, seen_input = false, seen_size = false, seen_sha = false, ended = false;
    for (std::size_t i = 2; i < words.size(); i += 2) {
        const std::string_view key = words[i];
        const std::string where = "recipe item " + std::to_string(i / 2) + " (" + escaped(key.substr(0, 20)) + "): ";
        if (ended) {
            error = where + "text after the end";
            return false;
        }
        if (i + 1 >= words.size()) {
            error = where + "the recipe is cut short";
            return false;
        }
        const std::string_view value = words[i + 1];
        std::string decoded;
        if (!unescaped(value, decoded)) {
            error = where + "damaged text";
            return false;
        }
        std::uint64_t number = 0;
        if (key == "version" && !seen_version) {
            recipe.version = decoded;
            seen_version = true;
        } else if (key == "input" && !seen_input) {
            if (decoded.find_first_of("/\\") != std::string::npos || decoded == "." || decoded == "..") {
                error = where + "the input must be a file name without a folder";
                return false;
            }
            recipe.input = decoded;
            seen_input = true;
        } else if (key == "size" && !seen_size && parse_count(value, number)) {
            recipe.size = number;
            seen_size = true;
        } else if (key == "sha256" && !seen_sha && is_sha256(value)) {
            recipe.sha256 = std::string(value);
            seen_sha = true;
        } else if (key == "step" && seen_sha) {
            if (!recipe_step_known(decoded, error)) {
                error = where + error;
                return false;
            }
            recipe.steps.push_back(decoded);
        } else if (key == "end" && parse_count(value, number)) {
            if (number != recipe.steps.size()) {
                error = where + "the recipe says " + std::to_string(number) + " steps but holds " +
                        std::to_string(recipe.steps.size());
                return false;
            }
            ended = true;
        } else {
            error = where + "damaged (\"" + escaped(value.substr(0, 40)) + "\")";
            return false;
        }
    }
    if (!(seen_version && seen_input && seen_size && seen_sha && ended)) {
        error = "the recipe is cut short";
        return false;
    }
    return true;
}

// Letters beyond ASCII (UTF-8 bytes from 0x80) mean nothing to either shell
// and stay bare, so Cyrillic names read as they are.
std::string quote_word(std::string_view word, Shell shell)
{
    if (shell == Shell::Posix) {
        bool plain = !word.empty();
        for (const char c : word)
            plain = plain && (static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') ||
                              (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                              std::string_view("_-+=@%,./:").find(c) != std::string_view::npos);
        if (plain) return std::string(word);
        std::string out = "'";
        for (const char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
        return out + "'";
    }
    // The C runtime's rules first: quotes around the word, a quote inside it
    // as \", and backslashes doubled only where a quote follows them.
    bool plain = !word.empty();
    for (const char c : word)
        plain = plain && (static_cast<unsigned char>(c) >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || std::string_view("_-+=@,./:\\").find(c) != std::string_view::npos);
    std::string argument;
    if (plain) {
        argument = std::string(word);
    } else {
        argument = "\"";
        std::size_t backslashes = 0;
        for (const char c : word) {
            if (c == '\\') {
                ++backslashes;
                continue;
            }
            argument.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
            backslashes = 0;
            argument += c;
        }
        argument.append(2 * backslashes, '\\');
        argument += '"';
    }
    // Then cmd.exe's: every character it treats specially takes a caret, the
    // quotes too, so cmd never sees a quoted stretch it would read differently.
    std::string out;
    for (const char c : argument) {
        if (std::string_view("()%!^\"<>&|").find(c) != std::string_view::npos) out += '^';
        out += c;
    }
    return out;
}

std::string command_line(std::span<const std::string> words, Shell shell)
{
    std::string line;
    for (const std::string& word : words) {
        if (!line.empty()) line += ' ';
        line += quote_word(word, shell);
    }
    return line;
}

std::vector<std::string> journal_words(const Journal& journal)
{
    if (journal.steps.empty()) return {};
    std::vector<std::string> words{"lumaforge-cli", utf8(journal.input)};
    words.insert(words.end(), journal.steps.begin() + 1, journal.steps.end());
    return words;
}

std::vector<std::string> recipe_words(const Recipe& recipe)
{
    std::vector<std::string> words{"lumaforge-cli", recipe.input};
    words.insert(words.end(), recipe.steps.begin(), recipe.steps.end());
    return words;
}
