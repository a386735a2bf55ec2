// The platform services of the Windows program: message boxes, the parameter
// dialog on template IDD_PARAM, the open and save file dialogs, repaint and destroy
// requests, lines drawn straight onto the window, and the busy cursor. The
// core's texts are UTF-8; everything reaches Windows through the wide
// functions, so Russian texts and file names show the same on every system
// code page.
#include "commands/command_table.h"
#include "commands/param_dialog.h"
#include "shell/chooser_filters.h"
#include "shell/guide_location.h"
#include "commands/platform.h"
#include "explain_window.h"
#include "journal_window.h"
#include "shell_win32.h"
#include "text.h"
#include "text/catalogue.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>

#include <vector>

namespace {

HWND slider_window = nullptr;
ParamDialog* open_dialog = nullptr;  // the description of the dialog on screen
HCURSOR cursor_before_busy = nullptr;

std::int32_t slider_position()
{
    return static_cast<std::int32_t>(SendMessageW(slider_window, TBM_GETPOS, 0, 0));
}

void set_value_text(HWND dialog, const std::string& text)
{
    SetDlgItemTextW(dialog, IDC_VALUE, widen(text).c_str());
}

void open_param_dialog(HWND dialog)
{
    const ParamDialogView view = param_dialog_open(*open_dialog);
    slider_window = GetDlgItem(dialog, IDC_SLIDER);
    SetWindowTextW(dialog, widen(view.title).c_str());
    SetDlgItemTextW(dialog, IDCANCEL, widen(text::tr("Отмена")).c_str());
    SetDlgItemTextW(dialog, IDC_MIN_LABEL, widen(view.min_label).c_str());
    SetDlgItemTextW(dialog, IDC_MAX_LABEL, widen(view.max_label).c_str());
    set_value_text(dialog, view.value_text);
    // The trackbar takes its range as two signed 16-bit halves.
    SendMessageW(slider_window, TBM_SETRANGE, TRUE, MAKELPARAM(view.range_min, view.range_max));
    SendMessageW(slider_window, TBM_SETTICFREQ, static_cast<WPARAM>(view.tick_step), view.range_min);
    SendMessageW(slider_window, TBM_SETPOS, TRUE, view.position);
    SetFocus(slider_window);
}

INT_PTR CALLBACK param_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        open_param_dialog(dialog);
        return FALSE;  // the focus stays on the slider
    case WM_HSCROLL:
        set_value_text(dialog, param_dialog_slider_moved(*open_dialog, slider_position()));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wparam) == IDOK) {
            EndDialog(dialog, param_dialog_ok(*open_dialog, slider_position()));
            return TRUE;
        }
        if (LOWORD(wparam) == IDCANCEL) {
            EndDialog(dialog, param_dialog_cancel(*open_dialog));
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE:
        EndDialog(dialog, param_dialog_cancel(*open_dialog));
        return TRUE;
    default: return FALSE;
    }
}

}  // namespace

void show_message(const char* caption, const char* text)
{
    MessageBoxW(nullptr, widen(text).c_str(), widen(caption).c_str(), MB_OK);
}

int show_param_dialog(WindowHandle owner, ParamDialog& description)
{
    open_dialog = &description;
    const INT_PTR code = DialogBoxParamW(app_instance, MAKEINTRESOURCEW(IDD_PARAM), static_cast<HWND>(owner),
                                         param_dialog_proc, 0);
    open_dialog = nullptr;
    if (code == 1) return 1;
    // A dialog that could not even be created counts as cancelled, and must
    // not leave the power-of-two mode behind for the next one.
    if (code != 2) param_dialog_cancel(description);
    return 2;
}

