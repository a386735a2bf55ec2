// The command table: one row per menu command, holding everything about it
// (the rows are written in commands/command_rows.inc).
// The menus and accelerators of every front end (the Win32 resources are
// written from it at build time), the command-line tool's steps, its usage
// text and `--list-commands`, and run_command itself all read these rows;
// nothing else lists the commands.
//
// Captions are UTF-8, exactly as the menu shows them: "&" before the
// mnemonic letter, a tab before the shortcut text, trailing blanks kept.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "image/image_record.h"
#include "ops/explain.h"
#include "commands/platform.h"

struct Session;

// The identifiers, named as in the rows (IDM_OPEN = 40008, ...).
enum CommandId : std::uint16_t {
#define ROW(name, id, ...) name = id,
#include "commands/command_rows.inc"
#undef ROW
};

// An id no row has, in the rows' range: a menu message or a call that names
// no command (the dispatcher ignores it; the build refuses a row with it).
inline constexpr std::uint16_t kNoCommandId = 40000;

// Resource identifiers of the Windows program, shared so tests can check them.
inline constexpr int IDR_MAINMENU = 101;
inline constexpr int IDI_APP = 104;
inline constexpr int IDR_ACCEL = 115;
inline constexpr int IDD_PARAM = 116;
inline constexpr int IDC_SLIDER = 1000;
inline constexpr int IDC_VALUE = 1001;
inline constexpr int IDC_MIN_LABEL = 1002;
inline constexpr int IDC_MAX_LABEL = 1003;
// The kernel dialog's template and controls: the 5x5 grid of weights
// (row by row), the preset and size lists, divisor, its auto box, offset,
// the rule and channel lists and the line that says what is wrong.
inline constexpr int IDD_KERNEL = 117;
inline constexpr int IDC_KERNEL_WEIGHT = 1100;  // .. 1124
inline constexpr int IDC_KERNEL_PRESET = 1130;
inline constexpr int IDC_KERNEL_SIZE = 1131;
inline constexpr int IDC_KERNEL_DIVISOR = 1132;
inline constexpr int IDC_KERNEL_AUTO = 1133;
inline constexpr int IDC_KERNEL_OFFSET = 1134;
inline constexpr int IDC_KERNEL_RULE = 1135;
inline constexpr int IDC_KERNEL_CHANNELS = 1136;
inline constexpr int IDC_KERNEL_ERROR = 1137;
inline constexpr int IDC_KERNEL_LABEL = 1138;  // .. 1143: the captions of the preset, size, divisor, offset, rule, channels

// Accelerator modifiers and the keys other than letters and digits, as
// virtual-key codes: the "=" key (the one that also carries "+") and the "-"
// key of the main keyboard.
inline constexpr std::uint8_t MOD_CTRL = 1, MOD_ALT = 2, MOD_SHIFT = 4;
inline constexpr std::uint16_t KEY_F1 = 0x70;
inline constexpr std::uint16_t KEY_F4 = 0x73;
inline constexpr std::uint16_t KEY_EQUALS = 0xBB;
inline constexpr std::uint16_t KEY_MINUS = 0xBD;

// A key combination; key 0 means none. `order` is the entry's place in the
// accelerator resource: the first rows' keys keep the places they always had
// (0, 1, 2, ... as written in their rows); a row written without a place
// (kAfterPlacedKeys) comes after all of them, in table order.
inline constexpr std::uint8_t kAfterPlacedKeys = 255;
struct Accelerator {
    std::uint16_t key = 0;  // 'A'..'Z', '0'..'9', KEY_F1, KEY_F4, KEY_EQUALS or KEY_MINUS
    std::uint8_t modifiers = 0;
    std::uint8_t order = kAfterPlacedKeys;
};

// The key's name as a shortcut's text writes it: "G", "0", "F1", "F4", "=", "-".
std::string key_name(std::uint16_t key);

// Where the item sits: the popup of the main menu (index into
// main_menu_popups(), rows of one popup in table order) and whether a
// separator line comes before it.
struct MenuPlace {
    std::uint8_t popup = 0;
    bool separator_before = false;
};

