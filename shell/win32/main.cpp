// The Windows program: start-up, the main window procedure and the message
// loop. Every menu choice and accelerator goes to run_command; the view is
// rendered by the core into a frame and blitted in one piece. A status bar
// (the common controls' status window) under the view shows the values of
// the pixel under the cursor; the view is the client area above it. The
// panel that explains a pixel is a tool window beside it (explain_window.h).
// With Профиль or Область a drag draws a line or a rectangle over the view
// and the measuring panel below it gives its numbers (measure_window.h);
// in the split compare view the pointer drags the divider.
// A picture file named on the command line ("Open with" passes one quoted
// path) or dropped on the window opens as the open command opens it. The
// texts are in the language "--lang CODE" before it names, else
// LUMAFORGE_LANG, else the one the view menu chose last (kept in the
// registry), else Russian; the menu is the language's own resource.
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/view_commands.h"
#include "shell/measure_tool.h"
#include "commands/pixel_status.h"
#include "render/view.h"
#include "text/catalogue.h"
#include "explain_window.h"
#include "journal_window.h"
#include "measure_window.h"
#include "shell_win32.h"
#include "text.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

HINSTANCE app_instance = nullptr;
HWND main_window = nullptr;
HWND status_window = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Lumaforge";
constexpr const char* kWindowTitle = "Обработка изображений.";
constexpr const char* kStartupCaption = "Ошибка";

// Everything the program keeps between commands.
Session session;

// The client area as the core renders it; kept between paints so a repaint
// reuses its buffer.
Frame client_frame;

std::wstring status_shown;   // the status bar's text now: the pixel under the cursor
std::wstring tool_shown;     // then the tool in use and the compare mode
std::wstring summary_shown;  // and at its right the zoom, the picture's size, the file
bool tracking_leave = false;
MeasureDrag drag;

void set_scroll_range(HWND window, int bar, std::int32_t limit)
{
    SetScrollRange(window, bar, 0, limit > 0 ? limit : 0, TRUE);
}

// The view's part of the client area: all of it above the status bar.
RECT view_rect(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    if (session.view.status_bar && status_window != nullptr) {
        RECT bar;
        GetWindowRect(status_window, &bar);
        client.bottom = std::max(client.top, client.bottom - (bar.bottom - bar.top));
    }
    return client;
}

void set_status_text(const std::wstring& text)
{
    if (status_window == nullptr || text == status_shown) return;
    status_shown = text;
    SendMessageW(status_window, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The status bar's three parts: the pixel's values, the tool and the compare
// mode, then the summary, the last two as wide as their texts.
void lay_out_status_parts()
{
    if (status_window == nullptr) return;
    RECT bar;
    GetClientRect(status_window, &bar);
    HDC dc = GetDC(status_window);
    HGDIOBJ before = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(status_window, WM_GETFONT, 0, 0)));
    SIZE summary{}, tool{};
    GetTextExtentPoint32W(dc, summary_shown.c_str(), static_cast<int>(summary_shown.size()), &summary);
    GetTextExtentPoint32W(dc, tool_shown.c_str(), static_cast<int>(tool_shown.size()), &tool);
    SelectObject(dc, before);
    ReleaseDC(status_window, dc);
    const int summary_left = std::max(0, static_cast<int>(bar.right) - static_cast<int>(summary.cx) - 32);
    const int parts[3] = {std::max(0, summary_left - static_cast<int>(tool.cx) - 32), summary_left, -1};
    SendMessageW(status_window, SB_SETPARTS, 3, reinterpret_cast<LPARAM>(parts));
    SendMessageW(status_window, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(status_shown.c_str()));
    SendMessageW(status_window, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(tool_shown.c_str()));
    SendMessageW(status_window, SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(summary_shown.c_str()));
}

void update_summary()
{
    const std::wstring summary = widen(status_summary(session));
    if (status_window == nullptr || summary == summary_shown) return;
    summary_shown = summary;
    lay_out_status_parts();
}

// The tool in use, after the compare mode when one is on.
std::wstring tool_text()
{
    std::string text = tool_status_text(session);
    if (compare_active(session.images, session.view)) text = compare_status_text(session.view) + "   " + text;
    return widen(text);
}

void update_tool_status()
{
    const std::wstring wide = tool_text();
    if (status_window == nullptr || wide == tool_shown) return;
    tool_shown = wide;
    lay_out_status_parts();
}

// The status bar for the cursor at client point (x, y), or for wherever the
// cursor is now.
void update_status(int x, int y) { set_status_text(widen(status_text_at(session.images, session.view, x, y))); }

