#include "cli/cli_args.h"

#include <charconv>
#include <cstring>
#include <limits>

#include "commands/command_table.h"
#include "commands/journal.h"
#include "commands/kernel_dialog.h"
#include "render/view.h"
#include "text/catalogue.h"

namespace {

// The steps as the table defines them, one line per menu popup.
std::string step_lines()
{
    std::string text;
    const auto popups = main_menu_popups();
    for (std::size_t p = 0; p < popups.size(); ++p) {
        std::string line = " ";
        for (const CommandRow& c : command_table()) {
            if (c.menu.popup != p || *c.step == '\0') continue;
            std::string word = " ";
            word += c.step;
            const DialogSetup& d = c.dialog;
            switch (d.kind) {
            case DialogKind::None: break;
            case DialogKind::File:
            case DialogKind::SaveFile: word += "=PATH"; break;
            case DialogKind::BlockSize: word += "=N"; break;
            case DialogKind::Kernel: word += "=KERNEL"; break;
            default: {
                word += '=';
                word += std::to_string(d.value_at(d.range_min));
                word += "..";
                word += std::to_string(d.value_at(d.range_max));
                if (d.scale == 2.0f) word += d.offset == 1.0f ? " (odd)" : " (even)";
            }
            }
            if (line.size() + word.size() > 80) {
                text += line;
                text += '\n';
                line.resize(1);  // the leading blank
            }
            line += word;
        }
        if (line.size() > 1) {
            text += line;
            text += '\n';
        }
    }
    return text;
}

// The presets' names, wrapped as the usage text's last line allows.
std::string preset_names()
{
    std::string text = "  ", line;
    for (const KernelPreset& p : kernel_presets()) {
        if (line.size() + std::strlen(p.name) > 76) {
            text += line + ",\n  ";
            line.clear();
        }
        if (!line.empty()) line += ", ";
        line += p.name;
    }
    return text + line;
}

// Every language's code, for --lang and its refusal ("ru, en").
std::string language_codes()
{
    std::string codes;
    for (const text::Language& l : text::languages()) codes += (codes.empty() ? "" : ", ") + l.code;
    return codes;
}

}  // namespace

