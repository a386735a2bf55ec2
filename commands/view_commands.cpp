#include "commands/view_commands.h"

#include <algorithm>

namespace {

void zoom_to(Session& session, WindowHandle window, int zoom)
{
    const auto [x, y] = zoom_anchor(session, *session.current_image);
    zoom_about(session, window, zoom, x, y);
}

}  // namespace

void zoom_about(Session& session, WindowHandle window, int zoom, int x, int y)
{
    zoom = std::clamp(zoom, ZOOM_MIN, ZOOM_MAX);
    if (session.current_image == nullptr || zoom == session.zoom) return;
    set_zoom(session, *session.current_image, zoom, x, y);
    request_repaint(window);
}

void wheel_turn(Session& session, WindowHandle window, int down, int across, bool zoom, bool sideways,
                std::optional<std::pair<int, int>> about)
{
    if (zoom) {
        if (session.current_image == nullptr) return;
        session.wheel_zoom += down != 0 ? down : across;
        const int levels = session.wheel_zoom / 120;
        session.wheel_zoom %= 120;
        if (levels == 0) return;
        const auto [x, y] = about ? *about : zoom_anchor(session, *session.current_image);
        zoom_about(session, window, session.zoom + levels, x, y);
        return;
    }
    if (sideways) {
        across += down;
        down = 0;
    }
    bool moved = false;
    if (down != 0) moved |= scroll_wheel(session, down, false);
    if (across != 0) moved |= scroll_wheel(session, across, true);
    if (moved) request_repaint(window);
}

void zoom_in_command(Session& session, WindowHandle window) { zoom_to(session, window, session.zoom + 1); }
void zoom_out_command(Session& session, WindowHandle window) { zoom_to(session, window, session.zoom - 1); }
void natural_size_command(Session& session, WindowHandle window) { zoom_to(session, window, 0); }

void fit_command(Session& session, WindowHandle window)
{
    zoom_to(session, window, fit_zoom(*session.current_image, session.client_width, session.client_height));
}

void status_bar_command(Session& session, WindowHandle window)
{
    session.status_bar = !session.status_bar;
    show_status_bar(window, session.status_bar);
    request_repaint(window);
}

bool status_bar_shown(const Session& session) { return session.status_bar; }

// The view keeps its pixels: the panel stands beside it, and a front end
// that narrows the view for it repaints on the resize.
void explain_panel_command(Session& session, WindowHandle window)
{
    session.explain_panel = !session.explain_panel;
    show_explain_panel(window, session.explain_panel);
}

bool explain_panel_shown(const Session& session) { return session.explain_panel; }