// The cursor's client point when it is over the window.
std::optional<POINT> cursor_in(HWND window)
{
    POINT at;
    GetCursorPos(&at);
    if (WindowFromPoint(at) != window) return std::nullopt;
    ScreenToClient(window, &at);
    return at;
}

// The status bar and the panel for the cursor where it is now: a command,
// a zoom or a scroll moves the picture under it.
void follow_cursor(HWND window)
{
    update_summary();
    const std::optional<POINT> at = cursor_in(window);
    if (at)
        update_status(at->x, at->y);
    else
        set_status_text(L"");
    explain_window_pointer(session, at);
    journal_window_update(session);
}

void show_scroll_positions(HWND window)
{
    SetScrollPos(window, SB_HORZ, session.view.scroll_x, TRUE);
    SetScrollPos(window, SB_VERT, session.view.scroll_y, TRUE);
}

void on_create()
{
    session.images.image_a.pixels.reset();
    session.images.image_b.pixels.reset();
    session.dialog.reset_param_dialog_spec();
}

void on_destroy()
{
    session.images.release_all_images();
    PostQuitMessage(0);
}

// The view laid out beside the window's own bars and above the status bar,
// and the bars set from it, before the paint: showing or hiding a bar
// changes the client area at once, so one paint draws the settled view.
// Before any picture the bars keep their first range; a picture's limits
// then set them.
void lay_out(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    const bool vertical = (style & WS_VSCROLL) != 0, horizontal = (style & WS_HSCROLL) != 0;
    const int bar_width = GetSystemMetrics(SM_CXVSCROLL), bar_height = GetSystemMetrics(SM_CYHSCROLL);
    int status_height = 0;
    if (status_window != nullptr) {
        RECT bar;
        GetWindowRect(status_window, &bar);
        status_height = bar.bottom - bar.top;
    }
    const ViewArea area{client.right + (vertical ? bar_width : 0), client.bottom + (horizontal ? bar_height : 0),
                        bar_width, bar_height, vertical, horizontal, status_height};
    const ViewLayout layout = layout_view(session.images.current_image, session.view, area);
    if (session.images.current_image == nullptr) {
        session.view.client_width = layout.client_width;
        session.view.client_height = layout.client_height;
        return;
    }
    apply_layout(session.view, layout);
    set_scroll_range(window, SB_HORZ, layout.scroll_max_x);
    set_scroll_range(window, SB_VERT, layout.scroll_max_y);
    show_scroll_positions(window);
}

// One blit of the whole rendered client area, so nothing flickers: the
// background erase does nothing while a picture is shown.
void on_paint(HWND window)
{
    lay_out(window);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    const RECT client = view_rect(window);
    if (client.right > 0 && client.bottom > 0) {
        client_frame.resize(client.right, client.bottom);
        render_client(client_frame, session.images, session.view);

        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = client_frame.width;
        info.bmiHeader.biHeight = -client_frame.height;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 24;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(client_frame.width), static_cast<DWORD>(client_frame.height),
                          0, 0, 0, static_cast<UINT>(client_frame.height), client_frame.pixels.data(), &info,
                          DIB_RGB_COLORS);
        if (measure_forget_if_resized(session)) measure_window_update(session);
        draw_measure_overlay(dc, session);
    }
    EndPaint(window, &paint);
    follow_cursor(window);
    measure_window_update(session);  // the picture may have changed
    update_tool_status();
}