std::string cli_usage()
{
    return "Usage: lumaforge-cli INPUT [STEP]... [-o OUT] [--stats] [--view OUT.bmp]\n"
           "                     [--client WxH] [--scroll X,Y] [--zoom PERCENT] [--probe X,Y]\n"
           "                     [--seed N] [--explain X,Y] [--explain-text X,Y] [--time]\n"
           "       lumaforge-cli --verify RESULT.png [--input PATH]\n"
           "       lumaforge-cli --recipe-of RESULT.png\n"
           "                     [--profile X0,Y0,X1,Y1] [--region X,Y,W,H]\n"
           "                     [--compare split=X|diff=1|diff=4|diff=16]\n"
           "       lumaforge-cli --list-commands\n"
           "Each form takes --lang CODE.\n"
           "\n"
           "Opens INPUT as the program's open command does (a 24-bit BMP, or a PNG, JPEG,\n"
           "GIF, TIFF or WebP picture, shown upright and without transparency), runs each\n"
           "STEP through the program's command dispatcher (a dialog step answers its dialog\n"
           "with OK at VALUE), then writes what was asked for.\n"
           "\n"
           "Steps (NAME or NAME=VALUE; a dialog step without VALUE takes the dialog's initial value;\n"
           "N is a block size, a power of two from 2 up to the picture's smaller side):\n" +
           step_lines() +
           "KERNEL is SIZE:WEIGHTS/DIVISOR+OFFSET,RULE,CHANNELS in one word, e.g.\n"
           "  kernel=3:0,-1,0,-1,5,-1,0,-1,0/1+0,clamp,luma\n"
           "(SIZE 3 or 5, SIZE x SIZE weights -255..255 top row first, DIVISOR 1..65025 or\n"
           "auto, OFFSET -255..255, RULE clamp, abs or plus128, CHANNELS luma or rgb; from\n"
           "/ on each part may be left out), or a preset:\n" + preset_names() + "\n" +
           "\n"
           "Options:\n"
           "  -o OUT           write the picture on display, in the format its extension\n"
           "                   names: .bmp (or none) a 24-bit BMP, .png lossless, .jpg and\n"
           "                   the other formats the platform writes; a .png carries the\n"
           "                   recipe of the steps (see --verify)\n"
           "  --stats          print its size, histograms, maxima, means and transform state as JSON\n"
           "  --view OUT.bmp   write the client area as the window paints it\n"
           "  --client WxH     client area size for --view (default 1024x768)\n"
           "  --scroll X,Y     scroll positions for --view and segment (default 0,0), in screen\n"
           "                   pixels of the zoomed picture\n"
           "  --zoom PERCENT   zoom of --view: 12.5, 25, 50, 100 (default), 200, 400, 800, 1600\n"
           "                   or 3200; from 1600 each pixel shows its R, G and B values\n"
           "  --probe X,Y      print, after the steps, the status bar's values of pixel X,Y\n"
           "                   (from the top-left) as JSON: R, G, B and luma in the picture on\n"
           "                   display and in the other one; a point outside the picture is a\n"
           "                   usage error\n"
           "  --seed N         seed the noise generator with N instead of the clock (a noise\n"
           "                   step noise=VALUE@SEED carries its own seed)\n"
           "  --time           print on standard error, for each step, a line \"time STEP MS CPU\":\n"
           "                   the milliseconds the command took, from its start to the\n"
           "                   pictures and histograms ready to paint, and the processor\n"
           "                   time of all its threads (elapsed time where the system has none)\n"
           "  --explain X,Y    print how the command that made the picture on display computed\n"
           "                   its pixel X,Y (from the top-left) as JSON: inputs, steps, result\n"
           "  --explain-text X,Y\n"
           "                   print the same explanation as the window's panel shows it\n"
           "  --verify RESULT.png\n"
           "                   re-make RESULT from the recipe it carries (a PNG this program\n"
           "                   saved): find its input (--input PATH, else the recorded name\n"
           "                   beside RESULT, else in the current folder), check its SHA-256,\n"
           "                   run the steps and compare the pixels; prints one JSON verdict:\n"
           "                   identical (exit 0), differs (3), input-changed (4),\n"
           "                   input-missing (5), no-recipe (6), damaged-recipe (7)\n"
           "  --recipe-of RESULT.png\n"
           "                   print the recipe RESULT carries as a command line\n"
           "  --profile X0,Y0,X1,Y1\n"
           "                   print R, G, B and luma of the pixels along the line from\n"
           "                   X0,Y0 to X1,Y1, in the picture on display and in the other one,\n"
           "                   as JSON\n"
           "  --region X,Y,W,H print count, min, max, mean, std, median and histogram of R, G,\n"
           "                   B and luma over the rectangle (top-left X,Y, W by H), in the\n"
           "                   picture on display and in the other one, as JSON\n"
           "  --compare split=X | diff=K\n"
           "                   --view shows the other picture left of column X and the one on\n"
           "                   display from X on, or min(255, K * |shown - other|) per channel\n"
           "                   (K 1, 4 or 16); needs a picture of the same size in the other record\n"
           "  --list-commands  print every command (id, caption, step, shortcut, dialog) as JSON\n"
           "  --lang CODE      the language of the texts for people: the captions of\n"
           "                   --list-commands, --explain-text and the refusals of a file\n"
           "                   (one of " + language_codes() + "; without it LUMAFORGE_LANG chooses,\n"
           "                   else ru); this help and usage errors are always in English\n"
           "  -h, --help       show this help\n"
           "  --version        show the version\n"
           "\n"
           "segment prints one line per frame: frame SEG_START SEG_END BOTTOM TOP\n"
           "(columns and rows counted from the bottom row of the picture).\n"
           "\n"
           "Exit codes: 0 done, 1 input refused, 2 usage error (nothing written).\n";
}

namespace {

template <class T>
bool parse_number(const std::string& text, T& out)
{
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (*first == '+') ++first;
    auto [ptr, ec] = std::from_chars(first, last, out);
    return ec == std::errc() && ptr == last;
}

bool parse_pair(const std::string& text, char separator, std::int32_t& a, std::int32_t& b)
{
    const auto at = text.find(separator);
    if (at == std::string::npos) return false;
    return parse_number(text.substr(0, at), a) && parse_number(text.substr(at + 1), b);
}

// Four whole numbers separated by commas.
bool parse_four(const std::string& text, std::array<std::int32_t, 4>& out)
{
    std::size_t from = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = i < 3 ? text.find(',', from) : text.size();
        if (comma == std::string::npos || !parse_number(text.substr(from, comma - from), out[i])) return false;
        from = comma + 1;
    }
    return true;
}

}  // namespace

