// The core's headers before <windows.h> (shell_win32.h says why).
#include "commands/command_table.h"
#include "shell/journal_panel.h"
#include "journal_window.h"
#include "text.h"
#include "text/catalogue.h"

#include <cstring>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"LumaforgeJournal";
constexpr int kWidth = 640, kHeight = 300;  // at first opening
constexpr int kMargin = 6, kButtonWidth = 110, kButtonHeight = 26;
constexpr int kCopyId = 1;

HWND panel = nullptr;
HWND text_box = nullptr;
HWND copy_button = nullptr;
HFONT fixed_font = nullptr;
JournalPanelText shown;
std::uint64_t shown_revision = ~std::uint64_t{0};

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

void lay_out()
{
    RECT client;
    GetClientRect(panel, &client);
    const int text_height = client.bottom - kButtonHeight - 2 * kMargin;
    MoveWindow(text_box, 0, 0, client.right, text_height > 0 ? text_height : 0, TRUE);
    MoveWindow(copy_button, client.right - kButtonWidth - kMargin, client.bottom - kButtonHeight - kMargin,
               kButtonWidth, kButtonHeight, TRUE);
}

void copy_command_line()
{
    const std::wstring text = widen(shown.command_line);
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
        if (text_box != nullptr) lay_out();
        return 0;
    case WM_COMMAND:
        if (LOWORD(wparam) == kCopyId) copy_command_line();
        return 0;
    case WM_CLOSE:  // as the item does: the session keeps whether it is open
        SendMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDM_JOURNAL_PANEL, 0), 0);
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

// Along the bottom of the main window's view.
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
    panel = CreateWindowExW(WS_EX_TOOLWINDOW, kClassName, widen(text::tr(kJournalTitle)).c_str(),
                            WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN, view.left,
                            view.bottom - kHeight, kWidth, kHeight, main_window, nullptr, app_instance, nullptr);
    if (panel == nullptr) return false;
    HFONT gui_font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    fixed_font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN, L"Courier New");
    text_box = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                               WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY |
                                   ES_AUTOHSCROLL | ES_AUTOVSCROLL,
                               0, 0, 0, 0, panel, nullptr, app_instance, nullptr);
    copy_button = CreateWindowExW(0, L"BUTTON", widen(text::tr(kJournalCopy)).c_str(), WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON,
                                  0, 0, 0, 0, panel, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kCopyId)),
                                  app_instance, nullptr);
    SendMessageW(text_box, WM_SETFONT, reinterpret_cast<WPARAM>(fixed_font != nullptr ? fixed_font : gui_font),
                 FALSE);
    SendMessageW(copy_button, WM_SETFONT, reinterpret_cast<WPARAM>(gui_font), FALSE);
    lay_out();
    return true;
}

}  // namespace

void show_journal_window(bool shown)
{
    if (!shown) {
        if (panel != nullptr) ShowWindow(panel, SW_HIDE);
        return;
    }
    if (panel == nullptr && !create_panel()) return;
    shown_revision = ~std::uint64_t{0};
    ShowWindow(panel, SW_SHOWNOACTIVATE);  // the keys stay with the view
}

void journal_window_update(const Session& session)
{
    if (panel == nullptr || !session.view.journal_panel || shown_revision == session.journal.revision) return;
    shown_revision = session.journal.revision;
    shown = journal_panel_text(session.journal, native_shell());
    SetWindowTextW(text_box, edit_text(shown.text).c_str());
    EnableWindow(copy_button, !shown.command_line.empty());
}

void journal_window_language_changed(const Session& session)
{
    if (panel == nullptr) return;
    SetWindowTextW(panel, widen(text::tr(kJournalTitle)).c_str());
    SetWindowTextW(copy_button, widen(text::tr(kJournalCopy)).c_str());
    shown_revision = ~std::uint64_t{0};
    journal_window_update(session);
}

bool journal_window_key(const MSG& message)
{
    if (panel == nullptr || (message.hwnd != panel && !IsChild(panel, message.hwnd))) return false;
    if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) {
        SendMessageW(panel, WM_CLOSE, 0, 0);
        return true;
    }
    if (message.message == WM_KEYDOWN && message.wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        copy_command_line();
        return true;
    }
    return false;
}
