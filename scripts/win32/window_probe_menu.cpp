// Loaded into the running program by window_probe (menus are the owning
// process's own under Wine, so another process cannot read them): writes
// the main window's menu bar captions, then the language items checked, to
// the file named as this DLL with ".txt" added, one UTF-8 line each.
#include <windows.h>

#include <string>

namespace {

void dump(HINSTANCE self)
{
    wchar_t name[MAX_PATH] = {};
    GetModuleFileNameW(self, name, MAX_PATH);
    const std::wstring out = std::wstring(name) + L".txt";
    std::wstring text;
    HWND window = FindWindowW(L"Lumaforge", nullptr);
    HMENU menu = window != nullptr ? GetMenu(window) : nullptr;
    if (menu == nullptr) {
        text = L"error\tno main window with a menu\n";
    } else {
        for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            wchar_t caption[256] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), caption, 256, MF_BYPOSITION);
            text += L"menu\t" + std::wstring(caption) + L"\n";
        }
        for (UINT id = 40081; id <= 40099; ++id) {
            const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
            if (state != static_cast<UINT>(-1))
                text += L"language\t" + std::to_wstring(id) + ((state & MF_CHECKED) != 0 ? L"\tchecked\n" : L"\n");
        }
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    HANDLE file = CreateFileW(out.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) dump(self);
    return TRUE;
}