bool parse_step(const std::string& text, CliStep& step, std::string& error)
{
    const auto eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const CommandRow* info = find_command_by_step(name);
    if (info == nullptr) {
        error = "unknown step '" + text + "'";
        return false;
    }
    step.command = info->id;
    step.text = text;
    if (eq == std::string::npos) {
        if (asks_for_file(info->dialog.kind)) {
            error = name + " needs a path: " + name + "=PATH";
            return false;
        }
        return true;
    }
    const std::string value = text.substr(eq + 1);
    if (info->dialog.kind == DialogKind::None) {
        error = "step '" + name + "' takes no value";
        return false;
    }
    if (asks_for_file(info->dialog.kind)) {
        if (value.empty()) {
            error = name + " needs a path: " + name + "=PATH";
            return false;
        }
        step.path = value;
        return true;
    }
    if (info->dialog.kind == DialogKind::Kernel) {
        CustomKernel kernel;
        std::string why;
        if (!parse_kernel_word(value, kernel, why)) {
            error = "step '" + text + "': " + why;
            return false;
        }
        step.kernel = kernel;
        return true;
    }
    std::string number = value;
    if (takes_seed(*info) && value.find('@') != std::string::npos) {
        const auto at = value.find('@');
        number = value.substr(0, at);
        std::uint32_t seed = 0;
        if (!parse_number(value.substr(at + 1), seed)) {
            error = "step '" + text + "': the seed after @ must be a number from 0 to 4294967295";
            return false;
        }
        step.seed = seed;
    }
    std::int32_t v = 0;
    if (!parse_number(number, v)) {
        error = "step '" + text + "': '" + number + "' is not a whole number";
        return false;
    }
    step.value = v;
    return true;
}

namespace {

// The options, each with what it does with its value (a flag has none). A
// setter returns false with the message in `error`; `ends` marks the options
// that answer on their own (help, the command table, the version), whatever
// else the line holds after them.
using OptionSetter = bool (*)(CliOptions& options, const std::string& name, const std::string& value,
                              std::string& error);
struct CliOption {
    const char* name;
    const char* other_name;  // another spelling, or nullptr
    bool takes_value;
    bool ends;
    OptionSetter set;
};

bool pair_option(const std::string& name, const std::string& value, std::int32_t& x, std::int32_t& y,
                 std::string& error)
{
    if (parse_pair(value, ',', x, y)) return true;
    error = name + " wants X,Y, not '" + value + "'";
    return false;
}

bool set_language_option(CliOptions& o, const std::string&, const std::string& v, std::string& error)
{
    for (const text::Language& l : text::languages())
        if (v == l.code) {
            o.language = v;
            return true;
        }
    error = "--lang wants one of " + language_codes() + ", not '" + v + "'";
    return false;
}

// After an option that ends the line (--help, --list-commands, --version) the
// rest is not read, but for --lang: "--list-commands --lang en" lists in English.
bool language_after_end(const std::vector<std::string>& args, std::size_t from, CliOptions& options,
                        std::string& error)
{
    for (std::size_t i = from; i < args.size(); ++i) {
        if (args[i] != "--lang") continue;
        if (i + 1 >= args.size()) {
            error = "--lang needs a value";
            return false;
        }
        if (!set_language_option(options, args[i], args[i + 1], error)) return false;
        ++i;
    }
    return true;
}

const CliOption kOptions[] = {
    {"-h", "--help", false, true, [](CliOptions& o, const std::string&, const std::string&, std::string&) {
         o.help = true;
         return true;
     }},
    {"--list-commands", nullptr, false, true, [](CliOptions& o, const std::string&, const std::string&, std::string&) {
         o.list_commands = true;
         return true;
     }},
    {"--version", nullptr, false, true, [](CliOptions& o, const std::string&, const std::string&, std::string&) {
         o.version = true;
         return true;
     }},
    {"-o", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string&) {
         o.output = v;
         return true;
     }},
    {"--stats", nullptr, false, false, [](CliOptions& o, const std::string&, const std::string&, std::string&) {
         o.stats = true;
         return true;
     }},
    {"--time", nullptr, false, false, [](CliOptions& o, const std::string&, const std::string&, std::string&) {
         o.time = true;
         return true;
     }},
    {"--view", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string&) {
         o.view = v;
         return true;
     }},
    {"--client", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         std::int32_t w = 0, h = 0;
         if (!parse_pair(v, 'x', w, h) || w < 1 || h < 1 || w > 16384 || h > 16384) {
             error = "--client wants WxH, each 1 to 16384, not '" + v + "'";
             return false;
         }
         o.client_width = w;
         o.client_height = h;
         return true;
     }},
    {"--scroll", nullptr, true, false,
     [](CliOptions& o, const std::string& name, const std::string& v, std::string& error) {
         return pair_option(name, v, o.scroll_x, o.scroll_y, error);
     }},
    {"--zoom", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         for (int zoom = ZOOM_MIN; zoom <= ZOOM_MAX; ++zoom)
             if (v == zoom_percent(zoom)) {
                 o.zoom = zoom;
                 return true;
             }
         error = "--zoom wants one of 12.5, 25, 50, 100, 200, 400, 800, 1600, 3200, not '" + v + "'";
         return false;
     }},
    {"--probe", nullptr, true, false,
     [](CliOptions& o, const std::string& name, const std::string& v, std::string& error) {
         std::int32_t x = 0, y = 0;
         if (!pair_option(name, v, x, y, error)) return false;
         o.probe.emplace(x, y);
         return true;
     }},
    {"--seed", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         std::uint32_t seed = 0;
         if (!parse_number(v, seed)) {
             error = "--seed wants a number from 0 to 4294967295, not '" + v + "'";
             return false;
         }
         o.seed = seed;
         return true;
     }},
    {"--explain", nullptr, true, false,
     [](CliOptions& o, const std::string& name, const std::string& v, std::string& error) {
         CliPoint p;
         if (!pair_option(name, v, p.x, p.y, error)) return false;
         o.explain = p;
         return true;
     }},
    {"--explain-text", nullptr, true, false,
     [](CliOptions& o, const std::string& name, const std::string& v, std::string& error) {
         CliPoint p;
         if (!pair_option(name, v, p.x, p.y, error)) return false;
         o.explain_text = p;
         return true;
     }},
    {"--verify", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string&) {
         o.verify = v;
         return true;
     }},
    {"--input", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string&) {
         o.verify_input = v;
         return true;
     }},
    {"--recipe-of", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string&) {
         o.recipe_of = v;
         return true;
     }},
    {"--profile", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         std::array<std::int32_t, 4> numbers{};
         if (!parse_four(v, numbers)) {
             error = "--profile wants X0,Y0,X1,Y1, not '" + v + "'";
             return false;
         }
         o.profile = numbers;
         return true;
     }},
    {"--region", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         std::array<std::int32_t, 4> numbers{};
         if (!parse_four(v, numbers)) {
             error = "--region wants X,Y,W,H, not '" + v + "'";
             return false;
         }
         o.region = numbers;
         return true;
     }},
    {"--lang", nullptr, true, false, set_language_option},
    {"--compare", nullptr, true, false, [](CliOptions& o, const std::string&, const std::string& v, std::string& error) {
         std::int32_t n = 0;
         if (v.rfind("split=", 0) == 0 && parse_number(v.substr(6), n)) {
             o.compare = 1;
         } else if (v.rfind("diff=", 0) == 0 && parse_number(v.substr(5), n) && (n == 1 || n == 4 || n == 16)) {
             o.compare = 2;
         } else {
             error = "--compare wants split=X or diff=1, diff=4 or diff=16, not '" + v + "'";
             return false;
         }
         o.compare_value = n;
         return true;
     }},
};

