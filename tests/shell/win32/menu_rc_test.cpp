// The Windows program's menu and accelerator resources are written out from
// the command table; this test keeps shell/win32/menu.rc equal to the table.
// On a mismatch it leaves the text the table gives in menu.rc.expected in the
// working directory: review it and copy it over shell/win32/menu.rc.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "commands/command_table.h"

namespace {

std::string quoted(const char* caption)
{
    std::string out = "\"";
    for (const char* c = caption; *c != '\0'; ++c) {
        if (*c == '\t')
            out += "\\t";
        else if (*c == '"')
            out += "\"\"";
        else
            out += *c;
    }
    return out + "\"";
}

std::string hex_key(std::uint16_t key)
{
    std::ostringstream out;
    out << "0x" << std::uppercase << std::hex << key;
    return out.str();
}

// The resource script the table gives: what menu.rc must hold.
std::string menu_rc_from_table()
{
    std::ostringstream rc;
    rc << "// Menu and accelerators of the Windows program, written out from the command\n"
          "// table (commands/command_table.cpp); tests/shell/win32/menu_rc_test.cpp keeps\n"
          "// the two equal.\n"
          "#pragma code_page(65001)\n"
          "\n"
       << IDR_MAINMENU << " MENU\nBEGIN\n";
    for (const MenuPopup& popup : main_menu()) {
        rc << "    POPUP " << quoted(popup.caption) << "\n    BEGIN\n";
        for (const MenuItem& item : popup.items) {
            if (item.command == 0) {
                rc << "        MENUITEM SEPARATOR\n";
                continue;
            }
            rc << "        MENUITEM " << quoted(find_command(item.command)->caption) << ", " << item.command << "\n";
        }
        rc << "    END\n";
    }
    rc << "END\n\n" << IDR_ACCEL << " ACCELERATORS\nBEGIN\n";
    for (const Accelerator& a : accelerator_table()) {
        rc << "    " << hex_key(a.key) << ", " << a.command << ", VIRTKEY";
        if (a.modifiers & MOD_CTRL) rc << ", CONTROL";
        if (a.modifiers & MOD_ALT) rc << ", ALT";
        if (a.modifiers & MOD_SHIFT) rc << ", SHIFT";
        rc << ", NOINVERT\n";
    }
    rc << "END\n";
    return rc.str();
}

std::string read_file(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

const std::filesystem::path kMenuRc = std::filesystem::path(LUMAFORGE_SAMPLES).parent_path() / "shell/win32/menu.rc";

TEST(Win32MenuResource, MatchesTheCommandTable)
{
    const std::string expected = menu_rc_from_table();
    const std::string actual = read_file(kMenuRc);
    if (actual != expected) std::ofstream("menu.rc.expected", std::ios::binary) << expected;
    EXPECT_EQ(actual, expected) << kMenuRc << " differs from the command table; see menu.rc.expected";
}

// The table itself, as the resource script depends on it: every popup item
// names a command, and every accelerator is a letter or F4 with one modifier.
TEST(Win32MenuResource, TableHoldsWhatTheScriptCanExpress)
{
    int items = 0;
    for (const MenuPopup& popup : main_menu())
        for (const MenuItem& item : popup.items)
            if (item.command != 0) {
                ASSERT_NE(find_command(item.command), nullptr) << item.command;
                ++items;
            }
    EXPECT_EQ(items, static_cast<int>(command_table().size()));
    for (const Accelerator& a : accelerator_table()) {
        EXPECT_TRUE((a.key >= 'A' && a.key <= 'Z') || a.key == KEY_F4) << a.key;
        EXPECT_TRUE(a.modifiers == MOD_CTRL || a.modifiers == MOD_ALT || a.modifiers == MOD_SHIFT) << a.command;
    }
}

}  // namespace
