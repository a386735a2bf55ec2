// lumaforge-cli: the program's dispatcher driven from the command line, for
// batch work, reproducible results, benchmarks and end-to-end tests. The
// headless platform answers each dialog step's dialog with the step's value.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <iomanip>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_run.h"
#include "commands/command_json.h"
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/explain_pixel.h"
#include "commands/picture_files.h"
#include "image/bmp.h"
#include "shell/headless/headless_platform.h"
#include "lumaforge_version.h"
#include "commands/measure.h"
#include "commands/pixel_status.h"
#include "render/view.h"
#include "text/catalogue.h"

#ifdef LUMAFORGE_QT_CODEC
#include <QString>
#include <QtGlobal>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>
#endif

namespace {
int window_token = 0;
}  // namespace
WindowHandle const kWindow = &window_token;

std::filesystem::path utf8_path(const std::string& text)
{
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

namespace {

// Why a step's value is not one the dialog could give, in the values its
// slider gives (the noise dialog's label says 1 where its first value is 2).
std::string unreachable_value_error(const CliStep& step)
{
    ParamDialog shown;
    shown.param_dialog_spec = headless.shown_spec;
    shown.power_of_two_mode = headless.shown_power_of_two ? 1 : 0;
    const ParamDialogSpec& d = shown.param_dialog_spec;
    const std::int32_t first = param_value(shown, d.range_min), last = param_value(shown, d.range_max);
    std::ostringstream why;
    why << "step '" << step.text << "': the dialog offers ";
    if (headless.shown_power_of_two)
        why << "powers of two from " << first << " to " << last << " for this picture";
    else
        why << first << " to " << last << (d.scale == 2.0f ? (d.offset == 1.0f ? ", odd" : ", even") : "");
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

#ifdef LUMAFORGE_QT_CODEC
// The decoders talk on stderr without saying which file: Qt's image plugins
// through Qt's log ("qt.gui.imageio.jpeg: Corrupt JPEG data: ..."), libpng
// straight onto the descriptor ("libpng error: Read Error", before our own
// refusal). While a file opens, the descriptor points at nothing and Qt's
// plugins' words are kept; afterwards each of them goes out once, under the
// file's name.
std::vector<std::string> decoder_words;

void keep_decoder_words(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (context.category == nullptr || std::string_view(context.category).rfind("qt.gui.imageio", 0) != 0) return;
    const std::string text = message.toStdString();
    if (std::find(decoder_words.begin(), decoder_words.end(), text) == decoder_words.end())
        decoder_words.push_back(text);
}

class QuietDecoders {
public:
    QuietDecoders() : saved_(dup(2))
    {
        decoder_words.clear();
        std::cerr.flush();
        const int nothing = ::open("/dev/null", O_WRONLY);
        if (nothing >= 0) {
            dup2(nothing, 2);
            close(nothing);
        }
    }
    ~QuietDecoders()
    {
        if (saved_ >= 0) {
            dup2(saved_, 2);
            close(saved_);
        }
    }
    QuietDecoders(const QuietDecoders&) = delete;
    QuietDecoders& operator=(const QuietDecoders&) = delete;

private:
    int saved_;
};
#endif

// A refusal on stderr, naming the file it concerns: "lumaforge-cli:
// photo.jpg: Облом при чтении!!!". Of a message in several lines (a failed
// save names the file itself) the last, which says why.
void report_refusal(const std::string& file, const std::string& text)
{
    const auto last_line = text.rfind('\n');
    std::cerr << "lumaforge-cli: " << file << ": " << (last_line == std::string::npos ? text : text.substr(last_line + 1))
              << '\n';
}

}  // namespace

// Opens a file as the open command does; false (the pictures as they were)
// when it was refused.
bool open_through_dispatcher(Session& session, const std::string& path)
{
    headless.messages.clear();
    headless.files.push_back(utf8_path(path));
#ifdef LUMAFORGE_QT_CODEC
    {
        const QuietDecoders quiet;
        run_command(session, kWindow, IDM_OPEN);
    }
    for (const std::string& words : decoder_words) std::cerr << "lumaforge-cli: " << path << ": " << words << '\n';
#else
    run_command(session, kWindow, IDM_OPEN);
#endif
    for (const auto& m : headless.messages) report_refusal(path, m.text);
    return headless.messages.empty();
}

// Runs one step; 0 when it ran, else the exit code. A refused open= step
// keeps the pictures and lets the steps go on; run() exits 1 at the end.
int run_step(Session& session, const CliStep& step, bool& open_refused)
{
    if (step.command == IDM_OPEN) {
        if (!open_through_dispatcher(session, step.path)) open_refused = true;
        return 0;
    }
    headless.messages.clear();
    if (step.command == IDM_SAVE_AS) {
        headless.files.push_back(utf8_path(step.path));
        run_command(session, kWindow, IDM_SAVE_AS);
        for (const auto& m : headless.messages) report_refusal(step.path, m.text);
        return headless.messages.empty() ? 0 : 1;
    }
    headless.dialog_answers.clear();
    headless.kernel_answers.clear();
    if (step.value) headless.dialog_answers.push_back({DialogAnswer::OkAtValue, *step.value});
    if (step.kernel) headless.kernel_answers.push_back(*step.kernel);
    headless.unreachable_value.reset();
    headless.frames.clear();
    const std::optional<std::uint32_t> seed = session.noise_seed;
    if (step.seed) session.noise_seed = *step.seed;
    run_command(session, kWindow, step.command);
    session.noise_seed = seed;
    if (headless.unreachable_value) {
        std::cerr << "lumaforge-cli: " << unreachable_value_error(step) << '\n';
        return 2;
    }
    if (!headless.messages.empty()) {  // refused for lack of memory
        const std::u8string file = session.opened_file.u8string();
        report_refusal(std::string(file.begin(), file.end()) + ": " + step.text, headless.messages.front().text);
        return 1;
    }
    for (const SegmentFrame& f : headless.frames)
        std::cout << "frame " << f.seg_start << ' ' << f.seg_end << ' ' << f.bottom << ' ' << f.top << '\n';
    return 0;
}

namespace {

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

    if (!open_through_dispatcher(session, options.input)) return 1;
    bool open_refused = false;
    for (const CliStep& step : options.steps) {
        const auto started = std::chrono::steady_clock::now();
        const std::clock_t processor = std::clock();
        if (const int code = run_step(session, step, open_refused); code != 0) return code;
        if (options.time) {
            const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - started;
            const double processor_ms = 1000.0 * static_cast<double>(std::clock() - processor) / CLOCKS_PER_SEC;
            std::ostringstream line;
            line << "time " << step.text << ' ' << std::fixed << std::setprecision(3) << took.count() << ' '
                 << processor_ms << '\n';
            std::cerr << line.str();
        }
    }
    session.view.zoom = options.zoom;  // every open shows its picture at 100 %

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

    const ImageRecord& shown = *session.images.current_image;
    const auto inside = [&shown](std::int64_t x, std::int64_t y) {
        return x >= 0 && y >= 0 && x < shown.width && y < shown.height;
    };
    if (options.profile) {
        const auto [x0, y0, x1, y1] = *options.profile;
        if (!inside(x0, y0) || !inside(x1, y1)) {
            std::cerr << "lumaforge-cli: --profile " << x0 << ',' << y0 << ',' << x1 << ',' << y1
                      << ": both ends must lie inside the " << shown.width << 'x' << shown.height << " picture\n";
            return 2;
        }
    }
    if (options.region) {
        const auto [x, y, w, h] = *options.region;
        if (w < 1 || h < 1 || !inside(x, y) || !inside(std::int64_t{x} + w - 1, std::int64_t{y} + h - 1)) {
            std::cerr << "lumaforge-cli: --region " << x << ',' << y << ',' << w << ',' << h
                      << " is not a rectangle of at least one pixel inside the " << shown.width << 'x'
                      << shown.height << " picture\n";
            return 2;
        }
    }
    if (options.compare != 0) {
        if (!other_has_same_size(session.images)) {
            std::cerr << "lumaforge-cli: --compare needs a picture of the same size in the other record (run a "
                         "command first)\n";
            return 2;
        }
        if (options.compare == 1 && (options.compare_value < 0 || options.compare_value > shown.width)) {
            std::cerr << "lumaforge-cli: --compare split=" << options.compare_value << ": X goes from 0 to "
                      << shown.width << '\n';
            return 2;
        }
        session.view.compare = options.compare == 1 ? COMPARE_SPLIT : COMPARE_DIFF;
        (options.compare == 1 ? session.view.compare_split_x : session.view.compare_diff) = options.compare_value;
    }

    std::string error;
    if (!options.output.empty()) {
        SaveFailure failure;
        const std::filesystem::path out = utf8_path(options.output);
        if (!report_write(options.output,
                          save_picture(*session.images.current_image, out, failure, recipe_for_save(session, out)),
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
    if (options.profile) {
        const auto [x0, y0, x1, y1] = *options.profile;
        std::cout << profile_json(measure_profile(session.images, {x0, y0, x1, y1}));
    }
    if (options.region) {
        const auto [x, y, w, h] = *options.region;
        std::cout << region_json(measure_region(session.images, {x, y, w, h}));
    }
    return open_refused ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    text::choose_from_environment();  // LUMAFORGE_LANG: the texts' language
    std::vector<std::string> args(argv + 1, argv + argc);
    CliOptions options;
    std::string error;
    if (!parse_cli_args(args, options, error)) {
        std::cerr << "lumaforge-cli: " << error << " (see lumaforge-cli --help)\n";
        return 2;
    }
    // The texts' language: --lang, else LUMAFORGE_LANG, else Russian.
    if (!options.language.empty())
        text::set_language(options.language);
    else
        text::choose_from_environment();
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
    if (!options.verify.empty()) return verify_picture(options.verify, options.verify_input);
    if (!options.recipe_of.empty()) return print_recipe_of(options.recipe_of);
#ifdef LUMAFORGE_QT_CODEC
    qInstallMessageHandler(keep_decoder_words);
#endif
    Session session;
    const int code = run(session, options);
    session.images.release_all_images();
    return code;
}