// How the command asks for its parameter. File and SaveFile: the file
// chooser (a file to read, a file to write), handled by the command itself.
// Kernel: the kernel dialog (commands/kernel_dialog.h), whose answer is a
// whole kernel rather than one value.
enum class DialogKind : std::uint8_t { None, Threshold, Percent, Aperture, NoisePoints, BlockSize, File, SaveFile, Kernel };
constexpr bool asks_for_file(DialogKind kind) { return kind == DialogKind::File || kind == DialogKind::SaveFile; }

// The parameter dialog's set-up. For BlockSize the range and labels come
// from the picture (powers of two up to its smaller side) and scale and
// offset are left as they are; every other kind writes every field.
struct DialogSetup {
    DialogKind kind = DialogKind::None;
    const char* title = "";
    std::int32_t range_min = 0, range_max = 0, tick_step = 1, initial_pos = 0;
    const char* min_label = "";
    const char* max_label = "";
    const char* suffix = "";
    float scale = 1.0f, offset = 0.0f;
    bool zero_does_nothing = false;  // a value of 0 ends the command

    // The value a slider position stands for, as the lists of the commands
    // show it: position * trunc(scale) + trunc(offset).
    std::int32_t value_at(std::int32_t position) const
    {
        return position * static_cast<std::int32_t>(scale) + static_cast<std::int32_t>(offset);
    }
};

// What the command needs before anything happens: nothing, a picture on
// display, a picture on display with a block of 2 x 2 (smaller side 2), or a
// picture on display and one of the same size in the other record.
enum class Guard : std::uint8_t { None, Picture, BlockPicture, SameSizeOther };

// The dialog's value and the noise seed of this run; the kernel dialog's
// kernel.
struct CommandArgs {
    std::int32_t value = 0;
    std::uint32_t seed = 0;
    CustomKernel kernel{};
};

// Exactly one of these runs a command:
// - an image operation, from the picture on display into the other record,
//   which then shows (false: refused for lack of memory, nothing changed);
// - an in-place operation on the picture on display, repainted after;
// - a session action that does everything itself (open, exit, undo, segment).
// An image or in-place command also explains any pixel of the picture it
// made, from the picture it read and the arguments it ran with (for an
// in-place command both records of the question are the one it changed);
// session actions make no picture and have nothing to explain.
using ImageOperation = bool (*)(const ImageRecord& source, ImageRecord& destination, const CommandArgs& args);
using InPlaceOperation = bool (*)(ImageRecord& record, const CommandArgs& args);
using SessionAction = void (*)(Session& session, WindowHandle window);
// A menu item with a check mark shows this state of the session.
using CheckedState = bool (*)(const Session& session);
using ExplainPixel = Explanation (*)(const PixelQuestion& question, const CommandArgs& args);
struct CommandRunner {
    ImageOperation image_operation = nullptr;
    InPlaceOperation in_place = nullptr;
    SessionAction action = nullptr;
    ExplainPixel explain = nullptr;
};

struct CommandRow {
    CommandId id;
    const char* name;     // "IDM_OPEN"
    const char* caption;  // menu caption, UTF-8
    const char* step;     // command-line step name, "" for none
    Accelerator accelerator;
    MenuPlace menu;
    DialogSetup dialog;
    Guard guard = Guard::None;
    CommandRunner run;
    CheckedState checked = nullptr;  // set for an item with a check mark
};

// Every command, in menu order.
std::span<const CommandRow> command_table();

// The captions of the main menu's popups, left to right.
std::span<const char* const> main_menu_popups();

const CommandRow* find_command(std::uint16_t id);

// Whether the row only tells about the program (the help menu: the guide,
// the about box): it changes neither a picture nor the view, and may show a
// message box whatever the pictures are.
bool tells_only(const CommandRow& row);
const CommandRow* find_command_by_step(std::string_view step);

// The shortcut as a caption shows it after its tab: "Ctrl+G", "Alt+F4",
// "Shift+Z"; empty for none.
std::string shortcut_text(const Accelerator& accelerator);

// The rows that have an accelerator, in the accelerator resource's order.
std::vector<const CommandRow*> accelerator_rows();