LRESULT on_erase_background(HWND window, HDC dc)
{
    if (session.images.current_image == nullptr) {
        const RECT client = view_rect(window);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    return 1;
}

// The thumb's position comes as 32 bits from the bar itself: a zoomed
// picture's range can pass the 16 bits of the message.
void on_scroll(HWND window, int bar, WPARAM wparam)
{
    const int code = LOWORD(wparam), thumb = HIWORD(wparam);
    if (code == SB_THUMBTRACK) {
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_TRACKPOS;
        GetScrollInfo(window, bar, &info);
        scroll_thumb_to(session.view, bar == SB_HORZ, info.nTrackPos);
    } else if (bar == SB_HORZ) {
        scroll_horizontal(session.view, code, thumb);
    } else {
        scroll_vertical(session.view, code, thumb);
    }
    SetScrollPos(window, bar, bar == SB_HORZ ? session.view.scroll_x : session.view.scroll_y, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

// The wheel scrolls up and down, with Shift (or tilted) left and right; with
// Ctrl it zooms, a level a notch, about the cursor.
void on_wheel(HWND window, WPARAM wparam, LPARAM lparam, bool tilted)
{
    const int delta = GET_WHEEL_DELTA_WPARAM(wparam), keys = GET_KEYSTATE_WPARAM(wparam);
    POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    ScreenToClient(window, &at);
    // A tilt to the right is positive, a turn away from the user scrolls back.
    wheel_turn(session, window, tilted ? 0 : delta, tilted ? -delta : 0, !tilted && (keys & MK_CONTROL) != 0,
               (keys & MK_SHIFT) != 0, std::pair{int(at.x), int(at.y)});
}

// The line or rectangle moved, or the divider: the view is painted again
// (the overlay is drawn over its frame) and the panel follows.
void apply_drag(HWND window, DragChange change)
{
    if (change == DragChange::None) return;
    InvalidateRect(window, nullptr, FALSE);
    measure_window_update(session);
}

void on_mouse_move(HWND window, LPARAM lparam)
{
    if (!tracking_leave) {
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_LEAVE;
        track.hwndTrack = window;
        tracking_leave = TrackMouseEvent(&track) != 0;
    }
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    if (drag.kind != MeasureDrag::NONE) apply_drag(window, measure_move(session, drag, at.x, at.y));
    update_status(at.x, at.y);
    explain_window_pointer(session, at);
}

// A press starts a drag with the tool (the mouse is captured until the
// release) or, with the pointer, pins a pixel for the explanation panel.
void on_button_down(HWND window, LPARAM lparam)
{
    const POINT at{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    const DragChange change = measure_press(session, drag, at.x, at.y);
    if (drag.kind == MeasureDrag::NONE) {
        explain_window_click(session, at);
        return;
    }
    SetCapture(window);
    apply_drag(window, change);
}

void end_drag()
{
    if (drag.kind == MeasureDrag::NONE) return;
    measure_release(drag);
    ReleaseCapture();
}

void on_command(HWND window, int id)
{
    run_command(session, window, id);
    if (!IsWindow(window)) return;  // exit destroys it
    follow_cursor(window);
    measure_window_update(session);
    update_tool_status();
}

void on_mouse_leave()
{
    tracking_leave = false;
    set_status_text(L"");
}

// Check marks follow the session as the menu opens.
void on_init_menu(HWND window)
{
    for (const CommandRow& c : command_table()) {
        if (c.checked != nullptr)
            CheckMenuItem(GetMenu(window), c.id, MF_BYCOMMAND | (c.checked(session) ? MF_CHECKED : MF_UNCHECKED));
        // The compare modes are greyed without a same-size picture in the other record.
        if (c.guard == Guard::SameSizeOther)
            EnableMenuItem(GetMenu(window), c.id, MF_BYCOMMAND | (command_available(session, c.id) ? MF_ENABLED : MF_GRAYED));
    }
}

// The first of the files dropped on the window.
void on_drop_files(HWND window, HDROP drop)
{
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length, L'\0');
    if (length > 0) DragQueryFileW(drop, 0, name.data(), length + 1);
    DragFinish(drop);
    if (length > 0) open_path(session, window, std::filesystem::path(name));
    journal_window_update(session);
}

// What the command line asks for: "--lang CODE" first, if at all, then the
// picture ("Open with" passes one quoted path).
struct CommandLine {
    std::string language;
    std::wstring picture;
};

CommandLine read_command_line()
{
    CommandLine line;
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return line;
    int next = 1;
    if (count >= 2 && std::wstring_view(words[1]) == L"--lang") {
        for (const wchar_t* c = count >= 3 ? words[2] : L""; *c != L'\0'; ++c)
            line.language += static_cast<char>(*c < 128 ? *c : '?');
        next = 3;
    }
    if (count > next) line.picture = words[next];
    LocalFree(words);
    return line;
}

// The picture named on the command line, if any.
void open_from_command_line(HWND window, const std::wstring& name)
{
    if (!name.empty()) open_path(session, window, std::filesystem::path(name));
    journal_window_update(session);
}

// The texts' language at start: the command line's, else LUMAFORGE_LANG's,
// else the one chosen last time, else Russian. A code no catalogue has is
// passed over.
void choose_start_language(const CommandLine& line)
{
    if (!line.language.empty() && text::set_language(line.language)) return;
    if (text::choose_from_environment()) return;
    const std::string remembered = remembered_language();
    if (!remembered.empty()) text::set_language(remembered);
}

// The menu in the language in use: menu 101 + its place in the list.
HMENU language_menu()
{
    const std::vector<text::Language> languages = text::languages();
    int index = 0;
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (languages[i].code == text::language()) index = static_cast<int>(i);
    HMENU menu = LoadMenuW(app_instance, MAKEINTRESOURCEW(IDR_MAINMENU + index));
    return menu != nullptr ? menu : LoadMenuW(app_instance, MAKEINTRESOURCEW(IDR_MAINMENU));
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: on_create(); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case WM_PAINT: on_paint(window); return 0;
    case WM_ERASEBKGND: return on_erase_background(window, reinterpret_cast<HDC>(wparam));
    case WM_COMMAND: on_command(window, LOWORD(wparam)); return 0;
    case WM_HSCROLL: on_scroll(window, SB_HORZ, wparam); return 0;
    case WM_VSCROLL: on_scroll(window, SB_VERT, wparam); return 0;
    case WM_MOUSEWHEEL: on_wheel(window, wparam, lparam, false); return 0;
    case WM_MOUSEHWHEEL: on_wheel(window, wparam, lparam, true); return 0;
    case WM_MOUSEMOVE: on_mouse_move(window, lparam); return 0;
    case WM_MOUSELEAVE: on_mouse_leave(); return 0;
    case WM_LBUTTONDOWN: on_button_down(window, lparam); return 0;
    case WM_LBUTTONUP: end_drag(); return 0;
    case WM_CAPTURECHANGED:
        if (drag.kind != MeasureDrag::NONE) measure_release(drag);
        return 0;
    case WM_INITMENUPOPUP: on_init_menu(window); return 0;
    case WM_SIZE:
        if (status_window != nullptr) {
            SendMessageW(status_window, WM_SIZE, 0, 0);
            lay_out_status_parts();
        }
        return 0;
    case WM_DROPFILES: on_drop_files(window, reinterpret_cast<HDROP>(wparam)); return 0;
    default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

// Every text the window shows again in the language now in use: the menu
// (its check marks and greyed items as the session has them), the title,
// the status bar and the open tool windows. Pictures, view and journal stay.
void language_changed(WindowHandle handle)
{
    HWND window = static_cast<HWND>(handle);
    HMENU before = GetMenu(window);
    HMENU menu = language_menu();
    if (menu != nullptr && SetMenu(window, menu) != 0) {
        if (before != nullptr) DestroyMenu(before);
        on_init_menu(window);
    } else if (menu != nullptr) {
        DestroyMenu(menu);
    }
    SetWindowTextW(window, widen(text::tr(kWindowTitle)).c_str());
    const std::optional<POINT> at = cursor_in(window);
    summary_shown = widen(status_summary(session));
    tool_shown = tool_text();
    status_shown = at ? widen(status_text_at(session.images, session.view, at->x, at->y)) : std::wstring();
    lay_out_status_parts();
    explain_window_language_changed(session, at);
    journal_window_language_changed(session);
    measure_window_language_changed();
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    app_instance = instance;
    const CommandLine command_line = read_command_line();
    choose_start_language(command_line);
    WNDCLASSW window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszClassName = kClassName;
    const std::wstring caption = widen(text::tr(kStartupCaption));
    if (RegisterClassW(&window_class) == 0) {
        MessageBoxW(nullptr, widen(text::tr("Ошибка регистрации.")).c_str(), caption.c_str(), MB_OK);
        return 0;
    }

    main_window = CreateWindowExW(0, kClassName, widen(text::tr(kWindowTitle)).c_str(),
                                  WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL, CW_USEDEFAULT, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, nullptr, language_menu(), instance, nullptr);
    if (main_window == nullptr) {
        MessageBoxW(nullptr, widen(text::tr("Не удалось создать окно.")).c_str(), caption.c_str(), MB_OK);
        return 0;
    }

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
    InitCommonControls();
    // The picture codecs and the file dialogs work in this one thread's
    // apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    DragAcceptFiles(main_window, TRUE);
    status_window = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | (session.view.status_bar ? WS_VISIBLE : 0), 0, 0,
                                    0, 0, main_window, nullptr, instance, nullptr);
    update_summary();
    update_tool_status();
    ShowWindow(main_window, SW_SHOWMAXIMIZED);
    UpdateWindow(main_window);
    open_from_command_line(main_window, command_line.picture);

    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        // Retrieval itself failed (the queue or the window is gone): there is
        // nothing left to run.
        if (got == -1) return 1;
        if (explain_window_key(message) || journal_window_key(message) ||
            measure_window_key(message))
            continue;
        // Escape during a drag puts back what was drawn before it.
        if (message.message == WM_KEYDOWN && message.wParam == VK_ESCAPE && drag.kind != MeasureDrag::NONE) {
            const DragChange change = measure_cancel(session, drag);
            ReleaseCapture();
            apply_drag(main_window, change);
            continue;
        }
        if (TranslateAcceleratorW(main_window, accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
