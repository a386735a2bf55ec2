// The program's texts in the user's language. Every text is written in the
// source in Russian, the course's language; each other language is one
// catalogue file (i18n/<code>.po) that the build compiles into the core
// (scripts/texts.py). A text the catalogue lacks is shown in Russian.
//
// Nothing here depends on a platform: the Qt, Win32 and page front ends, the
// command-line tool and the operations' explanations all ask here.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// One compiled catalogue: pairs of (Russian text, its translation).
struct CatalogueData {
    const char* code;         // "en"
    const char* name;         // the language's own name: "English"
    char decimal_point;       // '.' or ','
    int plural_forms;         // how many plural forms the language has (1..3)
    const char* const* pairs; // russian0, translation0, russian1, ...
    std::size_t count;        // number of pairs
};

struct Language {
    std::string code;
    std::string name;
};

// Russian first, then every compiled catalogue, in code order.
std::vector<Language> languages();

// Chooses the language for every text asked for from now on. False (and
// nothing changes) for a code no catalogue has.
bool set_language(std::string_view code);
// The code in use: "ru" unless something else was chosen.
std::string language();

// Chooses the language LUMAFORGE_LANG names, if it names one; returns whether
// it did.
bool choose_from_environment();

// Adds a catalogue made at run time (the tests' partial one). Its texts must
// outlive the program.
void add_catalogue(const CatalogueData& data);

// The text in the language in use: the Russian text itself (the very same
// pointer) when Russian is in use or the catalogue lacks it.
const char* tr(const char* russian);
std::string tr(std::string_view russian);

// `pattern` translated, with %1..%9 replaced by `args` in order.
std::string format(const char* pattern, std::initializer_list<std::string_view> args);

// A number with its noun: `forms` lists the Russian forms for 1, 2 and 5
// separated by '|' ("%1 проход|%1 прохода|%1 проходов"); the catalogue gives
// the language's own forms the same way. %1 becomes the number.
std::string plural(long long n, const char* forms);

// The decimal separator of the language in use (a comma in Russian).
char decimal_point();

// The texts of `russian_texts` that the catalogue of `code` lacks (for the
// check that lists what a partial catalogue still needs).
std::vector<std::string> missing_texts(std::string_view code, const std::vector<std::string>& russian_texts);

} // namespace text
