#include "tests/support/fake_platform.h"

#include "commands/param_dialog.h"
#include "image/image_record.h"
#include "shell/view.h"

FakePlatform fake;

void show_message(const char* caption, const char* text) { fake.messages.push_back({caption, text}); }

int show_param_dialog()
{
    ++fake.dialogs_shown;
    const ParamDialogView v = param_dialog_open();
    fake.shown_title = v.title;
    fake.shown_min = v.min_label;
    fake.shown_max = v.max_label;
    fake.shown_value = v.value_text;
    fake.shown_range_min = v.range_min;
    fake.shown_range_max = v.range_max;
    fake.shown_tick = v.tick_step;
    fake.shown_position = v.position;
    DialogAnswer answer{DialogAnswer::OkAtPosition, v.position};
    if (!fake.dialog_answers.empty()) {
        answer = fake.dialog_answers.front();
        fake.dialog_answers.pop_front();
    }
    switch (answer.kind) {
    case DialogAnswer::OkAtPosition: return param_dialog_ok(answer.number);
    case DialogAnswer::OkAtValue: {
        std::int32_t position = 0;
        if (!param_position_for_value(answer.number, position)) return param_dialog_cancel();
        return param_dialog_ok(position);
    }
    case DialogAnswer::Cancel:
    case DialogAnswer::Close: return param_dialog_cancel();
    }
    return 2;
}

int choose_bmp_file(WindowHandle, const char*, const char*, const char*, std::filesystem::path& file, int, int)
{
    ++fake.file_dialogs_shown;
    if (fake.files.empty()) return 0;
    auto next = fake.files.front();
    fake.files.pop_front();
    if (!next) return 0;
    file = *next;
    return 1;
}

void request_repaint(WindowHandle) { ++fake.repaints; }
void destroy_window(WindowHandle) { ++fake.destroys; }
void draw_window_lines(WindowHandle, std::span<const WindowLine> lines)
{
    fake.lines.insert(fake.lines.end(), lines.begin(), lines.end());
}
void begin_busy() { ++fake.busy_depth; }
void end_busy() { --fake.busy_depth; }

void reset_everything()
{
    release_all_images();
    image_a = ImageRecord{};
    image_b = ImageRecord{};
    current_image = nullptr;
    reset_param_dialog_spec();
    power_of_two_mode = 0;
    scroll_x = scroll_y = scroll_max_x = scroll_max_y = 0;
    fake.reset();
}
