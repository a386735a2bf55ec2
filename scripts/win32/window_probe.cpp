// What the Wine test cannot see on the screen: the texts of another
// program's windows, read through the Windows API and printed as UTF-8 lines.
//
//   window_probe menu TITLE       the window's menu bar: "menu\tCAPTION" for each
//                                 popup, then "language\tID[\tchecked]" for each
//                                 language item
//   window_probe status TITLE     the parts of the status bar in the window TITLE
//   window_probe children TITLE   the texts of the window's child windows
//
// A menu belongs to its process under Wine: `menu` loads a fresh copy of
// window_probe_menu.dll (beside this program) into the window's process,
// which writes what it finds to a file read back here.
//
// Exit code 1, with the reason on the error stream, when the window or the
// item is not there.
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace {

void write(HANDLE to, const std::wstring& text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes, nullptr,
                        nullptr);
    utf8 += '\n';
    DWORD written = 0;
    WriteFile(to, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void line(const std::wstring& text) { write(GetStdHandle(STD_OUTPUT_HANDLE), text); }

int fail(const std::wstring& why)
{
    write(GetStdHandle(STD_ERROR_HANDLE), L"window_probe: " + why);
    return 1;
}

std::wstring window_text(HWND window)
{
    std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1);
    GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return text.data();
}

int menu_bar(HWND window)
{
    wchar_t self[MAX_PATH] = {}, temp[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring dll = self;
    dll = dll.substr(0, dll.find_last_of(L"\\/") + 1) + L"window_probe_menu.dll";
    GetTempPathW(MAX_PATH, temp);
    // A new name each time: a DLL already loaded would not run again.
    const std::wstring copy = std::wstring(temp) + L"window_probe_menu-" + std::to_wstring(GetCurrentProcessId()) +
                              L"-" + std::to_wstring(GetTickCount64()) + L".dll";
    const std::wstring result = copy + L".txt";
    if (!CopyFileW(dll.c_str(), copy.c_str(), FALSE)) return fail(L"cannot copy " + dll);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    HANDLE process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                     PROCESS_VM_WRITE | PROCESS_VM_READ,
                                 FALSE, process_id);
    if (process == nullptr) return fail(L"the window's process cannot be opened");
    const std::size_t bytes = (copy.size() + 1) * sizeof(wchar_t);
    void* remote = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT, PAGE_READWRITE);
    HANDLE thread = nullptr;
    if (remote != nullptr && WriteProcessMemory(process, remote, copy.c_str(), bytes, nullptr)) {
        const auto load = reinterpret_cast<LPTHREAD_START_ROUTINE>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
        thread = CreateRemoteThread(process, nullptr, 0, load, remote, 0, nullptr);
    }
    const bool done = thread != nullptr && WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
    if (thread != nullptr) CloseHandle(thread);
    if (remote != nullptr && done) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    if (!done) return fail(L"the menu reader did not run in the window's process");
    HANDLE file = CreateFileW(result.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return fail(L"the menu reader wrote nothing");
    std::string text(65536, '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    DeleteFileW(result.c_str());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), read, &written, nullptr);
    return text.compare(0, 6, "error\t") == 0 ? 1 : 0;
}

// The status bar belongs to the other process: its texts are copied into
// memory allocated there, then read back.
int status_bar(HWND window)
{
    HWND bar = FindWindowExW(window, nullptr, STATUSCLASSNAMEW, nullptr);
    if (bar == nullptr) return fail(L"the window has no status bar");
    DWORD process_id = 0;
    GetWindowThreadProcessId(bar, &process_id);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ, FALSE, process_id);
    if (process == nullptr) return fail(L"the window's process cannot be read");
    constexpr std::size_t kChars = 1024;
    void* remote = VirtualAllocEx(process, nullptr, kChars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE);
    const int parts = static_cast<int>(SendMessageW(bar, SB_GETPARTS, 0, 0));
    for (int i = 0; remote != nullptr && i < parts; ++i) {
        const LRESULT length = LOWORD(SendMessageW(bar, SB_GETTEXTLENGTHW, static_cast<WPARAM>(i), 0));
        std::vector<wchar_t> text(kChars, L'\0');
        if (length < static_cast<LRESULT>(kChars)) {
            SendMessageW(bar, SB_GETTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(remote));
            SIZE_T read = 0;
            ReadProcessMemory(process, remote, text.data(), (static_cast<std::size_t>(length) + 1) * sizeof(wchar_t),
                              &read);
        }
        line(text.data());
    }
    if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return remote != nullptr ? 0 : fail(L"no memory in the window's process");
}

BOOL CALLBACK print_child(HWND child, LPARAM)
{
    line(window_text(child));
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) return fail(L"usage: window_probe menu|status|children TITLE");
    const std::wstring what = argv[1];
    HWND window = FindWindowW(nullptr, argv[2]);
    if (window == nullptr) return fail(std::wstring(L"no window titled ") + argv[2]);
    if (what == L"menu") return menu_bar(window);
    if (what == L"status") return status_bar(window);
    if (what == L"children") {
        EnumChildWindows(window, print_child, 0);
        return 0;
    }
    return fail(L"unknown request " + what);
}
