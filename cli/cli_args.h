// Command-line parsing of lumaforge-cli, kept apart from running so that it
// can be tested and fuzzed on its own.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ops/filters/custom_kernel.h"

struct CliStep {
    std::uint16_t command = 0;     // IDM_* identifier
    std::string text;              // the step as written, for messages
    std::optional<std::int32_t> value;  // NAME=VALUE for dialog steps
    std::optional<std::uint32_t> seed;  // NAME=VALUE@SEED for noise
    std::string path;              // open=PATH, save=PATH
    std::optional<CustomKernel> kernel;  // kernel=WORD
};

// A pixel of the picture, x from the left and y from the top.
struct CliPoint {
    std::int32_t x = 0, y = 0;
};

struct CliOptions {
    bool help = false;
    bool list_commands = false;  // --list-commands
    bool version = false;     // --version
    std::string input;
    std::vector<CliStep> steps;
    std::string output;       // -o
    bool stats = false;       // --stats
    bool time = false;        // --time: each step's milliseconds on stderr
    std::string view;         // --view
    int client_width = 1024, client_height = 768;
    std::int32_t scroll_x = 0, scroll_y = 0;
    int zoom = 0;                 // --zoom, as the view's zoom level
    std::optional<std::pair<std::int32_t, std::int32_t>> probe;  // --probe X,Y
    std::optional<std::uint32_t> seed;
    std::optional<CliPoint> explain;       // --explain X,Y: JSON
    std::optional<CliPoint> explain_text;  // --explain-text X,Y: the panel's text
    std::string verify;        // --verify RESULT.png: re-make it from its recipe
    std::string verify_input;  // --input PATH: the picture the recipe starts from
    std::string recipe_of;     // --recipe-of RESULT.png: its recipe as a command line
    std::optional<std::array<std::int32_t, 4>> profile;  // --profile X0,Y0,X1,Y1
    std::optional<std::array<std::int32_t, 4>> region;   // --region X,Y,W,H
    int compare = 0;                  // --compare: 0 none, 1 split, 2 difference
    std::int32_t compare_value = 0;   // split=X: X; diff=K: K
    std::string language;             // --lang CODE: a code of text::languages(); empty: not given
};

// Parses one step word ("grayscale", "median-2d=5", "noise=14000@7").
bool parse_step(const std::string& text, CliStep& step, std::string& error);

// Parses argv[1..]; on a usage error returns false with a message in `error`.
bool parse_cli_args(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The usage text, its steps written from the command table.
std::string cli_usage();
