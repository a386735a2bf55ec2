// Command-line parsing of lumaforge-cli, kept apart from running so that it
// can be tested and fuzzed on its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CliStep {
    std::uint16_t command = 0;     // IDM_* identifier
    std::string text;              // the step as written, for messages
    std::optional<std::int32_t> value;  // NAME=VALUE for dialog steps
    std::string path;              // open=PATH, save=PATH
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
    std::optional<std::uint32_t> seed;
};

// Parses argv[1..]; on a usage error returns false with a message in `error`.
bool parse_cli_args(const std::vector<std::string>& args, CliOptions& options, std::string& error);

// The usage text, its steps written from the command table.
std::string cli_usage();
