// The kernel dialog of the Windows program, on template IDD_KERNEL, through
// the core's kernel dialog logic (commands/kernel_dialog.h). OK with a field
// out of range keeps the dialog open and says which field.
#include "commands/command_table.h"
#include "commands/kernel_dialog.h"
#include "commands/platform.h"
#include "shell_win32.h"
#include "text.h"
#include "text/catalogue.h"

#include <cstdlib>
#include <initializer_list>
#include <string>

namespace {

CustomKernel* open_kernel = nullptr;  // the kernel the dialog opened with; OK's result

// The grid field of weight (r, c) of a kernel of `size`: a 3x3 kernel takes
// the middle nine.
int weight_id(int size, int r, int c) { return IDC_KERNEL_WEIGHT + (size == 5 ? r * 5 + c : (r + 1) * 5 + c + 1); }

std::string field_text(HWND dialog, int id)
{
    wchar_t wide[64] = {};
    GetDlgItemTextW(dialog, id, wide, 64);
    char utf8[256] = {};
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr);
    std::string text = utf8;
    while (!text.empty() && text.back() == ' ') text.pop_back();
    while (!text.empty() && text.front() == ' ') text.erase(0, 1);
    return text;
}

void set_field(HWND dialog, int id, const std::string& text) { SetDlgItemTextW(dialog, id, widen(text).c_str()); }

int selection(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0)); }

void show_size(HWND dialog, int size)
{
    for (int i = 0; i < 25; ++i) {
        const int r = i / 5, c = i % 5;
        const bool shown = size == 5 || (r >= 1 && r <= 3 && c >= 1 && c <= 3);
        ShowWindow(GetDlgItem(dialog, IDC_KERNEL_WEIGHT + i), shown ? SW_SHOW : SW_HIDE);
        if (!shown) set_field(dialog, IDC_KERNEL_WEIGHT + i, "0");
    }
}

void show_kernel(HWND dialog, const CustomKernel& kernel)
{
    const KernelFields f = kernel_field_texts(kernel);
    SendDlgItemMessageW(dialog, IDC_KERNEL_SIZE, CB_SETCURSEL, f.size == 5 ? 1 : 0, 0);
    show_size(dialog, f.size);
    for (int r = 0; r < f.size; ++r)
        for (int c = 0; c < f.size; ++c) set_field(dialog, weight_id(f.size, r, c), f.weights[r * f.size + c]);
    const bool automatic = f.divisor == "auto";
    CheckDlgButton(dialog, IDC_KERNEL_AUTO, automatic ? BST_CHECKED : BST_UNCHECKED);
    set_field(dialog, IDC_KERNEL_DIVISOR, automatic ? std::to_string(kernel_divisor(kernel)) : f.divisor);
    EnableWindow(GetDlgItem(dialog, IDC_KERNEL_DIVISOR), !automatic);
    set_field(dialog, IDC_KERNEL_OFFSET, f.offset);
    SendDlgItemMessageW(dialog, IDC_KERNEL_RULE, CB_SETCURSEL, static_cast<WPARAM>(f.out_of_range), 0);
    SendDlgItemMessageW(dialog, IDC_KERNEL_CHANNELS, CB_SETCURSEL, static_cast<WPARAM>(f.channels), 0);
    set_field(dialog, IDC_KERNEL_ERROR, "");
}

// The items of a list, each in the language in use.
void add_items(HWND dialog, int id, std::initializer_list<const char*> items)
{
    for (const char* item : items)
        SendDlgItemMessageW(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text::tr(item)).c_str()));
}

// The template's texts (Russian) in the language in use.
void translate_texts(HWND dialog)
{
    SetWindowTextW(dialog, widen(text::tr(kKernelDialogTitle)).c_str());
    constexpr const char* kLabels[] = {"Образец:", "Размер:", "Делитель:", "Сдвиг:", "Вне 0..255:", "Каналы:"};
    for (int i = 0; i < 6; ++i) SetDlgItemTextW(dialog, IDC_KERNEL_LABEL + i, widen(text::tr(kLabels[i])).c_str());
    SetDlgItemTextW(dialog, IDC_KERNEL_AUTO, widen(text::tr("авто (сумма весов)")).c_str());
    SetDlgItemTextW(dialog, IDCANCEL, widen(text::tr("Отмена")).c_str());
}

