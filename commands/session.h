// Everything the program keeps between commands, in one object that each
// front end owns and hands to run_command: the two working records and the
// selector of the one on display, the view's scroll positions and limits,
// the parameter dialog's description and mode, the noise seed, and what made
// the picture in each record (for explaining its pixels).
//
// The parts are named plain structs, so code that needs only one of them
// takes only that one (the renderer `session.view`, a dialog
// `session.dialog`). A fresh
// Session is what the main window's creation gives: no pictures, scrolled
// to 0,0, the dialog's first description.
#pragma once

#include <cstdint>
#include <optional>

#include "commands/param_dialog.h"
#include "image/image_record.h"
#include "ops/filters/custom_kernel.h"
#include "render/view.h"

// How the picture in one working record came about: the command that wrote
// it (IDM_OPEN: opened from a file; 0: nothing yet), its dialog's value and
// the noise seed it ran with. `generation` changes whenever the record's
// pixels do; source_generation is the other record's generation when this
// picture was made from it, so a source written over since is known to be
// gone (the two records take turns: a command reads one and writes the
// other).
struct PictureOrigin {
    std::uint16_t command = 0;
    std::optional<std::int32_t> value;
    std::uint32_t seed = 0;
    CustomKernel kernel{};  // the kernel dialog's answer
    std::uint64_t generation = 0;
    std::uint64_t source_generation = 0;
};

struct Session {
    ImageStore images;   // the two working records and the one on display
    ViewState view;      // zoom, scroll positions and limits, panels shown
    ParamDialog dialog;  // the parameter dialog's description and mode
    CustomKernel kernel; // the kernel dialog's last kernel, offered next time

    // A fixed seed for the noise generator (reproducible runs); none: the
    // calendar time in seconds, as the program does.
    std::optional<std::uint32_t> noise_seed;

    // What made the pictures in image_a and image_b; set by the dispatcher.
    PictureOrigin origin_a, origin_b;
    std::uint64_t last_generation = 0;

    PictureOrigin& origin_of(const ImageRecord& record) { return &record == &images.image_a ? origin_a : origin_b; }
    const PictureOrigin& origin_of(const ImageRecord& record) const
    {
        return &record == &images.image_a ? origin_a : origin_b;
    }
    // The record's pixels now come from `origin` (its generation is set here).
    void set_origin(const ImageRecord& record, PictureOrigin origin)
    {
        origin.generation = ++last_generation;
        origin_of(record) = origin;
    }
};
