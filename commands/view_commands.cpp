#include "commands/view_commands.h"

#include <algorithm>

namespace {

void zoom_to(Session& session, WindowHandle window, int zoom)
{
    const auto [x, y] = zoom_anchor(session.view, *session.images.current_image);
    zoom_about(session, window, zoom, x, y);
}

}  // namespace

void zoom_about(Session& session, WindowHandle window, int zoom, int x, int y)
{
    zoom = std::clamp(zoom, ZOOM_MIN, ZOOM_MAX);
    if (session.images.current_image == nullptr || zoom == session.view.zoom) return;
    set_zoom(session.view, *session.images.current_image, zoom, x, y);
    request_repaint(window);
}

void wheel_turn(Session& session, WindowHandle window, int down, int across, bool zoom, bool sideways,
                std::optional<std::pair<int, int>> about)
{
    if (zoom) {
        if (session.images.current_image == nullptr) return;
        session.view.wheel_zoom += down != 0 ? down : across;
        const int levels = session.view.wheel_zoom / 120;
        session.view.wheel_zoom %= 120;
        if (levels == 0) return;
        const auto [x, y] = about ? *about : zoom_anchor(session.view, *session.images.current_image);
        zoom_about(session, window, session.view.zoom + levels, x, y);
        return;
    }
    if (sideways) {
        across += down;
        down = 0;
    }
    bool moved = false;
    if (down != 0) moved |= scroll_wheel(session.view, down, false);
    if (across != 0) moved |= scroll_wheel(session.view, across, true);
    if (moved) request_repaint(window);
}

void zoom_in_command(Session& session, WindowHandle window) { zoom_to(session, window, session.view.zoom + 1); }
void zoom_out_command(Session& session, WindowHandle window) { zoom_to(session, window, session.view.zoom - 1); }
void natural_size_command(Session& session, WindowHandle window) { zoom_to(session, window, 0); }

void fit_command(Session& session, WindowHandle window)
{
    zoom_to(session, window, fit_zoom(*session.images.current_image, session.view.client_width, session.view.client_height));
}

void status_bar_command(Session& session, WindowHandle window)
{
    session.view.status_bar = !session.view.status_bar;
    show_status_bar(window, session.view.status_bar);
    request_repaint(window);
}

bool status_bar_shown(const Session& session) { return session.view.status_bar; }

// The view keeps its pixels: the panel stands beside it, and a front end
// that narrows the view for it repaints on the resize.
void explain_panel_command(Session& session, WindowHandle window)
{
    session.view.explain_panel = !session.view.explain_panel;
    show_explain_panel(window, session.view.explain_panel);
}

bool explain_panel_shown(const Session& session) { return session.view.explain_panel; }

void journal_panel_command(Session& session, WindowHandle window)
{
    session.view.journal_panel = !session.view.journal_panel;
    show_journal_panel(window, session.view.journal_panel);
}

bool journal_panel_shown(const Session& session) { return session.view.journal_panel; }
void pointer_tool_command(Session& session, WindowHandle) { session.measure.tool = MeasureTool::Pointer; }
void profile_tool_command(Session& session, WindowHandle) { session.measure.tool = MeasureTool::Profile; }
void region_tool_command(Session& session, WindowHandle) { session.measure.tool = MeasureTool::Region; }
bool pointer_tool_chosen(const Session& session) { return session.measure.tool == MeasureTool::Pointer; }
bool profile_tool_chosen(const Session& session) { return session.measure.tool == MeasureTool::Profile; }
bool region_tool_chosen(const Session& session) { return session.measure.tool == MeasureTool::Region; }

namespace {

bool compare_shown(const Session& session, CompareMode mode, int k)
{
    return compare_active(session.images, session.view) && session.view.compare == mode &&
           (mode != COMPARE_DIFF || session.view.compare_diff == k);
}

// The split starts in the middle of the picture.
void compare(Session& session, WindowHandle window, CompareMode mode, int k)
{
    ViewState& view = session.view;
    if (compare_shown(session, mode, k)) {
        view.compare = COMPARE_OFF;
    } else {
        const int width = session.images.current_image->width;
        if (mode == COMPARE_SPLIT && (view.compare != COMPARE_SPLIT || view.compare_split_x > width))
            view.compare_split_x = width / 2;
        view.compare = mode;
        if (mode == COMPARE_DIFF) view.compare_diff = k;
    }
    request_repaint(window);
}

}  // namespace

void compare_split_command(Session& session, WindowHandle window) { compare(session, window, COMPARE_SPLIT, 0); }
void compare_diff_1_command(Session& session, WindowHandle window) { compare(session, window, COMPARE_DIFF, 1); }
void compare_diff_4_command(Session& session, WindowHandle window) { compare(session, window, COMPARE_DIFF, 4); }
void compare_diff_16_command(Session& session, WindowHandle window) { compare(session, window, COMPARE_DIFF, 16); }
bool compare_split_shown(const Session& session) { return compare_shown(session, COMPARE_SPLIT, 0); }
bool compare_diff_1_shown(const Session& session) { return compare_shown(session, COMPARE_DIFF, 1); }
bool compare_diff_4_shown(const Session& session) { return compare_shown(session, COMPARE_DIFF, 4); }
bool compare_diff_16_shown(const Session& session) { return compare_shown(session, COMPARE_DIFF, 16); }
