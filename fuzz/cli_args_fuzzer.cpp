// Fuzzes the command-line parser: the input is argv[1..] separated by NUL
// bytes. Whatever it accepts must be runnable: an input file, known steps,
// open and save steps with a path, client sizes the view can allocate, a
// language the program has.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "commands/command_table.h"
#include "render/view.h"
#include "text/catalogue.h"

namespace {

void require(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "accepted but unusable: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::string> args(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0)
            args.emplace_back();
        else
            args.back().push_back(static_cast<char>(data[i]));
    }
    CliOptions options;
    std::string error;
    if (!parse_cli_args(args, options, error)) {
        require(!error.empty(), "a refusal says why");
        return 0;
    }
    if (!options.language.empty()) {
        bool known = false;
        for (const text::Language& l : text::languages()) known = known || l.code == options.language;
        require(known, "a known language");
    }
    if (options.help || options.list_commands || options.version) return 0;
    if (!options.verify.empty() || !options.recipe_of.empty()) {
        require(options.steps.empty(), "a picture to check takes no steps");
        return 0;
    }
    require(!options.input.empty(), "an input file");
    require(options.client_width >= 1 && options.client_width <= 16384, "client width");
    require(options.client_height >= 1 && options.client_height <= 16384, "client height");
    require(options.zoom >= ZOOM_MIN && options.zoom <= ZOOM_MAX, "a zoom level");
    for (const CliStep& step : options.steps) {
        const CommandRow* info = find_command(step.command);
        require(info != nullptr && info->id != IDM_EXIT, "a known step");
        if (asks_for_file(info->dialog.kind)) require(!step.path.empty(), "open and save have a path");
        if (info->dialog.kind == DialogKind::None || asks_for_file(info->dialog.kind))
            require(!step.value.has_value(), "no value for a step without a dialog");
        if (step.kernel) require(info->dialog.kind == DialogKind::Kernel && kernel_valid(*step.kernel), "a kernel step's kernel is valid");
    }
    return 0;
}
