#include "commands/command_table.h"

#include <algorithm>
#include <type_traits>
#include <vector>

#include "commands/dispatch.h"
#include "commands/view_commands.h"
#include "ops/operations.h"
#include "ops/transforms/transform_block.h"

namespace {

// Popups of the main menu.
enum Popup : std::uint8_t { FILE_MENU, LAB1, LAB2, LAB3, RECOGNITION, EDIT, VIEW, HELP };
constexpr const char* kPopups[] = {"&Файл", "Лаба &1 ", "Лаба &2", "Лаба&3", "Рас&познавание", "&Редактирование",
                                   "Вид", "&Справка"};

// A shortcut: ctrl('H') for a new row; the first rows also name their
// place in the accelerator resource, ctrl('G', 3).
constexpr Accelerator ctrl(std::uint16_t key, std::uint8_t order = kAfterPlacedKeys) { return {key, MOD_CTRL, order}; }
constexpr MenuPlace in(Popup popup) { return {popup, false}; }
constexpr MenuPlace after_separator(Popup popup) { return {popup, true}; }

constexpr DialogSetup kThreshold = {DialogKind::Threshold, "Порог для бинаризации", 0, 255, 16, 128, "0", "255", "",
                                    1.0f, 0.0f, false};
constexpr DialogSetup percent(const char* title)
{
    return {DialogKind::Percent, title, -100, 100, 10, 0, "-100%", "100%", "%", 1.0f, 0.0f, true};
}
constexpr DialogSetup aperture(const char* title)
{
    return {DialogKind::Aperture, title, 1, 10, 1, 1, "3", "21", "", 2.0f, 1.0f, true};
}
constexpr DialogSetup kNoise = {DialogKind::NoisePoints, "Уровень шума (количество точек).", 1, 32767, 1000, 7000, "1",
                                "65534", "", 2.0f, 0.0f, true};
constexpr DialogSetup kBlockSize = {DialogKind::BlockSize, "Размер блока для преобразования."};
constexpr DialogSetup kKernel = {DialogKind::Kernel, "Свой фильтр"};
constexpr DialogSetup kFile = {DialogKind::File};
constexpr DialogSetup kSaveFile = {DialogKind::SaveFile};

// The operations, and their explanations, with the arguments the dialog's
// value gives them.
using Args = const CommandArgs&;
using Source = const ImageRecord&;
using Destination = ImageRecord&;
using Question = const PixelQuestion&;
template <auto Function>
constexpr auto plain = [] {
    if constexpr (std::is_invocable_v<decltype(Function), Source, Destination>)
        return static_cast<ImageOperation>([](Source s, Destination d, Args) { return Function(s, d); });
    else
        return static_cast<ExplainPixel>([](Question q, Args) { return Function(q); });
}();
template <auto Function>
constexpr auto with_aperture = [] {
    if constexpr (std::is_invocable_v<decltype(Function), Source, Destination, std::uint8_t>)
        return static_cast<ImageOperation>(
            [](Source s, Destination d, Args a) { return Function(s, d, static_cast<std::uint8_t>(a.value)); });
    else
        return static_cast<ExplainPixel>(
            [](Question q, Args a) { return Function(q, static_cast<std::uint8_t>(a.value)); });
}();
template <bool (*Transform)(ImageRecord&, int, int, int), int passes>
constexpr InPlaceOperation forward = [](ImageRecord& r, Args a) { return Transform(r, passes, +1, a.value); };

constexpr ImageOperation brightness_by = [](Source s, Destination d, Args a) {
    return adjust_brightness(s, d, brightness_offset(a.value));
};
constexpr ImageOperation contrast_by = [](Source s, Destination d, Args a) {
    return adjust_contrast(s, d, contrast_factor(a.value));
};
constexpr ImageOperation noise_of = [](Source s, Destination d, Args a) { return add_noise(s, d, a.value, a.seed); };
constexpr ExplainPixel explain_brightness_by = [](Question q, Args a) {
    return explain_brightness(q, brightness_offset(a.value));
};
constexpr ExplainPixel explain_contrast_by = [](Question q, Args a) {
    return explain_contrast(q, contrast_factor(a.value));
};
constexpr ImageOperation kernel_of = [](Source s, Destination d, Args a) { return custom_kernel_filter(s, d, a.kernel); };
constexpr ExplainPixel explain_kernel_of = [](Question q, Args a) { return explain_custom_kernel(q, a.kernel); };
constexpr ExplainPixel explain_noise_of = [](Question q, Args a) { return explain_noise(q, a.value, a.seed); };
// The inverses read their pass count and block size from the record.
constexpr InPlaceOperation fft_inverse = [](ImageRecord& r, Args) { return fft_block(r, 0, -1, 0); };
constexpr InPlaceOperation walsh_inverse = [](ImageRecord& r, Args) { return walsh_block(r, 0, -1, 0); };

constexpr Accelerator no_key{};
constexpr Accelerator shift(char key, std::uint8_t order = kAfterPlacedKeys)
{
    return {static_cast<std::uint16_t>(key), MOD_SHIFT, order};
}
constexpr Accelerator alt(std::uint16_t key, std::uint8_t order = kAfterPlacedKeys) { return {key, MOD_ALT, order}; }
constexpr Accelerator key_alone(std::uint16_t key, std::uint8_t order = kAfterPlacedKeys) { return {key, 0, order}; }
constexpr Accelerator ctrl_shift(char key, std::uint8_t order = kAfterPlacedKeys)
{
    return {static_cast<std::uint16_t>(key), MOD_CTRL | MOD_SHIFT, order};
}
constexpr DialogSetup no_dialog{};
constexpr Guard needs_nothing = Guard::None, needs_picture = Guard::Picture, needs_block = Guard::BlockPicture,
                needs_same_size_other = Guard::SameSizeOther;
constexpr CommandRunner image(ImageOperation operation, ExplainPixel explain)
{
    return {operation, nullptr, nullptr, explain};
}
constexpr CommandRunner in_place(InPlaceOperation operation, ExplainPixel explain)
{
    return {nullptr, operation, nullptr, explain};
}
constexpr CommandRunner session(SessionAction action) { return {nullptr, nullptr, action, nullptr}; }
constexpr CheckedState checked_when(CheckedState state) { return state; }

constexpr CommandRow kCommands[] = {
#define ROW(name, id, ...) {name, #name, __VA_ARGS__},
#include "commands/command_rows.inc"
#undef ROW
};

// What the build checks of the rows: every id is its own and none is
// kNoCommandId; the placed keys' places are 0, 1, 2, ... without a gap, so
// a new row's key (written without one) simply follows them.
constexpr bool ids_are_distinct()
{
    for (std::size_t i = 0; i < std::size(kCommands); ++i) {
        if (kCommands[i].id == kNoCommandId) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (kCommands[i].id == kCommands[j].id) return false;
    }
    return true;
}
static_assert(ids_are_distinct(), "two rows of command_rows.inc share an id (or one uses kNoCommandId)");

constexpr bool placed_keys_run_from_zero()
{
    int placed = 0, highest = -1;
    for (const CommandRow& c : kCommands) {
        if (c.accelerator.key == 0 || c.accelerator.order == kAfterPlacedKeys) continue;
        ++placed;
        highest = std::max<int>(highest, c.accelerator.order);
        for (const CommandRow& d : kCommands)
            if (&d != &c && d.accelerator.key != 0 && d.accelerator.order == c.accelerator.order) return false;
    }
    return highest == placed - 1;
}
static_assert(placed_keys_run_from_zero(), "the accelerator places written in command_rows.inc repeat or leave a gap");

}  // namespace

