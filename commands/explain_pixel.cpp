#include "commands/explain_pixel.h"

#include "commands/command_table.h"
#include "commands/kernel_dialog.h"
#include "text/catalogue.h"

namespace {

// The menu caption as a heading: no mnemonic, no shortcut, no trailing blank.
std::string heading(const char* caption)
{
    std::string text;
    for (const char* c = caption; *c != '\0' && *c != '\t'; ++c)
        if (*c != '&') text += *c;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

const char* value_label(DialogKind kind)
{
    switch (kind) {
    case DialogKind::Threshold: return "Порог";
    case DialogKind::Percent: return "Процент";
    case DialogKind::Aperture: return "Апертура";
    case DialogKind::NoisePoints: return "Точек шума";
    case DialogKind::BlockSize: return "Размер блока";
    case DialogKind::None:
    case DialogKind::Kernel:
    case DialogKind::File:
    case DialogKind::SaveFile: return "";
    }
    return "";
}

Explanation nothing_to_explain(const ImageRecord& shown, int x, int y, const char* why, ExplainStatus status)
{
    Explanation e;
    e.x = x;
    e.y = y;
    e.status = status;
    e.result = explain::bytes_at(shown, x, y);
    e.note = text::tr(why);
    return e;
}

}  // namespace

std::optional<Explanation> explain_pixel(const Session& session, int x, int y)
{
    const ImageRecord* shown = session.images.current_image;
    if (shown == nullptr || x < 0 || y < 0 || x >= shown->width || y >= shown->height) return std::nullopt;
    const PictureOrigin& origin = session.origin_of(*shown);
    const CommandRow* row = origin.command != 0 ? find_command(origin.command) : nullptr;
    const ImageRecord& other = session.images.other_record();

    Explanation e;
    if (row == nullptr || row->run.explain == nullptr) {
        e = nothing_to_explain(*shown, x, y,
                               row != nullptr ? "Изображение открыто из файла: его пиксели ничем не вычислены."
                                              : "Неизвестно, какая команда получила это изображение.",
                               ExplainStatus::NothingToExplain);
    } else {
        const CommandArgs args{origin.value.value_or(0), origin.seed, origin.kernel};
        if (row->run.in_place != nullptr) {
            e = row->run.explain(PixelQuestion{*shown, *shown, x, y}, args);
        } else if (other.pixels && other.width == shown->width && other.height == shown->height &&
                   session.origin_of(other).generation == origin.source_generation) {
            e = row->run.explain(PixelQuestion{other, *shown, x, y}, args);
        } else {
            e = nothing_to_explain(*shown, x, y,
                                   "Изображение, из которого получен этот пиксель, уже заменено другим: "
                                   "объяснить его нельзя.",
                                   ExplainStatus::SourceGone);
        }
    }
    if (row != nullptr) {
        e.command = row->step;
        e.caption = heading(text::tr(row->caption));
        if (origin.value) {
            e.value = origin.value;
            e.value_label = text::tr(value_label(row->dialog.kind));
            e.value_unit = row->dialog.suffix;
        }
        if (row->dialog.kind == DialogKind::Kernel && e.status == ExplainStatus::Computed)
            e.note = text::format("Тот же фильтр в командной строке: %1=%2", {row->step, kernel_word(origin.kernel)});
    }
    return e;
}
