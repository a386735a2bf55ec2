// How one output pixel came about: the numbers a command read, the
// quantities it computed from them in order, and the bytes it wrote.
//
// Each operation offers an explain_* function beside its own code (declared
// beside the operation in ops/operations.h), built from the same kernel, table or helper the operation runs, so
// what is shown is what was computed. They answer for one pixel at a time
// and are cheap enough to run on every mouse move.
//
// Coordinates are the user's: x from the left, y from the top of the picture
// (the pixel block is stored bottom-up, so the memory row is height - 1 - y).
// Windows are laid out as the picture shows them: top row first, each row
// left to right. The caller checks that (x, y) lies inside the picture.
//
// explanation_text renders an explanation as the panels show it (UTF-8, in
// the language in use, one text for every front end); explanation_json as
// the command-line tool prints it: its keys, names and numbers are the same
// in every language, its caption and note are the panel's.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_record.h"
#include "ops/operations.h"  // the explain_* functions, beside their operations

// What a window of inputs holds.
enum class Sample : std::uint8_t { Luma, Blue, Green, Red };

// A window of source samples as the command used them.
struct ExplainInput {
    Sample sample = Sample::Luma;
    int x = 0, y = 0;  // the window's top-left sample, picture coordinates
    int columns = 0, rows = 0;
    std::vector<int> values;  // rows top to bottom, each left to right
};

// One intermediate quantity: a number, a list, or a grid of `columns`
// columns. Per-channel quantities hold blue, green, red in that order.
struct ExplainStep {
    const char* name = "";   // for programs: "gx", "ratio", ...
    const char* label = "";  // the Russian label; the panel shows it translated
    std::vector<double> values;
    int columns = 0;  // > 0: a grid, rows top to bottom
    bool per_channel = false;
};

enum class ExplainStatus : std::uint8_t {
    Computed,          // the command computed this pixel: inputs and steps
    NotWritten,        // the command left it as the destination held it
    Block,             // a block transform: the block's size and state
    NothingToExplain,  // opened from a file, or not made by a command
    SourceGone,        // the picture it was made from has been replaced
};

struct PixelBytes {
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const PixelBytes&) const = default;
};

struct Explanation {
    // Filled by the dispatcher: the command and its parameter.
    std::string command;      // step name ("sobel"; "open")
    std::string caption;      // the menu caption without mnemonic or shortcut, translated
    std::string value_label;  // "Порог", "Апертура", ... translated; empty without a value
    std::optional<std::int32_t> value;
    std::string value_unit;  // "%" for a percentage

    int x = 0, y = 0;
    ExplainStatus status = ExplainStatus::NothingToExplain;
    std::vector<ExplainInput> inputs;
    std::vector<ExplainStep> steps;
    PixelBytes result;  // the pixel on display
    bool written = false;
    std::string note;  // a sentence for the panel in the language in use; may be empty
};

// The pixel to explain: the picture the command read and the one it wrote
// (the same record for the in-place block transforms).
struct PixelQuestion {
    const ImageRecord& source;
    const ImageRecord& result;
    int x, y;  // from the top-left; inside the picture
};

// The panel's text and the command-line tool's JSON object.
std::string explanation_text(const Explanation& e);
std::string explanation_json(const Explanation& e);
// A JSON string literal of UTF-8 text: quotes, backslash and control
// characters escaped.
std::string json_string(std::string_view text);

// Helpers for the explain functions.
namespace explain {

PixelBytes bytes_at(const ImageRecord& r, int x, int y);

// An explanation of a pixel the command computed, to be filled.
Explanation computed(const PixelQuestion& q);

// The explanation of a pixel the command did not write (`why`, in Russian:
// which part of the picture it lies in), with the bytes the destination holds.
Explanation not_written(const PixelQuestion& q, const char* why);

// A window of `columns` x `rows` samples whose top-left sample is (x0, y0),
// read from the source: the luma as make_luma_plane computes it, or one
// channel's bytes.
ExplainInput window(const ImageRecord& source, Sample sample, int x0, int y0, int columns, int rows);

// The pixel's own blue, green and red bytes, as three 1 x 1 inputs.
void add_own_pixel(const PixelQuestion& q, Explanation& e);

void add_step(Explanation& e, const char* name, const char* label, double value);
void add_step(Explanation& e, const char* name, const char* label, std::vector<double> values, int columns = 0);
void add_channel_step(Explanation& e, const char* name, const char* label, double blue, double green, double red);

// A grey result: value v in blue, green and red.
inline PixelBytes grey(std::uint8_t v) { return {v, v, v}; }

}  // namespace explain