std::span<const CommandRow> command_table() { return kCommands; }
std::span<const char* const> main_menu_popups() { return kPopups; }

const CommandRow* find_command(std::uint16_t id)
{
    for (const CommandRow& c : kCommands)
        if (c.id == id) return &c;
    return nullptr;
}

bool tells_only(const CommandRow& row) { return row.menu.popup == HELP; }

const CommandRow* find_command_by_step(std::string_view step)
{
    if (step.empty()) return nullptr;
    for (const CommandRow& c : kCommands)
        if (step == c.step) return &c;
    return nullptr;
}

std::string shortcut_text(const Accelerator& a)
{
    if (a.key == 0) return {};
    std::string text;
    if (a.modifiers & MOD_CTRL) text += "Ctrl+";
    if (a.modifiers & MOD_ALT) text += "Alt+";
    if (a.modifiers & MOD_SHIFT) text += "Shift+";
    return text + key_name(a.key);
}

std::string key_name(std::uint16_t key)
{
    switch (key) {
    case KEY_F1: return "F1";
    case KEY_F4: return "F4";
    case KEY_EQUALS: return "=";
    case KEY_MINUS: return "-";
    default: return std::string(1, static_cast<char>(key));
    }
}

std::vector<const CommandRow*> accelerator_rows()
{
    std::vector<const CommandRow*> rows;
    for (const CommandRow& c : kCommands)
        if (c.accelerator.key != 0) rows.push_back(&c);
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CommandRow* a, const CommandRow* b) { return a->accelerator.order < b->accelerator.order; });
    return rows;
}
