// The platform services without a window, shared by the command-line tool,
// the fuzz targets and the tests: what the core shows is recorded, and what
// it asks is answered from a script.
//
// Parameter dialogs take the next answer from dialog_answers (or
// default_answer when none is queued) and run the dialog logic just as a
// window's dialog would. An answer by value that no slider position gives
// cancels the dialog and is remembered in unreachable_value, with the set-up
// the dialog showed, so a caller can say what the dialog would have offered.
// The kernel dialog takes the next answer the same way: Cancel and Close
// cancel it, any other answer is OK with the next of kernel_answers (none
// queued: the kernel it was opened with).
// File choosers take the next path from files (none queued, or nullopt:
// cancelled).
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "commands/param_dialog.h"
#include "ops/segment/segment.h"
#include "commands/platform.h"

struct DialogAnswer {
    enum Kind {
        OkAtPosition,  // number: the slider position
        OkAtValue,     // number: the value the dialog shows
        OkAtInitial,   // the dialog's initial position
        OkAtFolded,    // number folded into the slider's range (fuzzing)
        Cancel,
        Close,
    } kind = OkAtInitial;
    std::int64_t number = 0;
};

struct HeadlessPlatform {
    struct Message {
        std::string caption, text;
    };
    std::vector<Message> messages;
    int repaints = 0;
    int destroys = 0;
    int dialogs_shown = 0;
    int file_dialogs_shown = 0;
    int busy_depth = 0;
    bool status_bar_shown = true;
    bool explain_panel_shown = false;
    std::string guide;                   // what guide_path() answers
    bool documents_open = true;          // what show_document() answers
    std::vector<std::string> documents;  // every document shown, in order
    int language_changes = 0;            // language_changed() calls
    std::string remembered_language;     // the last remember_language()
    bool journal_panel_shown = false;
    std::vector<WindowLine> lines;
    std::vector<SegmentFrame> frames;

    // The latest parameter dialog as it opened, and its set-up then.
    ParamDialogView shown{};
    ParamDialogSpec shown_spec{};
    bool shown_power_of_two = false;
    std::optional<std::int64_t> unreachable_value;

    // The latest kernel dialog: how many opened, and the kernel it showed.
    int kernel_dialogs_shown = 0;
    CustomKernel kernel_shown{};
    std::deque<CustomKernel> kernel_answers;

    std::deque<DialogAnswer> dialog_answers;
    DialogAnswer default_answer;
    std::deque<std::optional<std::filesystem::path>> files;
    // What the latest save chooser proposed: the name and the folder.
    std::filesystem::path proposed_file;
    std::string proposed_directory;
};

// The one instance the services use.
extern HeadlessPlatform headless;
