#include "text.h"

#include <windows.h>

#include <cstring>

std::wstring widen(std::string_view utf8)
{
    if (utf8.empty()) return {};
    const int length = static_cast<int>(utf8.size());
    const int wide_length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wide_length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wide_length);
    return wide;
}

std::wstring widen_string_list(const char* list)
{
    std::wstring wide;
    for (const char* item = list; *item != '\0'; item += std::strlen(item) + 1) {
        wide += widen(item);
        wide += L'\0';
    }
    return wide;
}
