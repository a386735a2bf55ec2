// Everything the program keeps between commands, in one object that each
// front end owns and hands to run_command: the two working records and the
// selector of the one on display, the view's scroll positions and limits,
// the parameter dialog's description and mode, and the noise seed.
//
// The parts are plain structs, so code that needs only one of them takes
// only that one (the renderer a ViewState, a dialog a ParamDialog). A fresh
// Session is what the main window's creation gives: no pictures, scrolled
// to 0,0, the dialog's first description.
#pragma once

#include <cstdint>
#include <optional>

#include "commands/param_dialog.h"
#include "image/image_record.h"
#include "shell/view.h"

struct Session : ImageStore, ViewState, ParamDialog {
    // A fixed seed for the noise generator (reproducible runs); none: the
    // calendar time in seconds, as the program does.
    std::optional<std::uint32_t> noise_seed;
};
