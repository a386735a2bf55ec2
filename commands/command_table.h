// The command table: every menu command with its identifier, caption,
// accelerator and command-line step name, and the main menu's six popups.
// Both front ends build their menus and accelerators from this data; the
// command-line tool takes its step names from it.
//
// Captions are UTF-8, exactly as the menu shows them: "&" before the
// mnemonic letter, a tab before the shortcut text, trailing blanks kept.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

enum CommandId : std::uint16_t {
    IDM_EXIT = 40001,
    IDM_GRAYSCALE = 40002,
    IDM_BINARIZE = 40003,
    IDM_NEGATIVE = 40004,
    IDM_BRIGHTNESS = 40005,
    IDM_CONTRAST = 40007,
    IDM_OPEN = 40008,
    IDM_UNDO = 40009,
    IDM_ROBERTS = 40010,
    IDM_SOBEL = 40011,
    IDM_WALLIS = 40013,
    IDM_KIRSCH = 40014,
    IDM_STATISTICAL = 40015,
    IDM_LINEAR = 40016,
    IDM_LAPLACE = 40017,
    IDM_SMOOTH_2D = 40018,
    IDM_SMOOTH_LINEAR = 40019,
    IDM_MEDIAN_LINEAR = 40020,
    IDM_MEDIAN_2D = 40021,
    IDM_NOISE = 40022,
    IDM_SEGMENT = 40023,
    IDM_FFT_LINEAR = 40024,
    IDM_FFT_INVERSE = 40025,
    IDM_FFT_2D = 40026,
    IDM_WALSH_LINEAR = 40027,
    IDM_WALSH_2D = 40028,
    IDM_WALSH_INVERSE = 40029,
};

// Resource identifiers of the Windows program, shared so tests can check them.
inline constexpr int IDR_MAINMENU = 101;
inline constexpr int IDI_APP = 104;
inline constexpr int IDR_ACCEL = 115;
inline constexpr int IDD_PARAM = 116;
inline constexpr int IDC_SLIDER = 1000;
inline constexpr int IDC_VALUE = 1001;
inline constexpr int IDC_MIN_LABEL = 1002;
inline constexpr int IDC_MAX_LABEL = 1003;

// Accelerator modifiers and the one non-letter key in use.
inline constexpr std::uint8_t MOD_CTRL = 1, MOD_ALT = 2, MOD_SHIFT = 4;
inline constexpr std::uint16_t KEY_F4 = 0x73;  // virtual-key code; letters use 'A'..'Z'

// How the parameter dialog is involved, for the command-line tool.
enum class DialogKind : std::uint8_t { None, Threshold, Percent, Aperture, NoisePoints, BlockSize, File };

struct CommandInfo {
    std::uint16_t id;
    const char* name;      // "IDM_OPEN"
    const char* caption;   // menu caption, UTF-8
    const char* step;      // command-line step name, "" for exit
    DialogKind dialog;
};

struct Accelerator {
    std::uint16_t key;       // 'A'..'Z' or KEY_F4
    std::uint8_t modifiers;  // MOD_* combination
    std::uint16_t command;
};

struct MenuItem {
    std::uint16_t command;  // 0: a separator
};

struct MenuPopup {
    const char* caption;
    std::span<const MenuItem> items;
};

std::span<const CommandInfo> command_table();
std::span<const Accelerator> accelerator_table();  // in resource order
std::span<const MenuPopup> main_menu();

const CommandInfo* find_command(std::uint16_t id);
const CommandInfo* find_command_by_step(std::string_view step);
