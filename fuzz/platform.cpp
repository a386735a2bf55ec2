#include "fuzz/fuzz_platform.h"

#include "commands/param_dialog.h"
#include "shell/platform.h"

std::filesystem::path fuzz_file_to_open;
std::uint32_t fuzz_dialog_choice = 0;
int fuzz_messages_shown = 0;

void show_message(const char*, const char*) { ++fuzz_messages_shown; }

int show_param_dialog()
{
    const ParamDialogView view = param_dialog_open();
    const auto span = static_cast<std::int64_t>(view.range_max) - view.range_min + 1;
    if (span <= 0) return param_dialog_cancel();
    const auto position = static_cast<std::int32_t>(view.range_min + static_cast<std::int64_t>(fuzz_dialog_choice) % span);
    param_dialog_slider_moved(position);
    return param_dialog_ok(position);
}

int choose_bmp_file(WindowHandle, const char*, const char*, const char*, std::filesystem::path& file, int, int)
{
    file = fuzz_file_to_open;
    return 1;
}

void request_repaint(WindowHandle) {}
void destroy_window(WindowHandle) {}
void draw_window_lines(WindowHandle, std::span<const WindowLine>) {}
void begin_busy() {}
void end_busy() {}
