// The parameter dialog's logic, apart from any window.
//
// A ParamDialog (part of the session) describes the one dialog: a command
// fills its param_dialog_spec and calls show_param_dialog (commands/platform.h).
// A front end's dialog calls param_dialog_open when it is created,
// param_dialog_slider_moved whenever the slider moves, and param_dialog_ok or
// param_dialog_cancel (Cancel and the close box) to close. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

struct ParamDialogSpec {
    char title[128];
    char min_label[16];
    char max_label[12];
    char suffix[4];
    std::int32_t range_min;
    std::int32_t range_max;
    std::int32_t tick_step;
    std::int32_t initial_pos;
    std::int32_t result;
    float scale;
    float offset;
};

// The dialog's description and its mode: the linear value of a position, or
// (power_of_two_mode non-zero, set by the block-size commands and cleared by
// the dialog when it closes) 2 to the power of the position.
struct ParamDialog {
    ParamDialogSpec param_dialog_spec;
    std::int32_t power_of_two_mode = 0;

    ParamDialog() { reset_param_dialog_spec(); }

    // The contents the main window's creation gives the description: empty
    // texts, range 0..255, tick step 1, position 128, scale 1, offset 0
    // (result 0).
    void reset_param_dialog_spec();
};

// The value of slider position p: p*trunc(scale) + trunc(offset) in linear
// mode, trunc(pow(2, p)) in power-of-two mode.
std::int32_t param_value(const ParamDialog& dialog, std::int32_t position);

// The value of p as shown: "%d%s" with the suffix.
std::string param_value_text(const ParamDialog& dialog, std::int32_t position);

// What the dialog shows when it opens, its texts in the language in use.
struct ParamDialogView {
    std::string title, min_label, max_label, value_text;
    std::int32_t range_min, range_max, tick_step, position;
};
ParamDialogView param_dialog_open(const ParamDialog& dialog);

// The new text of the value field.
std::string param_dialog_slider_moved(const ParamDialog& dialog, std::int32_t position);

// OK: stores the value of `position` in result, clears power_of_two_mode,
// returns the end code 1.
int param_dialog_ok(ParamDialog& dialog, std::int32_t position);

// Cancel or close box: clears power_of_two_mode, keeps result, returns 2.
int param_dialog_cancel(ParamDialog& dialog);

// The slider position whose value is `value` in the current set-up, or
// false when no position of the range gives it.
bool param_position_for_value(const ParamDialog& dialog, std::int32_t value, std::int32_t& position);

// Copies a UTF-8 text into a fixed field, always NUL-terminated.
template <std::size_t N>
void set_text(char (&field)[N], const char* text)
{
    std::size_t i = 0;
    for (; text[i] != '\0' && i + 1 < N; ++i) field[i] = text[i];
    field[i] = '\0';
}
