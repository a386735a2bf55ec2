// Command-line parsing of lumaforge-cli, kept apart from running so that it
// can be tested and fuzzed on its own.
#pragma once

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
    std::string view;         // --view
    int client_width = 1024, client_height = 768;
    std::int32_t scroll_x = 0, scroll_y = 0;
    int zoom = 0;                 // --zoom, as the view's zoom level
    std::optional<std::pair<std::int32_t, std::int32_t>> probe;  // --probe X,Y
    std::optional<std::uint32_t> seed;
    std::optional<CliPoint> explain;       // --explain X,Y: JSON
    std::optional<CliPoint> explain_text;  // --explain-text X,Y: the panel's text
};

// Parses argv[1..]; on a usage error returns false with a message in `error`.
bool parse_cli_args(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The usage text, its steps written from the command table.
std::string cli_usage();
