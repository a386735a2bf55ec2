// The Windows program: start-up, the main window procedure and the message
// loop. Every menu choice and accelerator goes to run_command; the view is
// rendered by the core into a frame and blitted in one piece. A picture file
// named on the command line ("Open with" passes one quoted path) or dropped
// on the window opens as the open command opens it.
#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "shell/view.h"
#include "shell_win32.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

#include <filesystem>

HINSTANCE app_instance = nullptr;
HWND main_window = nullptr;

namespace {

constexpr wchar_t kClassName[] = L"Lumaforge";
constexpr wchar_t kWindowTitle[] = L"Обработка изображений.";
constexpr wchar_t kStartupCaption[] = L"Ошибка";

// Everything the program keeps between commands.
Session session;

// The client area as the core renders it; kept between paints so a repaint
// reuses its buffer.
Frame client_frame;

void set_scroll_range(HWND window, int bar, std::int32_t limit)
{
    SetScrollRange(window, bar, 0, limit > 0 ? limit : 0, TRUE);
}

void on_create()
{
    session.image_a.pixels.reset();
    session.image_b.pixels.reset();
    session.reset_param_dialog_spec();
}

void on_destroy()
{
    session.release_all_images();
    PostQuitMessage(0);
}

// One blit of the whole rendered client area, so nothing flickers: the
// background erase does nothing while a picture is shown.
void on_paint(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    if (client.right > 0 && client.bottom > 0) {
        client_frame.resize(client.right, client.bottom);
        render_client(client_frame, session, session);

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
    }
    EndPaint(window, &paint);
    // The limits belong to a shown picture; changing a range may show or hide
    // a bar, and the resize that follows paints again with the new client size.
    if (session.current_image != nullptr) {
        set_scroll_range(window, SB_HORZ, session.scroll_max_x);
        set_scroll_range(window, SB_VERT, session.scroll_max_y);
    }
}

LRESULT on_erase_background(HWND window, HDC dc)
{
    if (session.current_image == nullptr) {
        RECT client;
        GetClientRect(window, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    return 1;
}

void on_scroll(HWND window, int bar, WPARAM wparam)
{
    const int code = LOWORD(wparam), thumb = HIWORD(wparam);
    if (bar == SB_HORZ)
        scroll_horizontal(session, code, thumb);
    else
        scroll_vertical(session, code, thumb);
    SetScrollPos(window, bar, bar == SB_HORZ ? session.scroll_x : session.scroll_y, TRUE);
    InvalidateRect(window, nullptr, TRUE);
}

// The first of the files dropped on the window.
void on_drop_files(HWND window, HDROP drop)
{
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring name(length, L'\0');
    if (length > 0) DragQueryFileW(drop, 0, name.data(), length + 1);
    DragFinish(drop);
    if (length > 0) open_path(session, window, std::filesystem::path(name));
}

// The picture named on the command line, if any.
void open_from_command_line(HWND window)
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(GetCommandLineW(), &count);
    if (words == nullptr) return;
    const std::wstring name = count >= 2 ? words[1] : L"";
    LocalFree(words);
    if (!name.empty()) open_path(session, window, std::filesystem::path(name));
}

LRESULT CALLBACK main_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_CREATE: on_create(); return 0;
    case WM_DESTROY: on_destroy(); return 0;
    case WM_PAINT: on_paint(window); return 0;
    case WM_ERASEBKGND: return on_erase_background(window, reinterpret_cast<HDC>(wparam));
    case WM_COMMAND: run_command(session, window, LOWORD(wparam)); return 0;
    case WM_HSCROLL: on_scroll(window, SB_HORZ, wparam); return 0;
    case WM_VSCROLL: on_scroll(window, SB_VERT, wparam); return 0;
    case WM_DROPFILES: on_drop_files(window, reinterpret_cast<HDROP>(wparam)); return 0;
    default: return DefWindowProcW(window, message, wparam, lparam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    WNDCLASSW window_class{};
    window_class.style = CS_HREDRAW | CS_VREDRAW;
    window_class.lpfnWndProc = main_window_proc;
    window_class.hInstance = instance;
    window_class.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    window_class.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    window_class.lpszClassName = kClassName;
    app_instance = instance;
    if (RegisterClassW(&window_class) == 0) {
        MessageBoxW(nullptr, L"Ошибка регистрации.", kStartupCaption, MB_OK);
        return 0;
    }

    main_window = CreateWindowExW(0, kClassName, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_HSCROLL,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, nullptr);
    if (main_window == nullptr) {
        MessageBoxW(nullptr, L"Не удалось создать окно.", kStartupCaption, MB_OK);
        return 0;
    }

    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
    InitCommonControls();
    // The picture codecs and the file dialogs work in this one thread's
    // apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    DragAcceptFiles(main_window, TRUE);
    ShowWindow(main_window, SW_SHOWMAXIMIZED);
    UpdateWindow(main_window);
    open_from_command_line(main_window);

    MSG message;
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        // Retrieval itself failed (the queue or the window is gone): there is
        // nothing left to run.
        if (got == -1) return 1;
        if (TranslateAcceleratorW(main_window, accelerators, &message) == 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}
