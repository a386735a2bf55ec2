// A scripted stand-in for the front end: records what the core shows and asks
// for, and answers dialogs from a script.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "shell/platform.h"

struct DialogAnswer {
    enum Kind { OkAtPosition, OkAtValue, Cancel, Close } kind = OkAtPosition;
    std::int32_t number = 0;  // position or value
};

struct FakePlatform {
    struct Message {
        std::string caption, text;
    };
    std::vector<Message> messages;
    int repaints = 0;
    int destroys = 0;
    int dialogs_shown = 0;
    int file_dialogs_shown = 0;
    int busy_depth = 0;
    std::vector<WindowLine> lines;

    // What the parameter dialog showed on opening, for the latest dialog.
    std::string shown_title, shown_min, shown_max, shown_value;
    std::int32_t shown_range_min = 0, shown_range_max = 0, shown_tick = 0, shown_position = 0;

    std::deque<DialogAnswer> dialog_answers;  // empty: OK at the initial position
    std::deque<std::optional<std::filesystem::path>> files;  // nullopt: cancel

    void reset() { *this = FakePlatform{}; }
};

extern FakePlatform fake;
inline WindowHandle const kFakeWindow = &fake;

// Resets the image store, the dialog description and the fake.
void reset_everything();
