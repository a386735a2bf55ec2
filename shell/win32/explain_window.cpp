// The core's headers before <windows.h> (shell_win32.h says why).
#include "commands/command_table.h"
#include "shell/explain_panel.h"
#include "explain_window.h"
#include "text.h"
#include "text/catalogue.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"LumaforgeExplain";
constexpr const char* kTitle = "Как получен пиксель";
constexpr int kWidth = 440, kHeight = 560;  // at first opening
constexpr int kMargin = 4, kHeadingLines = 3;

HWND panel = nullptr;
HWND heading = nullptr;
HWND text_box = nullptr;
HFONT fixed_font = nullptr;
int heading_height = 0;
ExplainPanel explained;

int char_width = 8;  // of the fixed-pitch font
int wrapped_for = -1;  // the columns the text box's lines were broken for

// Edit controls break lines at CR LF only.
std::wstring edit_text(const std::string& utf8)
{
    std::wstring wide;
    for (const wchar_t c : widen(utf8)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    return wide;
}

// The characters a line of the text box holds.
int text_columns()
{
    RECT box;
    GetClientRect(text_box, &box);
    return std::max(1, static_cast<int>(box.right - box.left - 8) / char_width);
}

// The explanation broken at blanks to the text box's width (rows of numbers
// stay whole; the box scrolls sideways only for them).
std::wstring wrapped_text()
{
    wrapped_for = text_columns();
    std::string lines;
    for (const std::string& line : wrap_explanation(explained.text, wrapped_for)) lines += line + "\n";
    return edit_text(lines);
}

void lay_out()
{
    RECT client;
    GetClientRect(panel, &client);
    const int top = heading_height + 2 * kMargin;
    MoveWindow(heading, kMargin, kMargin, client.right - 2 * kMargin, heading_height, TRUE);
    MoveWindow(text_box, 0, top, client.right, client.bottom > top ? client.bottom - top : 0, TRUE);
}

void show_texts()
{
    SetWindowTextW(heading, widen(explained.heading).c_str());
    // The same part of the next pixel's text stays in view.
    const LRESULT first_line = SendMessageW(text_box, EM_GETFIRSTVISIBLELINE, 0, 0);
    SetWindowTextW(text_box, wrapped_text().c_str());
    SendMessageW(text_box, EM_LINESCROLL, 0, first_line);
}

void copy_to_clipboard()
{
    DWORD start = 0, end = 0;
    SendMessageW(text_box, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    if (start != end) {
        SendMessageW(text_box, WM_COPY, 0, 0);
        return;
    }
    const std::wstring text = edit_text(explained.text);
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (block == nullptr) return;
    std::memcpy(GlobalLock(block), text.c_str(), bytes);
    GlobalUnlock(block);
    if (OpenClipboard(panel) && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, block) != nullptr) block = nullptr;
    CloseClipboard();
    if (block != nullptr) GlobalFree(block);  // the clipboard did not take it
}

LRESULT CALLBACK panel_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_SIZE:
        if (text_box != nullptr) {
            lay_out();
            if (text_columns() != wrapped_for) show_texts();
        }
        return 0;
    case WM_CLOSE:  // as the item does: the session keeps whether it is open
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_EXPLAIN_PANEL, 0), 0);
        return 0;
    case WM_CTLCOLORSTATIC:  // the read-only text on white, as a page of text
        if (reinterpret_cast<HWND>(lparam) == text_box) {
            SetBkColor(reinterpret_cast<HDC>(wparam), GetSysColor(COLOR_WINDOW));
            return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
        }
        break;
    default: break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// At the right of the main window's view, below its menu.
bool create_panel()
{
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = panel_proc;
    window_class.hInstance = app_instance;
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    window_class.lpszClassName = kClassName;
    if (RegisterClassW(&window_class) == 0) return false;

    RECT view;
    GetClientRect(main_window, &view);
    MapWindowPoints(main_window, nullptr, reinterpret_cast<POINT*>(&view), 2);
    const int height = view.bottom - view.top > kHeight ? kHeight : view.bottom - view.top;
    panel = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, widen(text::tr(kTitle)).c_str(),
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
                            view.right - kWidth, view.top, kWidth, height > 200 ? height : 200, main_window, nullptr,
                            app_instance, nullptr);
    if (panel == nullptr) return false;

    HFONT gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fixed_font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    heading = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, panel,
                              nullptr, app_instance, nullptr);
    text_box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                   ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                               0, 0, 0, 0, panel, nullptr, app_instance, nullptr);
    SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font), FALSE);
    SendMessageW(text_box, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_font != nullptr ? fixed_font : gui_font),
                 FALSE);

    HDC dc = GetDC(heading);
    HGDIOBJ before = SelectObject(dc, gui_font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, before);
    ReleaseDC(heading, dc);
    heading_height = kHeadingLines * metrics.tmHeight;
    dc = GetDC(text_box);
    before = SelectObject(dc, fixed_font != nullptr ? fixed_font : gui_font);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, before);
    ReleaseDC(text_box, dc);
    char_width = std::max(1, static_cast<int>(metrics.tmAveCharWidth));
    lay_out();
    return true;
}

}  // namespace

void show_explain_window(bool shown)
{
    if (!shown) {
        if (panel != nullptr) ShowWindow(panel, SW_HIDE);
        return;
    }
    if (panel == nullptr && !create_panel()) return;
    ShowWindow(panel, SW_SHOWNOACTIVATE);  // the keys stay with the view
}

void explain_window_pointer(const Session& session, std::optional<POINT> at)
{
    if (panel == nullptr || !session.view.explain_panel) return;
    std::optional<ClientPoint> point;
    if (at) point = ClientPoint{at->x, at->y};
    if (explain_panel_pointer(explained, session, point)) show_texts();
}

void explain_window_click(const Session& session, POINT at)
{
    if (panel == nullptr || !session.view.explain_panel) return;
    if (explain_panel_click(explained, session, ClientPoint{at.x, at.y})) show_texts();
}

void explain_window_language_changed(const Session& session, std::optional<POINT> at)
{
    if (panel == nullptr) return;
    SetWindowTextW(panel, widen(text::tr(kTitle)).c_str());
    explained.basis = {};  // made again, for the pinned or last pixel
    std::optional<ClientPoint> point;
    if (at) point = ClientPoint{at->x, at->y};
    if (session.view.explain_panel) explain_panel_pointer(explained, session, point);
    show_texts();
}

bool explain_window_key(const MSG& message)
{
    if (panel == nullptr || (message.hwnd != panel && !IsChild(panel, message.hwnd))) return false;
    // Alt+F4 closes the active window, here the panel, not the program.
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
        SendMessageW(panel, WM_CLOSE, 0, 0);
        return true;
    }
    if (message.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
    if (message.wParam == 'C') {
        copy_to_clipboard();
        return true;
    }
    if (message.wParam == 'A') {
        SendMessageW(text_box, EM_SETSEL, 0, -1);
        return true;
    }
    return false;
}
