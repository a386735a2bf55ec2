// Everything the program keeps between commands, in one object that each
// front end owns and hands to run_command: the two working records and the
// selector of the one on display, the view's scroll positions and limits,
// the parameter dialog's description and mode, the file opened last, the
// noise seed, what made the picture in each record (for explaining its
// pixels), and the journal of the commands since the last open
// (commands/journal.h).
//
// The parts are named plain structs, so code that needs only one of them
// takes only that one (the renderer `session.view`, a dialog
// `session.dialog`). A fresh
// Session is what the main window's creation gives: no pictures, scrolled
// to 0,0, the dialog's first description.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "commands/journal.h"
#include "commands/param_dialog.h"
#include "image/image_record.h"
#include "ops/filters/custom_kernel.h"
#include "render/view.h"
#include "commands/measure.h"

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

// The tool the mouse points with on the view: the pointer (hover and click
// for the explanation panel), a line for a profile, a rectangle for a
// region's statistics. The last line and rectangle stay until another is
// drawn or the picture changes size (`width`, `height`: the picture's size
// when they were drawn).
enum class MeasureTool : std::uint8_t { Pointer, Profile, Region };
struct MeasureState {
    MeasureTool tool = MeasureTool::Pointer;
    std::optional<ProfileLine> line;
    std::optional<PictureRect> rect;
    int width = 0, height = 0;
};

struct Session {
    ImageStore images;   // the two working records and the one on display
    ViewState view;      // zoom, scroll positions and limits, panels shown
    ParamDialog dialog;  // the parameter dialog's description and mode
    Journal journal;     // the steps since the last open; set by the dispatcher

    // The file the pictures were opened from (empty before the first).
    std::filesystem::path opened_file;
    MeasureState measure;  // the pointing tool and what it last measured
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
