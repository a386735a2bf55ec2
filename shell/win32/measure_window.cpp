// The core's headers before <windows.h> (shell_win32.h says why).
#include "commands/command_table.h"
#include "commands/measure.h"
#include "shell/measure_tool.h"
#include "measure_window.h"
#include "text.h"
#include "text/catalogue.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"LumaforgeMeasure";
constexpr const char* kTitle = "Измерение";
constexpr const char* kCopy = "Копировать";
constexpr int kHeight = 470, kMargin = 6, kCopyId = 1;

HWND panel = nullptr;
HWND copy_button = nullptr;
HFONT gui_font = nullptr;

MeasureCache measured;
const std::optional<Profile>& profile = measured.profile;
const std::optional<Region>& region = measured.region;
std::optional<std::size_t> hovered;
MeasureTool tool = MeasureTool::Pointer;

RECT plot_area()
{
    RECT client;
    GetClientRect(panel, &client);
    return {client.left + 40, client.top + 10, client.right - 12, client.bottom - 50};
}

std::string values_text(const PixelValues& v)
{
    return text::format("R %1 G %2 B %3 (яркость %4)", {std::to_string(v.r), std::to_string(v.g),
                                                         std::to_string(v.b), std::to_string(v.luma)});
}

std::string fixed(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

double line_length()
{
    const PicturePoint a = profile->points.front(), b = profile->points.back();
    return std::hypot(double(b.x - a.x), double(b.y - a.y));
}

void text_at(HDC dc, int x, int y, const std::wstring& text, UINT align = TA_LEFT)
{
    SetTextAlign(dc, align | TA_TOP);
    TextOutW(dc, x, y, text.c_str(), static_cast<int>(text.size()));
}

void paint_profile(HDC dc)
{
    const RECT a = plot_area();
    const int w = a.right - a.left, h = a.bottom - a.top;
    if (w < 10 || h < 10) return;
    HPEN grid = CreatePen(PS_SOLID, 1, RGB(200, 200, 200));
    HGDIOBJ before = SelectObject(dc, grid);
    for (int v : {0, 64, 128, 192, 255}) {
        const int y = a.bottom - v * h / 255;
        MoveToEx(dc, a.left, y, nullptr);
        LineTo(dc, a.right, y);
        text_at(dc, a.left - 4, y - 7, std::to_wstring(v), TA_RIGHT);
    }
    SelectObject(dc, GetStockObject(BLACK_PEN));
    SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, a.left, a.top, a.right + 1, a.bottom + 1);
    const std::size_t n = profile->points.size();
    const auto x_of = [&](std::size_t i) { return n == 1 ? a.left + w / 2 : a.left + int(double(w) * double(i) / double(n - 1)); };
    const auto y_of = [&](int v) { return a.bottom - int(std::lround(double(v) * h / 255.0)); };
    const COLORREF colours[4] = {RGB(220, 0, 0), RGB(0, 160, 0), RGB(0, 0, 230), RGB(0, 0, 0)};
    std::vector<POINT> points(n);
    for (int set = profile->other.empty() ? 0 : 1; set >= 0; --set) {
        const std::vector<PixelValues>& values = set == 0 ? profile->shown : profile->other;
        for (int k = 0; k < 4; ++k) {
            HPEN pen = CreatePen(set == 0 ? PS_SOLID : PS_DOT, 1, colours[k]);
            SelectObject(dc, pen);
            for (std::size_t i = 0; i < n; ++i) {
                const PixelValues& v = values[i];
                points[i] = {x_of(i), y_of(k == 0 ? v.r : k == 1 ? v.g : k == 2 ? v.b : v.luma)};
            }
            if (n == 1)
                Ellipse(dc, points[0].x - 2, points[0].y - 2, points[0].x + 3, points[0].y + 3);
            else
                Polyline(dc, points.data(), static_cast<int>(n));
            SelectObject(dc, GetStockObject(BLACK_PEN));
            DeleteObject(pen);
        }
    }
    text_at(dc, a.left, a.bottom + 4, L"0");
    text_at(dc, a.right, a.bottom + 4, widen(text::format("%1 пикс.", {fixed(line_length(), 1)})), TA_RIGHT);
    text_at(dc, (a.left + a.right) / 2, a.bottom + 4,
            widen(text::tr(profile->other.empty() ? "сплошные: на экране" : "сплошные: на экране, точки: другая")),
            TA_CENTER);
    std::string line;
    if (hovered) {
        HPEN dotted = CreatePen(PS_DOT, 1, RGB(80, 80, 80));
        SelectObject(dc, dotted);
        MoveToEx(dc, x_of(*hovered), a.top, nullptr);
        LineTo(dc, x_of(*hovered), a.bottom);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        DeleteObject(dotted);
        const std::size_t i = *hovered;
        const PicturePoint p = profile->points[i];
        const std::string from_start = fixed(line_length() * double(i) / double(std::max<std::size_t>(1, n - 1)), 1);
        const std::string x = std::to_string(p.x), y = std::to_string(p.y);
        line = profile->other.empty()
                   ? text::format("%1 от начала: x %2, y %3   %4", {from_start, x, y, values_text(profile->shown[i])})
                   : text::format("%1 от начала: x %2, y %3   %4   другая: %5",
                                  {from_start, x, y, values_text(profile->shown[i]), values_text(profile->other[i])});
    } else {
        const PicturePoint s = profile->points.front(), e = profile->points.back();
        line = text::format("(%1, %2) – (%3, %4): %5 точек, длина %6",
                            {std::to_string(s.x), std::to_string(s.y), std::to_string(e.x), std::to_string(e.y),
                             std::to_string(n), fixed(line_length(), 1)});
    }
    text_at(dc, a.left, a.bottom + 24, widen(line));
    SelectObject(dc, before);
    DeleteObject(grid);
}

