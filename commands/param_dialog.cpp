#include "commands/param_dialog.h"

#include <cmath>
#include <cstdio>

#include "text/catalogue.h"

void ParamDialog::reset_param_dialog_spec()
{
    ParamDialogSpec& s = param_dialog_spec;
    s.title[0] = s.min_label[0] = s.max_label[0] = s.suffix[0] = '\0';
    s.range_min = 0;
    s.range_max = 255;
    s.tick_step = 1;
    s.initial_pos = 128;
    s.result = 0;
    s.scale = 1.0f;
    s.offset = 0.0f;
}

std::int32_t param_value(const ParamDialog& dialog, std::int32_t position)
{
    if (dialog.power_of_two_mode != 0) return static_cast<std::int32_t>(std::pow(2.0, position));
    const auto scale = static_cast<std::int32_t>(dialog.param_dialog_spec.scale);
    const auto offset = static_cast<std::int32_t>(dialog.param_dialog_spec.offset);
    // 32-bit wrap-around arithmetic, as the value field shows it.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(position) * static_cast<std::uint32_t>(scale) +
                                     static_cast<std::uint32_t>(offset));
}

std::string param_value_text(const ParamDialog& dialog, std::int32_t position)
{
    char text[20];
    std::snprintf(text, sizeof text, "%d%s", static_cast<int>(param_value(dialog, position)),
                  dialog.param_dialog_spec.suffix);
    return text;
}

ParamDialogView param_dialog_open(const ParamDialog& dialog)
{
    const ParamDialogSpec& s = dialog.param_dialog_spec;
    return {text::tr(std::string_view(s.title)), text::tr(std::string_view(s.min_label)),
            text::tr(std::string_view(s.max_label)), param_value_text(dialog, s.initial_pos),
            s.range_min, s.range_max, s.tick_step, s.initial_pos};
}

std::string param_dialog_slider_moved(const ParamDialog& dialog, std::int32_t position)
{
    return param_value_text(dialog, position);
}

int param_dialog_ok(ParamDialog& dialog, std::int32_t position)
{
    dialog.param_dialog_spec.result = param_value(dialog, position);
    dialog.power_of_two_mode = 0;
    return 1;
}

int param_dialog_cancel(ParamDialog& dialog)
{
    dialog.power_of_two_mode = 0;
    return 2;
}

bool param_position_for_value(const ParamDialog& dialog, std::int32_t value, std::int32_t& position)
{
    for (std::int32_t p = dialog.param_dialog_spec.range_min; p <= dialog.param_dialog_spec.range_max; ++p) {
        if (param_value(dialog, p) == value) {
            position = p;
            return true;
        }
    }
    return false;
}
