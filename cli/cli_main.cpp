// lumaforge-cli: the program's dispatcher driven from the command line, for
// batch work, reproducible results, benchmarks and end-to-end tests.
#include <cstdio>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/param_dialog.h"
#include "image/bmp.h"
#include "image/image_record.h"
#include "lumaforge_version.h"
#include "ops/operations.h"
#include "shell/platform.h"
#include "shell/view.h"

namespace {

std::filesystem::path utf8_path(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// What the platform services answer while one step runs.
const CliStep* active_step = nullptr;
std::filesystem::path file_to_open;
bool message_shown = false;
std::vector<WindowLine> drawn_lines;
int window_token = 0;
WindowHandle const kWindow = &window_token;

}  // namespace

void show_message(const char* caption, const char* text)
{
    message_shown = true;
    std::cerr << caption << ": " << text << '\n';
}

int show_param_dialog()
{
    param_dialog_open();
    std::int32_t position = param_dialog_spec.initial_pos;
    if (active_step != nullptr && active_step->value) {
        if (!param_position_for_value(*active_step->value, position)) {
            const bool blocks = power_of_two_mode != 0;
            param_dialog_cancel();
            std::ostringstream why;
            why << "step '" << active_step->text << "': the dialog offers ";
            if (blocks)
                why << "powers of two from " << param_dialog_spec.min_label << " to " << param_dialog_spec.max_label
                    << " for this picture";
            else
                why << param_dialog_spec.min_label << " to " << param_dialog_spec.max_label
                    << (param_dialog_spec.scale == 2.0f ? (param_dialog_spec.offset == 1.0f ? ", odd" : ", even") : "");
            throw UsageError(why.str());
        }
    }
    param_dialog_slider_moved(position);
    return param_dialog_ok(position);
}

int choose_bmp_file(WindowHandle, const char*, const char*, const char*, std::filesystem::path& file, int, int)
{
    file = file_to_open;
    return 1;
}

void request_repaint(WindowHandle) {}
void destroy_window(WindowHandle) {}
void draw_window_lines(WindowHandle, std::span<const WindowLine> lines)
{
    drawn_lines.insert(drawn_lines.end(), lines.begin(), lines.end());
}
void begin_busy() {}
void end_busy() {}

namespace {

// Frames come as four lines each: lower edge, upper edge, left, right, in
// window coordinates; turn them back into columns and picture rows.
void print_frames(const ImageRecord& record)
{
    for (std::size_t i = 0; i + 3 < drawn_lines.size(); i += 4) {
        const WindowLine& lower = drawn_lines[i];
        const WindowLine& upper = drawn_lines[i + 1];
        const int seg_start = lower.x0 + scroll_x, seg_end = lower.x1 + scroll_x;
        const int bottom = record.height - 1 - (lower.y0 + scroll_y);
        const int top = record.height - 1 - (upper.y0 + scroll_y);
        std::cout << "frame " << seg_start << ' ' << seg_end << ' ' << bottom << ' ' << top << '\n';
    }
    drawn_lines.clear();
}

void print_array(std::ostream& out, const char* name, const std::int32_t (&values)[256])
{
    out << "  \"" << name << "\": [";
    for (int i = 0; i < 256; ++i) out << (i ? "," : "") << values[i];
    out << "],\n";
}

void print_stats(const ImageRecord& r)
{
    std::ostringstream out;
    out << "{\n"
        << "  \"width\": " << r.width << ",\n"
        << "  \"height\": " << r.height << ",\n"
        << "  \"row_padding\": " << int(r.row_padding) << ",\n"
        << "  \"data_size\": " << r.data_size << ",\n";
    print_array(out, "hist_r", r.hist_r);
    print_array(out, "hist_g", r.hist_g);
    print_array(out, "hist_b", r.hist_b);
    print_array(out, "hist_luma", r.hist_luma);
    out << "  \"max_r\": " << r.max_r << ",\n"
        << "  \"max_g\": " << r.max_g << ",\n"
        << "  \"max_b\": " << r.max_b << ",\n"
        << "  \"max_luma\": " << r.max_luma << ",\n"
        << "  \"mean_r\": " << r.mean_r << ",\n"
        << "  \"mean_g\": " << r.mean_g << ",\n"
        << "  \"mean_b\": " << r.mean_b << ",\n"
        << "  \"block_size\": " << r.block_size << ",\n"
        << "  \"transform_state\": " << r.transform_state << ",\n"
        << "  \"current\": \"" << (&r == &image_a ? "a" : "b") << "\"\n"
        << "}\n";
    std::cout << out.str();
}

// Opens a file as the open command does; false when it was refused.
bool open_through_dispatcher(const std::string& path)
{
    file_to_open = utf8_path(path);
    run_command(kWindow, IDM_OPEN);
    return current_image != nullptr;
}

int run(const CliOptions& options)
{
    if (options.seed) set_noise_seed(true, *options.seed);
    scroll_x = options.scroll_x;
    scroll_y = options.scroll_y;

    if (!open_through_dispatcher(options.input)) return 1;
    for (const CliStep& step : options.steps) {
        if (step.command == IDM_OPEN) {
            if (!open_through_dispatcher(step.path)) return 1;
            continue;
        }
        active_step = &step;
        message_shown = false;
        run_command(kWindow, step.command);
        active_step = nullptr;
        if (message_shown) return 1;  // refused for lack of memory
        if (step.command == IDM_SEGMENT) print_frames(*current_image);
    }

    std::string error;
    if (!options.output.empty()) {
        const ImageRecord& r = *current_image;
        if (!write_bmp_file(utf8_path(options.output), r.width, r.height, r.pixels.get(), error)) {
            std::cerr << "lumaforge-cli: cannot write " << options.output << ": " << error << '\n';
            return 1;
        }
    }
    if (!options.view.empty()) {
        Frame frame;
        frame.resize(options.client_width, options.client_height);
        render_client(frame);
        // The frame is top-down; a BMP is bottom-up with the same row padding.
        std::vector<std::uint8_t> block(frame.pixels.size());
        for (int y = 0; y < frame.height; ++y)
            std::copy(frame.row(y), frame.row(y) + frame.stride, block.data() + (frame.height - 1 - y) * frame.stride);
        if (!write_bmp_file(utf8_path(options.view), frame.width, frame.height, block.data(), error)) {
            std::cerr << "lumaforge-cli: cannot write " << options.view << ": " << error << '\n';
            return 1;
        }
    }
    if (options.stats) print_stats(*current_image);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!parse_cli_args(args, options, error)) {
        std::cerr << "lumaforge-cli: " << error << "\n\n" << kCliUsage;
        return 2;
    }
    if (options.help) {
        std::cout << kCliUsage;
        return 0;
    }
    if (options.version) {
        std::cout << "lumaforge-cli " LUMAFORGE_VERSION "\n";
        return 0;
    }
    try {
        const int code = run(options);
        release_all_images();
        return code;
    } catch (const UsageError& e) {
        std::cerr << "lumaforge-cli: " << e.what() << '\n';
        return 2;
    }
}
