// UTF-8 (the core's texts) to UTF-16 (what the wide Windows functions take).
#pragma once

#include <string>
#include <string_view>

std::wstring widen(std::string_view utf8);

// A filter list: pairs of NUL-terminated strings ending in an empty one. The
// result keeps the layout; its c_str() ends in the two NULs the file dialog
// expects.
std::wstring widen_string_list(const char* list);