void blit_histograms(HDC dc, int x, int y, const RegionStats& stats)
{
    Frame frame;
    draw_region_histograms(frame, stats);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = frame.width;
    info.bmiHeader.biHeight = -frame.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(frame.width), static_cast<DWORD>(frame.height), 0, 0, 0,
                      static_cast<UINT>(frame.height), frame.pixels.data(), &info, DIB_RGB_COLORS);
}

// The histograms under their captions, then the table in columns.
void paint_region(HDC dc)
{
    int x = kMargin;
    text_at(dc, x, kMargin, widen(text::tr("на экране")));
    blit_histograms(dc, x, kMargin + 18, region->shown);
    x += kRegionHistogramsWidth + kMargin;
    if (region->other) {
        text_at(dc, x, kMargin, widen(text::tr("другая")));
        blit_histograms(dc, x, kMargin + 18, *region->other);
        x += kRegionHistogramsWidth + kMargin;
    }
    x += kMargin;
    const std::string table = region_table_text(*region);
    const int columns[8] = {0, 80, 150, 210, 250, 290, 370, 450};
    int y = kMargin;
    std::size_t from = 0;
    while (from < table.size()) {
        const std::size_t end = table.find('\n', from);
        const std::string line = table.substr(from, end - from);
        std::size_t cell_from = 0;
        for (int c = 0; c < 8 && cell_from <= line.size(); ++c) {
            const std::size_t tab = line.find('\t', cell_from);
            text_at(dc, x + columns[c], y, widen(line.substr(cell_from, tab == std::string::npos ? std::string::npos : tab - cell_from)));
            if (tab == std::string::npos) break;
            cell_from = tab + 1;
        }
        y += 20;
        from = end == std::string::npos ? table.size() : end + 1;
    }
    MoveWindow(copy_button, x, y + kMargin, 110, 26, TRUE);
}

void on_paint(HWND window)
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT client;
    GetClientRect(window, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ font = SelectObject(dc, gui_font);
    SetBkMode(dc, TRANSPARENT);
    if (profile) {
        RECT a = plot_area();
        FillRect(dc, &a, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        paint_profile(dc);
    } else if (region) {
        paint_region(dc);
    } else {
        text_at(dc, client.right / 2, client.bottom / 2 - 8,
                widen(text::tr(tool == MeasureTool::Profile
                                   ? "Проведите линию по картинке: её профиль появится здесь."
                                   : "Выделите прямоугольник на картинке: его гистограммы и статистика появятся здесь.")),
                TA_CENTER);
    }
    SelectObject(dc, font);
    EndPaint(window, &ps);
}

void copy_region()
{
    if (!region) return;
    std::wstring text;
    for (const wchar_t c : widen(region_table_text(*region))) {
        if (c == L'\n') text += L'\r';
        text += c;
    }
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (block == nullptr) return;
    std::memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (OpenClipboard(panel) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block) != nullptr) block = nullptr;
    CloseClipboard();
    if (block != nullptr) GlobalFree(block);
}

void hover(std::optional<std::size_t> sample)
{
    if (sample == hovered) return;
    hovered = sample;
    InvalidateRect(panel, nullptr, FALSE);
    InvalidateRect(main_window, nullptr, FALSE);  // the marker on the view
}

LRESULT CALLBACK panel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_PAINT: on_paint(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SIZE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_CLOSE:  // back to the pointer, as its item does
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_TOOL_POINTER, 0), 0);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == kCopyId) copy_region();
        return 0;
    case WM_MOUSEMOVE: {
        if (!profile) return 0;
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
        TrackMouseEvent(&track);
        const RECT a = plot_area();
        const std::size_t n = profile->points.size() - 1;
        const double t = std::clamp(double(GET_X_LPARAM(lparam) - a.left) / double(std::max<LONG>(1, a.right - a.left)), 0.0, 1.0);
        hover(static_cast<std::size_t>(t * double(n) + 0.5));
        return 0;
    }
    case WM_MOUSELEAVE: hover(std::nullopt); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Below the main window's view, across it.