void open_kernel_dialog(HWND dialog)
{
    translate_texts(dialog);
    add_items(dialog, IDC_KERNEL_PRESET, {"(свой)"});
    for (const KernelPreset& p : kernel_presets()) add_items(dialog, IDC_KERNEL_PRESET, {p.caption});
    SendDlgItemMessageW(dialog, IDC_KERNEL_PRESET, CB_SETCURSEL, 0, 0);
    add_items(dialog, IDC_KERNEL_SIZE, {"3x3", "5x5"});
    add_items(dialog, IDC_KERNEL_RULE, {kOutOfRangeCaptions[0], kOutOfRangeCaptions[1], kOutOfRangeCaptions[2]});
    add_items(dialog, IDC_KERNEL_CHANNELS, {kChannelCaptions[0], kChannelCaptions[1]});
    show_kernel(dialog, *open_kernel);
    // The focus on the first weight, its text selected for typing over.
    HWND first = GetDlgItem(dialog, weight_id(open_kernel->size, 0, 0));
    SetFocus(first);
    SendMessageW(first, EM_SETSEL, 0, -1);
}

// The grid at the other size, the middle 3x3 kept.
void resize(HWND dialog, int size)
{
    const int old_size = size == 5 ? 3 : 5;
    CustomKernel k{};
    k.size = static_cast<std::uint8_t>(old_size);
    for (int r = 0; r < old_size; ++r)
        for (int c = 0; c < old_size; ++c)
            k.weights[r * old_size + c] = static_cast<std::int16_t>(std::atoi(field_text(dialog, weight_id(old_size, r, c)).c_str()));
    k = kernel_resized(k, size);
    show_size(dialog, size);
    for (int r = 0; r < size; ++r)
        for (int c = 0; c < size; ++c) set_field(dialog, weight_id(size, r, c), std::to_string(k.weights[r * size + c]));
}

bool read_fields(HWND dialog)
{
    KernelFields f;
    f.size = selection(dialog, IDC_KERNEL_SIZE) == 1 ? 5 : 3;
    for (int r = 0; r < f.size; ++r)
        for (int c = 0; c < f.size; ++c) f.weights[r * f.size + c] = field_text(dialog, weight_id(f.size, r, c));
    f.divisor = IsDlgButtonChecked(dialog, IDC_KERNEL_AUTO) == BST_CHECKED ? "auto" : field_text(dialog, IDC_KERNEL_DIVISOR);
    f.offset = field_text(dialog, IDC_KERNEL_OFFSET);
    f.out_of_range = selection(dialog, IDC_KERNEL_RULE);
    f.channels = selection(dialog, IDC_KERNEL_CHANNELS);
    std::string error;
    if (kernel_from_fields(f, *open_kernel, error)) return true;
    set_field(dialog, IDC_KERNEL_ERROR, error);
    MessageBeep(MB_ICONWARNING);
    return false;
}

INT_PTR CALLBACK kernel_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        open_kernel_dialog(dialog);
        return FALSE;  // the focus is set
    case WM_COMMAND:
        switch (LOWORD(wparam)) {
        case IDOK:
            if (read_fields(dialog)) EndDialog(dialog, 1);
            return TRUE;
        case IDCANCEL: EndDialog(dialog, 2); return TRUE;
        case IDC_KERNEL_PRESET:
            if (HIWORD(wparam) == CBN_SELCHANGE) {
                const int index = selection(dialog, IDC_KERNEL_PRESET);
                if (index > 0) show_kernel(dialog, kernel_presets()[static_cast<std::size_t>(index - 1)].kernel);
            }
            return TRUE;
        case IDC_KERNEL_SIZE:
            if (HIWORD(wparam) == CBN_SELCHANGE) resize(dialog, selection(dialog, IDC_KERNEL_SIZE) == 1 ? 5 : 3);
            return TRUE;
        case IDC_KERNEL_AUTO:
            EnableWindow(GetDlgItem(dialog, IDC_KERNEL_DIVISOR), IsDlgButtonChecked(dialog, IDC_KERNEL_AUTO) != BST_CHECKED);
            return TRUE;
        }
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, 2); return TRUE;
    default: return FALSE;
    }
}

}  // namespace

int show_kernel_dialog(WindowHandle owner, CustomKernel& kernel)
{
    CustomKernel edited = kernel;
    open_kernel = &edited;
    const INT_PTR code = DialogBoxParamW(app_instance, MAKEINTRESOURCEW(IDD_KERNEL), static_cast<HWND>(owner),
                                         kernel_dialog_proc, 0);
    open_kernel = nullptr;
    if (code != 1) return 2;
    kernel = edited;
    return 1;
}