bool choose_picture_file(WindowHandle owner, const char* title, const char* initial_directory, const char* filter,
                         std::filesystem::path& file, int flags, bool save)
{
    const std::wstring wide_title = widen(title);
    const std::wstring wide_directory = initial_directory != nullptr ? widen(initial_directory) : std::wstring();
    const std::wstring wide_filter = widen_string_list(filter);
    wchar_t chosen[256] = {};
    if (save) {  // the proposed name, when it fits
        const std::wstring proposed = file.filename().wstring();
        if (proposed.size() < 256) proposed.copy(chosen, proposed.size());
    }

    OPENFILENAMEW dialog{};
    dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;  // the classic dialog, without the later extensions
    dialog.hwndOwner = static_cast<HWND>(owner);
    dialog.lpstrFilter = wide_filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = chosen;
    dialog.nMaxFile = 256;
    dialog.nMaxFileTitle = 256;
    dialog.lpstrInitialDir = initial_directory != nullptr ? wide_directory.c_str() : nullptr;
    dialog.lpstrTitle = wide_title.c_str();
    dialog.Flags = static_cast<DWORD>(flags);
    // A name typed without an extension gets the selected filter's; the
    // dialog then asks about replacing the file under its full name.
    std::vector<std::wstring> extensions;
    if (save)
        for (const ChooserFilter& f : chooser_filters(filter)) extensions.push_back(widen(f.extension));
    if (!extensions.empty() && !extensions.front().empty()) dialog.lpstrDefExt = extensions.front().c_str();
    const BOOL done = save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (done == 0) return false;
    file = std::filesystem::path(chosen);
    if (save && !file.has_extension() && dialog.nFilterIndex >= 1 && dialog.nFilterIndex <= extensions.size() &&
        !extensions[dialog.nFilterIndex - 1].empty())
        file += L"." + extensions[dialog.nFilterIndex - 1];
    return true;
}

void request_repaint(WindowHandle window) { InvalidateRect(static_cast<HWND>(window), nullptr, TRUE); }

void destroy_window(WindowHandle window) { DestroyWindow(static_cast<HWND>(window)); }

void draw_segment_frames(WindowHandle window, std::span<const SegmentFrame>, std::span<const WindowLine> lines)
{
    HWND hwnd = static_cast<HWND>(window);
    HDC dc = GetDC(hwnd);
    for (const WindowLine& line : lines) {
        MoveToEx(dc, line.x0, line.y0, nullptr);
        LineTo(dc, line.x1, line.y1);
    }
    ReleaseDC(hwnd, dc);
}

void show_status_bar(WindowHandle, bool shown)
{
    if (status_window != nullptr) ShowWindow(status_window, shown ? SW_SHOW : SW_HIDE);
}

void show_explain_panel(WindowHandle, bool shown) { show_explain_window(shown); }
// The language chosen in the view menu, for the next start; language_changed
// is the main window's (main.cpp).
namespace {
constexpr wchar_t kSettingsKey[] = L"Software\\Lumaforge";
constexpr wchar_t kLanguageValue[] = L"Language";
}  // namespace

void remember_language(const std::string& code)
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;  // not remembered: the next start is in the default language
    const std::wstring wide = widen(code);
    RegSetValueExW(key, kLanguageValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

std::string remembered_language()
{
    wchar_t value[16] = {};
    DWORD bytes = sizeof value - sizeof(wchar_t);  // room for a terminating NUL
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, kLanguageValue, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::string code;
    for (const wchar_t* c = value; *c != L'\0'; ++c) {
        if (*c >= 128) return {};  // no language's code
        code += static_cast<char>(*c);
    }
    return code;
}

void show_journal_panel(WindowHandle, bool shown) { show_journal_window(shown); }

std::string guide_path()
{
    std::vector<wchar_t> name(32768);
    const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (length == 0 || length >= name.size()) return {};
    return find_guide(std::filesystem::path(std::wstring(name.data(), length)).parent_path());
}

bool show_document(WindowHandle window, const std::string& path)
{
    const HINSTANCE result = ShellExecuteW(static_cast<HWND>(window), L"open", widen(path).c_str(), nullptr, nullptr,
                                           SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

void begin_busy() { cursor_before_busy = SetCursor(LoadCursorW(nullptr, IDC_WAIT)); }

void end_busy() { SetCursor(cursor_before_busy); }
