#include "commands/command_json.h"
#include "commands/dispatch.h"
#include "text/catalogue.h"

#include <sstream>

#include "commands/command_table.h"
#include "commands/kernel_dialog.h"
#include "commands/session.h"
#include "ops/explain.h"

namespace {

const char* kind_name(DialogKind kind)
{
    switch (kind) {
    case DialogKind::None: return "none";
    case DialogKind::Threshold: return "threshold";
    case DialogKind::Percent: return "percent";
    case DialogKind::Aperture: return "aperture";
    case DialogKind::NoisePoints: return "noise-points";
    case DialogKind::BlockSize: return "block-size";
    case DialogKind::File: return "file";
    case DialogKind::SaveFile: return "save-file";
    case DialogKind::Kernel: return "kernel";
    }
    return "none";
}

const char* runs(const CommandRow& c)
{
    return c.run.image_operation != nullptr ? "image" : c.run.in_place != nullptr ? "in-place" : "session";
}

const char* guard_name(Guard guard)
{
    switch (guard) {
    case Guard::None: return "none";
    case Guard::Picture: return "picture";
    case Guard::BlockPicture: return "block-picture";
    case Guard::SameSizeOther: return "same-size-other";
    }
    return "none";
}

void write_dialog(std::ostream& out, const DialogSetup& d)
{
    out << "{\"kind\": \"" << kind_name(d.kind) << '"';
    if (d.kind == DialogKind::BlockSize) out << ", \"title\": " << json_string(text::tr(d.title)) << ", \"min\": 2, \"max\": null";
    if (d.kind == DialogKind::Kernel) {
        const Session fresh;
        out << ", \"title\": " << json_string(text::tr(d.title))
            << ", \"sizes\": [3, 5], \"weight\": {\"min\": " << -kKernelMaxWeight << ", \"max\": " << kKernelMaxWeight
            << "}, \"divisor\": {\"min\": 1, \"max\": " << kKernelMaxDivisor << ", \"auto\": true}, \"offset\": {\"min\": "
            << -kKernelMaxOffset << ", \"max\": " << kKernelMaxOffset << "}, \"out_of_range\": [";
        for (int i = 0; i < 3; ++i) out << (i ? ", " : "") << json_string(kOutOfRangeNames[i]);
        out << "], \"channels\": [";
        for (int i = 0; i < 2; ++i) out << (i ? ", " : "") << json_string(kChannelNames[i]);
        out << "], \"initial\": " << json_string(kernel_word(fresh.kernel)) << ", \"presets\": [";
        bool first = true;
        for (const KernelPreset& p : kernel_presets()) {
            out << (first ? "" : ", ") << "{\"name\": " << json_string(p.name) << ", \"caption\": " << json_string(text::tr(p.caption))
                << ", \"kernel\": " << json_string(kernel_word(p.kernel)) << '}';
            first = false;
        }
        out << ']';
    }
    if (d.kind != DialogKind::None && d.kind != DialogKind::File && d.kind != DialogKind::SaveFile &&
        d.kind != DialogKind::BlockSize && d.kind != DialogKind::Kernel) {
        out << ", \"title\": " << json_string(text::tr(d.title)) << ", \"min\": " << d.value_at(d.range_min)
            << ", \"max\": " << d.value_at(d.range_max) << ", \"step\": " << static_cast<std::int32_t>(d.scale)
            << ", \"initial\": " << d.value_at(d.initial_pos) << ", \"tick\": " << d.tick_step
            << ", \"zero_does_nothing\": " << d.zero_does_nothing;
    }
    out << '}';
}

}  // namespace

std::string command_table_json()
{
    const Session fresh;  // check marks as a new window shows them
    std::ostringstream out;
    out << std::boolalpha << "{\"commands\": [";
    bool first = true;
    for (const CommandRow& c : command_table()) {
        out << (first ? "\n" : ",\n") << "  {\"id\": " << c.id << ", \"name\": " << json_string(c.name)
            << ", \"caption\": " << json_string(text::tr(c.caption)) << ", \"step\": " << json_string(c.step)
            << ", \"shortcut\": " << json_string(shortcut_text(c.accelerator)) << ", \"runs\": \"" << runs(c)
            << "\", \"guard\": \"" << guard_name(c.guard) << "\", \"menu\": {\"popup\": " << int(c.menu.popup)
            << ", \"separator_before\": " << c.menu.separator_before << "}, \"checkable\": " << (c.checked != nullptr)
            << ", \"checked\": " << (c.checked != nullptr && c.checked(fresh)) << ", \"dialog\": ";
        write_dialog(out, c.dialog);
        out << '}';
        first = false;
    }
    out << "\n],\n\"menu\": [";
    const auto popups = main_menu_popups();
    for (std::size_t p = 0; p < popups.size(); ++p) {
        out << (p ? ",\n" : "\n") << "  {\"caption\": " << json_string(text::tr(popups[p])) << ", \"items\": [";
        bool first_item = true;
        for (const CommandRow& c : command_table()) {
            if (c.menu.popup != p) continue;
            if (c.menu.separator_before && !first_item) out << ", 0";
            out << (first_item ? "" : ", ") << c.id;
            first_item = false;
        }
        out << "]}";
    }
    // The "Язык / Language" row is a submenu of these items.
    out << "\n],\n\"languages\": {\"menu_id\": " << IDM_LANGUAGE << ", \"items\": [";
    const auto languages = text::languages();
    for (std::size_t i = 0; i < languages.size(); ++i)
        out << (i ? ", " : "") << "{\"id\": " << kFirstLanguageId + static_cast<int>(i)
            << ", \"code\": " << json_string(languages[i].code) << ", \"name\": " << json_string(languages[i].name)
            << ", \"chosen\": " << (languages[i].code == text::language()) << '}';
    out << "]},\n\"accelerators\": [";
    first = true;
    for (const CommandRow* c : accelerator_rows()) {
        const Accelerator& a = c->accelerator;
        out << (first ? "\n" : ",\n") << "  {\"key\": " << json_string(key_name(a.key)) << ", \"ctrl\": " << ((a.modifiers & MOD_CTRL) != 0)
            << ", \"alt\": " << ((a.modifiers & MOD_ALT) != 0) << ", \"shift\": " << ((a.modifiers & MOD_SHIFT) != 0)
            << ", \"id\": " << c->id << '}';
        first = false;
    }
    out << "\n]}\n";
    return out.str();
}
