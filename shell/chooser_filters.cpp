#include "shell/chooser_filters.h"

std::vector<ChooserFilter> chooser_filters(const char* filter)
{
    std::vector<ChooserFilter> filters;
    for (const char* p = filter; p != nullptr && *p != '\0';) {
        ChooserFilter f;
        f.description = p;
        p += f.description.size() + 1;
        f.patterns = p;
        p += f.patterns.size() + 1;
        const std::string first = f.patterns.substr(0, f.patterns.find(';'));
        if (first.rfind("*.", 0) == 0 && first.size() > 2 && first.find_first_of("*?", 2) == std::string::npos)
            f.extension = first.substr(2);
        const bool last = f.patterns.empty();  // a description without patterns ends the list
        filters.push_back(std::move(f));
        if (last) break;
    }
    return filters;
}