bool create_panel()
{
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = panel_proc;
    window_class.hInstance = app_instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.lpszClassName = kClassName;
    if (RegisterClassW(&window_class) == 0) return false;
    RECT view;
    GetClientRect(main_window, &view);
    MapWindowPoints(main_window, nullptr, reinterpret_cast<POINT*>(&view), 2);
    const int height = std::min<int>(kHeight, std::max<int>(200, (view.bottom - view.top) / 2));
    panel = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, widen(text::tr(kTitle)).c_str(),
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, view.left,
                            view.bottom - height, view.right - view.left, height, main_window, nullptr, app_instance,
                            nullptr);
    if (panel == nullptr) return false;
    gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    copy_button = CreateWindowExW(0, L"BUTTON", widen(text::tr(kCopy)).c_str(), WS_CHILD | BS_PUSHBUTTON, 0, 0, 110, 26, panel,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCopyId)), app_instance, nullptr);
    SendMessageW(copy_button, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font), FALSE);
    return true;
}

}  // namespace

void measure_window_update(const Session& session)
{
    const MeasureState& m = session.measure;
    const bool shown = m.tool != MeasureTool::Pointer && session.images.current_image != nullptr;
    if (!shown) {
        if (panel != nullptr && IsWindowVisible(panel)) ShowWindow(panel, SW_HIDE);
        if (hovered) hover(std::nullopt);
        return;
    }
    if (panel == nullptr && !create_panel()) return;
    if (!IsWindowVisible(panel)) ShowWindow(panel, SW_SHOWNOACTIVATE);  // the keys stay with the view
    if (!measured.refresh(session)) return;
    tool = m.tool;
    if (hovered && (!profile || *hovered >= profile->points.size())) hovered.reset();
    ShowWindow(copy_button, region ? SW_SHOW : SW_HIDE);
    InvalidateRect(panel, nullptr, FALSE);
}

void measure_window_language_changed()
{
    if (panel == nullptr) return;
    SetWindowTextW(panel, widen(text::tr(kTitle)).c_str());
    SetWindowTextW(copy_button, widen(text::tr(kCopy)).c_str());
    InvalidateRect(panel, nullptr, FALSE);  // the texts drawn in it
}

std::optional<PicturePoint> measure_window_marker()
{
    if (!profile || !hovered || panel == nullptr || !IsWindowVisible(panel)) return std::nullopt;
    return profile->points[*hovered];
}

void draw_measure_overlay(HDC dc, const Session& session)
{
    const MeasureState& m = session.measure;
    const std::optional<PicturePoint> marker = measure_window_marker();
    if (session.images.current_image == nullptr || (!m.line && !m.rect && !marker)) return;
    const int zoom = std::clamp<int>(session.view.zoom, ZOOM_MIN, ZOOM_MAX);
    const auto first = [zoom](std::int64_t c) { return zoom >= 0 ? c << zoom : c >> -zoom; };
    const int cell = zoom >= 0 ? 1 << zoom : 1;
    const auto sx = [&](std::int64_t c) { return int(first(c) - session.view.scroll_x); };
    const auto sy = [&](std::int64_t c) { return int(first(c) - session.view.scroll_y); };
    HPEN black = CreatePen(PS_SOLID, 3, RGB(0, 0, 0)), yellow = CreatePen(PS_SOLID, 1, RGB(255, 255, 0));
    HGDIOBJ pen_before = SelectObject(dc, black);
    HGDIOBJ brush_before = SelectObject(dc, GetStockObject(NULL_BRUSH));
    for (HPEN pen : {black, yellow}) {
        SelectObject(dc, pen);
        if (m.line) {
            MoveToEx(dc, sx(m.line->x0) + cell / 2, sy(m.line->y0) + cell / 2, nullptr);
            LineTo(dc, sx(m.line->x1) + cell / 2, sy(m.line->y1) + cell / 2);
        }
        if (m.rect)
            Rectangle(dc, sx(m.rect->x) - 1, sy(m.rect->y) - 1, sx(std::int64_t{m.rect->x} + m.rect->width - 1) + cell + 1,
                      sy(std::int64_t{m.rect->y} + m.rect->height - 1) + cell + 1);
        if (marker) {
            const int cx = sx(marker->x) + cell / 2, cy = sy(marker->y) + cell / 2;
            Rectangle(dc, cx - 4, cy - 4, cx + 5, cy + 5);
        }
    }
    SelectObject(dc, pen_before);
    SelectObject(dc, brush_before);
    DeleteObject(black);
    DeleteObject(yellow);
}

bool measure_window_key(const MSG& message)
{
    if (panel == nullptr || (message.hwnd != panel && !IsChild(panel, message.hwnd))) return false;
    if (message.message != WM_KEYDOWN || message.wParam != 'C' || GetKeyState(VK_CONTROL) >= 0) return false;
    copy_region();
    return true;
}
