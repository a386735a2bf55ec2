// The program's texts as Qt strings, in the language in use
// (text/catalogue.h). Not named tr: inside a QObject that name is Qt's own.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "text/catalogue.h"

inline QString ui_text(const char* russian) { return QString::fromUtf8(text::tr(russian)); }

inline QString ui_text(std::string_view russian)
{
    const std::string shown = text::tr(russian);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}
