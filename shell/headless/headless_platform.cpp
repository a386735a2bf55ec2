#include "shell/headless/headless_platform.h"

HeadlessPlatform headless;

namespace {

// The slider position an answer picks, or nothing when the dialog is to be
// cancelled.
std::optional<std::int32_t> position_for(const DialogAnswer& answer, ParamDialog& dialog, const ParamDialogView& view)
{
    switch (answer.kind) {
    case DialogAnswer::OkAtPosition: return static_cast<std::int32_t>(answer.number);
    case DialogAnswer::OkAtInitial: return view.position;
    case DialogAnswer::OkAtValue: {
        std::int32_t position = 0;
        if (answer.number < INT32_MIN || answer.number > INT32_MAX ||
            !param_position_for_value(dialog, static_cast<std::int32_t>(answer.number), position)) {
            headless.unreachable_value = answer.number;
            return std::nullopt;
        }
        return position;
    }
    case DialogAnswer::OkAtFolded: {
        const std::int64_t span = std::int64_t{view.range_max} - view.range_min + 1;
        if (span <= 0) return std::nullopt;
        const std::int64_t folded = ((answer.number % span) + span) % span;
        return static_cast<std::int32_t>(view.range_min + folded);
    }
    case DialogAnswer::Cancel:
    case DialogAnswer::Close: return std::nullopt;
    }
    return std::nullopt;
}

}  // namespace

void show_message(const char* caption, const char* text)
{
    headless.messages.push_back({caption, text});
}

int show_param_dialog(WindowHandle, ParamDialog& dialog)
{
    HeadlessPlatform& h = headless;
    ++h.dialogs_shown;
    h.shown = param_dialog_open(dialog);
    h.shown_spec = dialog.param_dialog_spec;
    h.shown_power_of_two = dialog.power_of_two_mode != 0;
    DialogAnswer answer = h.default_answer;
    if (!h.dialog_answers.empty()) {
        answer = h.dialog_answers.front();
        h.dialog_answers.pop_front();
    }
    const std::optional<std::int32_t> position = position_for(answer, dialog, h.shown);
    if (!position) return param_dialog_cancel(dialog);
    param_dialog_slider_moved(dialog, *position);
    return param_dialog_ok(dialog, *position);
}

int show_kernel_dialog(WindowHandle, CustomKernel& kernel)
{
    HeadlessPlatform& h = headless;
    ++h.kernel_dialogs_shown;
    h.kernel_shown = kernel;
    DialogAnswer answer = h.default_answer;
    if (!h.dialog_answers.empty()) {
        answer = h.dialog_answers.front();
        h.dialog_answers.pop_front();
    }
    if (answer.kind == DialogAnswer::Cancel || answer.kind == DialogAnswer::Close) return 2;
    if (!h.kernel_answers.empty()) {
        kernel = h.kernel_answers.front();
        h.kernel_answers.pop_front();
    }
    return 1;
}

bool choose_picture_file(WindowHandle, const char*, const char* initial_directory, const char*,
                         std::filesystem::path& file, int, bool save)
{
    ++headless.file_dialogs_shown;
    if (save) {
        headless.proposed_file = file;
        headless.proposed_directory = initial_directory != nullptr ? initial_directory : "";
    }
    if (headless.files.empty()) return false;
    const auto next = headless.files.front();
    headless.files.pop_front();
    if (!next) return false;
    file = *next;
    return true;
}

void request_repaint(WindowHandle) { ++headless.repaints; }
void destroy_window(WindowHandle) { ++headless.destroys; }

void draw_segment_frames(WindowHandle, std::span<const SegmentFrame> frames, std::span<const WindowLine> lines)
{
    headless.frames.insert(headless.frames.end(), frames.begin(), frames.end());
    headless.lines.insert(headless.lines.end(), lines.begin(), lines.end());
}

void show_status_bar(WindowHandle, bool shown) { headless.status_bar_shown = shown; }
void show_explain_panel(WindowHandle, bool shown) { headless.explain_panel_shown = shown; }
void show_journal_panel(WindowHandle, bool shown) { headless.journal_panel_shown = shown; }

std::string guide_path() { return headless.guide; }

bool show_document(WindowHandle, const std::string& path)
{
    headless.documents.push_back(path);
    return headless.documents_open;
}

void language_changed(WindowHandle) { ++headless.language_changes; }
void remember_language(const std::string& code) { headless.remembered_language = code; }

void begin_busy() { ++headless.busy_depth; }
void end_busy() { --headless.busy_depth; }
