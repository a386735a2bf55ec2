#include "commands/pixel_status.h"

#include "commands/session.h"

#include "image/statistics.h"
#include "text/catalogue.h"

namespace {

PixelValues values_at(const ImageRecord& record, std::int64_t x, std::int64_t y)
{
    const std::uint8_t* p = record.pixel(static_cast<int>(x), static_cast<int>(y));
    return {p[2], p[1], p[0], luma(p[0], p[1], p[2])};
}

std::string values_text(const PixelValues& v)
{
    return text::format("R %1 G %2 B %3 (яркость %4)", {std::to_string(v.r), std::to_string(v.g), std::to_string(v.b),
                                                       std::to_string(v.luma)});
}

}  // namespace

std::optional<PixelProbe> probe_pixel(const ImageStore& store, std::int64_t x, std::int64_t y)
{
    const ImageRecord* shown = store.current_image;
    if (shown == nullptr || !shown->pixels || x < 0 || y < 0 || x >= shown->width || y >= shown->height)
        return std::nullopt;
    PixelProbe probe;
    probe.x = static_cast<int>(x);
    probe.y = static_cast<int>(y);
    probe.shown = values_at(*shown, x, y);
    const ImageRecord& other = store.other_record();
    if (other.pixels && other.width == shown->width && other.height == shown->height)
        probe.other = values_at(other, x, y);
    return probe;
}

std::string status_text(const PixelProbe& probe)
{
    std::string text = "x " + std::to_string(probe.x) + ", y " + std::to_string(probe.y) + "   " +
                       values_text(probe.shown);
    if (probe.other) text += text::format("   другая: %1", {values_text(*probe.other)});
    return text;
}

std::string status_text_at(const ImageStore& store, const ViewState& view, int x, int y)
{
    const auto pixel = pixel_under(store, view, x, y);
    if (!pixel) return {};
    const auto probe = probe_pixel(store, pixel->x, pixel->y);
    return probe ? status_text(*probe) : std::string();
}

std::string status_summary(const Session& session)
{
    std::string text = zoom_percent(session.view.zoom) + " %";
    const ImageRecord* shown = session.images.current_image;
    if (shown == nullptr) return text;
    text += "   " + std::to_string(shown->width) + " × " + std::to_string(shown->height);
    const std::u8string name = session.opened_file.filename().u8string();
    if (!name.empty()) text += "   " + std::string(name.begin(), name.end());
    return text;
}
