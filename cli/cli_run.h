// What lumaforge-cli's commands share: opening and running steps through the
// dispatcher, and the recipe checks (cli/verify.cpp).
#pragma once

#include <filesystem>
#include <string>

#include "cli/cli_args.h"
#include "commands/platform.h"
#include "commands/session.h"

extern WindowHandle const kWindow;

std::filesystem::path utf8_path(const std::string& text);

// Opens a file as the open command does; false (the pictures as they were,
// the refusal on stderr under the file's name) when it was refused.
bool open_through_dispatcher(Session& session, const std::string& path);

// Runs one step; 0 when it ran, else the exit code (1 refused, 2 a value the
// dialog cannot give). A refused open= step keeps the pictures, sets
// `open_refused` and lets the steps go on.
int run_step(Session& session, const CliStep& step, bool& open_refused);

// --verify RESULT [--input PATH] and --recipe-of RESULT: the exit code.
int verify_picture(const std::string& result, const std::string& input);
int print_recipe_of(const std::string& result);