const CliOption* find_option(const std::string& word)
{
    for (const CliOption& o : kOptions)
        if (word == o.name || (o.other_name != nullptr && word == o.other_name)) return &o;
    return nullptr;
}

}  // namespace

bool parse_cli_args(const std::vector<std::string>& args, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (const CliOption* option = find_option(a)) {
            std::string value;
            if (option->takes_value) {
                if (i + 1 >= args.size()) {
                    error = a + " needs a value";
                    return false;
                }
                value = args[++i];
            }
            if (!option->set(options, a, value, error)) return false;
            if (option->ends) return language_after_end(args, i + 1, options, error);
        } else if (a.size() > 1 && a[0] == '-' && a.find('=') == std::string::npos) {
            error = "unknown option '" + a + "'";
            return false;
        } else if (options.input.empty()) {
            options.input = a;
        } else {
            CliStep step;
            if (!parse_step(a, step, error)) return false;
            options.steps.push_back(std::move(step));
        }
    }
    const bool checks = !options.verify.empty() || !options.recipe_of.empty();
    if (checks && (!options.input.empty() || (!options.verify.empty() && !options.recipe_of.empty()))) {
        error = "--verify and --recipe-of take one picture and nothing else";
        return false;
    }
    if (!options.verify_input.empty() && options.verify.empty()) {
        error = "--input goes with --verify";
        return false;
    }
    if (options.input.empty() && !checks) {
        error = "no input file";
        return false;
    }
    if (options.compare != 0 && options.view.empty()) {
        error = "--compare goes with --view";
        return false;
    }
    return true;
}
