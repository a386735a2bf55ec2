#include "shell/measure_tool.h"

#include <algorithm>
#include <cstdlib>

#include "text/catalogue.h"

namespace {

constexpr int kDividerReach = 3;  // screen pixels either side of the divider

std::int64_t divider_screen_x(const ViewState& view, int column)
{
    const int zoom = std::clamp<int>(view.zoom, ZOOM_MIN, ZOOM_MAX);
    const std::int64_t s = zoom >= 0 ? std::int64_t{column} << zoom : std::int64_t{column} >> -zoom;
    return s - view.scroll_x;
}

}  // namespace

DragChange measure_press(Session& session, MeasureDrag& drag, int x, int y)
{
    drag.kind = MeasureDrag::NONE;
    const std::optional<PicturePoint> p = clamped_pixel_under(session.images, session.view, x, y);
    if (!p) return DragChange::None;
    MeasureState& m = session.measure;
    if (m.tool == MeasureTool::Pointer) {
        const ViewState& view = session.view;
        if (view.compare != COMPARE_SPLIT || !compare_active(session.images, view) ||
            std::llabs(divider_screen_x(view, view.compare_split_x) - x) > kDividerReach || y < 0 ||
            std::int64_t{y} + view.scroll_y >= zoomed_size(session.images.current_image->height, view.zoom))
            return DragChange::None;
        drag.kind = MeasureDrag::DIVIDER;
        drag.divider_before = view.compare_split_x;
        return DragChange::None;
    }
    drag.anchor = *p;
    drag.line_before = m.line;
    drag.rect_before = m.rect;
    m.width = session.images.current_image->width;
    m.height = session.images.current_image->height;
    if (m.tool == MeasureTool::Profile) {
        drag.kind = MeasureDrag::LINE;
        m.line = ProfileLine{p->x, p->y, p->x, p->y};
    } else {
        drag.kind = MeasureDrag::RECT;
        m.rect = rect_between(*p, *p);
    }
    return DragChange::Overlay;
}

DragChange measure_move(Session& session, MeasureDrag& drag, int x, int y)
{
    if (drag.kind == MeasureDrag::NONE) return DragChange::None;
    const std::optional<PicturePoint> p = clamped_pixel_under(session.images, session.view, x, y);
    if (!p) return DragChange::None;
    MeasureState& m = session.measure;
    if (drag.kind == MeasureDrag::DIVIDER) {
        // The divider goes to the column boundary nearest the pointer.
        const int zoom = std::clamp<int>(session.view.zoom, ZOOM_MIN, ZOOM_MAX);
        const std::int64_t sx = std::int64_t{x} + session.view.scroll_x;
        const std::int64_t half = zoom > 0 ? (std::int64_t{1} << zoom) / 2 : 0;
        const std::int64_t column = zoom >= 0 ? (sx + half) >> zoom : sx << -zoom;
        const int split = static_cast<int>(std::clamp<std::int64_t>(column, 0, session.images.current_image->width));
        if (split == session.view.compare_split_x) return DragChange::None;
        session.view.compare_split_x = split;
        return DragChange::View;
    }
    if (drag.kind == MeasureDrag::LINE) {
        const ProfileLine line{drag.anchor.x, drag.anchor.y, p->x, p->y};
        if (m.line == line) return DragChange::None;
        m.line = line;
    } else {
        const PictureRect rect = rect_between(drag.anchor, *p);
        if (m.rect == rect) return DragChange::None;
        m.rect = rect;
    }
    return DragChange::Overlay;
}

void measure_release(MeasureDrag& drag) { drag.kind = MeasureDrag::NONE; }

DragChange measure_cancel(Session& session, MeasureDrag& drag)
{
    const MeasureDrag::Kind kind = drag.kind;
    drag.kind = MeasureDrag::NONE;
    switch (kind) {
    case MeasureDrag::LINE: session.measure.line = drag.line_before; return DragChange::Overlay;
    case MeasureDrag::RECT: session.measure.rect = drag.rect_before; return DragChange::Overlay;
    case MeasureDrag::DIVIDER:
        if (session.view.compare_split_x == drag.divider_before) return DragChange::None;
        session.view.compare_split_x = drag.divider_before;
        return DragChange::View;
    case MeasureDrag::NONE: break;
    }
    return DragChange::None;
}

bool measure_forget_if_resized(Session& session)
{
    MeasureState& m = session.measure;
    if (!m.line && !m.rect) return false;
    const ImageRecord* shown = session.images.current_image;
    if (shown != nullptr && shown->width == m.width && shown->height == m.height) return false;
    m.line.reset();
    m.rect.reset();
    return true;
}

std::string tool_status_text(const Session& session)
{
    switch (session.measure.tool) {
    case MeasureTool::Profile: return text::tr("Инструмент: профиль");
    case MeasureTool::Region: return text::tr("Инструмент: область");
    case MeasureTool::Pointer: break;
    }
    return text::tr("Инструмент: указатель");
}

bool MeasureCache::refresh(const Session& session, bool force)
{
    const MeasureState& m = session.measure;
    const From from{m.tool, m.line, m.rect, session.images.current_image, session.origin_a.generation,
                    session.origin_b.generation, other_has_same_size(session.images)};
    if (!force && from_ == from) return false;
    from_ = from;
    profile.reset();
    region.reset();
    if (session.images.current_image != nullptr && m.tool == MeasureTool::Profile && m.line)
        profile = measure_profile(session.images, *m.line);
    if (session.images.current_image != nullptr && m.tool == MeasureTool::Region && m.rect)
        region = measure_region(session.images, *m.rect);
    return true;
}
