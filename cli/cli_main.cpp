// lumaforge-cli: the program's dispatcher driven from the command line, for
// batch work, reproducible results, benchmarks and end-to-end tests. The
// headless platform answers each dialog step's dialog with the step's value.
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "commands/command_json.h"
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/explain_pixel.h"
#include "commands/picture_files.h"
#include "image/bmp.h"
#include "shell/headless/headless_platform.h"
#include "lumaforge_version.h"
#include "shell/pixel_status.h"
#include "render/view.h"

namespace {

int window_token = 0;
WindowHandle const kWindow = &window_token;

std::filesystem::path utf8_path(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Why a step's value is not one the dialog could give, in the dialog's terms.
std::string unreachable_value_error(const CliStep& step)
{
    const ParamDialogSpec& d = headless.shown_spec;
    std::ostringstream why;
    why << "step '" << step.text << "': the dialog offers ";
    if (headless.shown_power_of_two)
        why << "powers of two from " << d.min_label << " to " << d.max_label << " for this picture";
    else
        why << d.min_label << " to " << d.max_label
            << (d.scale == 2.0f ? (d.offset == 1.0f ? ", odd" : ", even") : "");
    return why.str();
}

void print_array(std::ostream& out, const char* name, const std::int32_t (&values)[256])
{
    out << "  \"" << name << "\": [";
    for (int i = 0; i < 256; ++i) out << (i ? "," : "") << values[i];
    out << "],\n";
}

void print_stats(const Session& session)
{
    const ImageRecord& r = *session.images.current_image;
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
        << "  \"current\": \"" << (&r == &session.images.image_a ? "a" : "b") << "\"\n"
        << "}\n";
    std::cout << out.str();
}

// Opens a file as the open command does; false when it was refused.
bool open_through_dispatcher(Session& session, const std::string& path)
{
    headless.files.push_back(utf8_path(path));
    run_command(session, kWindow, IDM_OPEN);
    return session.images.current_image != nullptr;
}

// Runs one step; 0 when it ran, else the exit code.
int run_step(Session& session, const CliStep& step)
{
    if (step.command == IDM_OPEN) return open_through_dispatcher(session, step.path) ? 0 : 1;
    headless.messages.clear();
    if (step.command == IDM_SAVE_AS) {
        headless.files.push_back(utf8_path(step.path));
        run_command(session, kWindow, IDM_SAVE_AS);
        return headless.messages.empty() ? 0 : 1;  // the failure is on stderr
    }
    headless.dialog_answers.clear();
    headless.kernel_answers.clear();
    if (step.value) headless.dialog_answers.push_back({DialogAnswer::OkAtValue, *step.value});
    if (step.kernel) headless.kernel_answers.push_back(*step.kernel);
    headless.unreachable_value.reset();
    headless.frames.clear();
    run_command(session, kWindow, step.command);
    if (headless.unreachable_value) {
        std::cerr << "lumaforge-cli: " << unreachable_value_error(step) << '\n';
        return 2;
    }
    if (!headless.messages.empty()) return 1;  // refused for lack of memory
    for (const SegmentFrame& f : headless.frames)
        std::cout << "frame " << f.seg_start << ' ' << f.seg_end << ' ' << f.bottom << ' ' << f.top << '\n';
    return 0;
}

// Says why a write failed; the file at `path` is then as it was.
bool report_write(const std::string& path, bool written, const std::string& error)
{
    if (!written) std::cerr << "lumaforge-cli: cannot write " << path << ": " << error << '\n';
    return written;
}

void print_values(std::ostream& out, const PixelValues& v)
{
    out << "{\"r\":" << v.r << ",\"g\":" << v.g << ",\"b\":" << v.b << ",\"luma\":" << v.luma << '}';
}

void print_probe(const PixelProbe& probe)
{
    std::ostringstream out;
    out << "{\"x\":" << probe.x << ",\"y\":" << probe.y << ",\"shown\":";
    print_values(out, probe.shown);
    out << ",\"other\":";
    if (probe.other)
        print_values(out, *probe.other);
    else
        out << "null";
    out << "}\n";
    std::cout << out.str();
}

int run(Session& session, const CliOptions& options)
{
    if (options.seed) session.noise_seed = *options.seed;
    session.view.scroll_x = options.scroll_x;
    session.view.scroll_y = options.scroll_y;
    session.view.zoom = options.zoom;

    if (!open_through_dispatcher(session, options.input)) return 1;
    for (const CliStep& step : options.steps)
        if (const int code = run_step(session, step); code != 0) return code;

    // Checked before anything is written: a point off the picture is a usage error.
    std::optional<PixelProbe> probe;
    if (options.probe) {
        const auto [x, y] = *options.probe;
        probe = probe_pixel(session.images, x, y);
        if (!probe) {
            const ImageRecord& r = *session.images.current_image;
            std::cerr << "lumaforge-cli: --probe " << x << ',' << y << " lies outside the " << r.width << 'x'
                      << r.height << " picture (X 0 to width - 1, Y 0 to height - 1 from the top-left)\n";
            return 2;
        }
    }
    // Every pixel asked about must exist before anything is written.
    for (const auto& point : {options.explain, options.explain_text}) {
        if (!point) continue;
        const ImageRecord& r = *session.images.current_image;
        if (point->x < 0 || point->y < 0 || point->x >= r.width || point->y >= r.height) {
            std::cerr << "lumaforge-cli: pixel " << point->x << ',' << point->y << " lies outside the " << r.width
                      << 'x' << r.height << " picture\n";
            return 2;
        }
    }

    std::string error;
    if (!options.output.empty()) {
        SaveFailure failure;
        if (!report_write(options.output, save_picture(*session.images.current_image, utf8_path(options.output), failure),
                          failure.detail))
            return 1;
    }
    if (!options.view.empty()) {
        Frame frame;
        frame.resize(options.client_width, options.client_height);
        settle_view(session.view, session.images, frame.width, frame.height);
        render_client(frame, session.images, session.view);
        if (!report_write(options.view,
                          write_bmp_file_top_down(utf8_path(options.view), frame.width, frame.height,
                                                  frame.pixels.data(), frame.stride, error),
                          error))
            return 1;
    }
    if (options.stats) print_stats(session);
    if (probe) print_probe(*probe);
    if (options.explain) std::cout << explanation_json(*explain_pixel(session, options.explain->x, options.explain->y));
    if (options.explain_text)
        std::cout << explanation_text(*explain_pixel(session, options.explain_text->x, options.explain_text->y));
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!parse_cli_args(args, options, error)) {
        std::cerr << "lumaforge-cli: " << error << "\n\n" << cli_usage();
        return 2;
    }
    if (options.help) {
        std::cout << cli_usage();
        return 0;
    }
    if (options.list_commands) {
        std::cout << command_table_json();
        return 0;
    }
    if (options.version) {
        std::cout << "lumaforge-cli " LUMAFORGE_VERSION "\n";
        return 0;
    }
    headless.echo_messages = &std::cerr;
    Session session;
    const int code = run(session, options);
    session.images.release_all_images();
    return code;
}
