#include "shell/explain_panel.h"

#include <algorithm>
#include <string_view>

#include "commands/explain_pixel.h"
#include "text/catalogue.h"

namespace {

std::string heading(const Session& session, std::optional<PicturePoint> pixel, bool pinned, bool explained)
{
    if (session.images.current_image == nullptr) return text::tr("Нет изображения.");
    if (!pixel) return text::tr("Наведите курсор на пиксель изображения; щелчок закрепит его.");
    const std::string x = std::to_string(pixel->x), y = std::to_string(pixel->y);
    if (!explained)
        return text::format("Закреплённый пиксель (%1, %2) лежит вне изображения; щёлкните пиксель изображения.", {x, y});
    if (pinned)
        return text::format("Закреплён щелчком: пиксель (%1, %2). Щелчок по другому пикселю закрепит его, щелчок вне "
                            "изображения вернёт слежение за курсором.",
                            {x, y});
    return text::format("Следует за курсором: пиксель (%1, %2). Щелчок закрепит его.", {x, y});
}

// Makes the texts again when what they show has changed.
bool refresh(ExplainPanel& panel, const Session& session)
{
    ExplainPanel::Basis basis;
    basis.made = true;
    basis.pinned = panel.pinned.has_value();
    basis.pixel = panel.pinned ? panel.pinned : panel.hovered;
    basis.language = text::language();
    if (const ImageRecord* shown = session.images.current_image) {
        const ImageRecord& other = session.images.other_record();
        basis.shown = shown;
        basis.shown_pixels = shown->pixels.get();
        basis.width = shown->width;
        basis.height = shown->height;
        basis.shown_generation = session.origin_of(*shown).generation;
        basis.other_pixels = other.pixels.get();
        basis.other_width = other.width;
        basis.other_height = other.height;
        basis.other_generation = session.origin_of(other).generation;
    }
    if (basis == panel.basis) return false;
    panel.basis = basis;

    std::optional<Explanation> e;
    if (basis.pixel) e = explain_pixel(session, basis.pixel->x, basis.pixel->y);
    std::string heading_now = heading(session, basis.pixel, basis.pinned, e.has_value());
    std::string text_now = e ? explanation_text(*e) : std::string();
    const bool changed = heading_now != panel.heading || text_now != panel.text;
    panel.heading = std::move(heading_now);
    panel.text = std::move(text_now);
    return changed;
}

}  // namespace

bool explain_panel_pointer(ExplainPanel& panel, const Session& session, std::optional<ClientPoint> at)
{
    if (at)
        if (const auto p = pixel_under(session.images, session.view, at->x, at->y)) panel.hovered = p;
    return refresh(panel, session);
}

bool explain_panel_click(ExplainPanel& panel, const Session& session, ClientPoint at)
{
    panel.pinned = pixel_under(session.images, session.view, at.x, at.y);
    if (panel.pinned) panel.hovered = panel.pinned;
    return refresh(panel, session);
}

namespace {

std::size_t characters(std::string_view text)
{
    std::size_t n = 0;
    for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

}  // namespace

std::vector<std::string> wrap_explanation(const std::string& text, int columns)
{
    std::vector<std::string> lines;
    const std::size_t width = columns > 0 ? static_cast<std::size_t>(columns) : 1;
    constexpr std::string_view kIndent = "  ";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        if (line.empty() || line.front() == ' ' || characters(line) <= width) {
            lines.emplace_back(line);
            continue;
        }
        // Word by word: a line takes words while they fit.
        std::string current;
        std::size_t used = 0;
        bool fresh = true;  // no word on the line yet
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t blank = std::min(line.find(' ', at), line.size());
            const std::string_view word = line.substr(at, blank - at);
            at = blank + 1;
            const std::size_t length = characters(word);
            if (!fresh && used + 1 + length > width) {
                lines.push_back(std::move(current));
                current = kIndent;
                used = kIndent.size();
                fresh = true;
            }
            if (!fresh) {
                current += ' ';
                ++used;
            }
            current += word;
            used += length;
            fresh = false;
        }
        lines.push_back(std::move(current));
    }
    return lines;
}
