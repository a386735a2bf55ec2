#include <string>

#include "commands/dispatch.h"
#include "commands/platform.h"
#include "lumaforge_version.h"
#include "text/catalogue.h"

namespace {

constexpr const char* kGuideCaption = "Руководство";
constexpr const char* kAboutCaption = "О программе";

// The compiler as the build names it, for the about box.
std::string compiler_name()
{
#if defined(__clang__)
    std::string name = "clang " __clang_version__;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    return name;
#elif defined(__GNUC__)
    return "GCC " __VERSION__;
#else
    return "C++ " + std::to_string(__cplusplus);
#endif
}

}  // namespace

std::string about_text(const std::string& guide)
{
    std::string text = "Lumaforge " LUMAFORGE_VERSION "\n";
    text += text::tr("Обработка изображений: лабораторные работы курса.\n\n");
    text += text::format("Сборка: %1, %2\n", {__DATE__, compiler_name()});
    text += text::tr("Лицензия: лицензия пока не выбрана; все права принадлежат разработчикам Lumaforge.\n\n");
    text += guide.empty() ? std::string(text::tr("Руководство не установлено.")) : text::format("Руководство: %1", {guide});
    return text;
}

void guide_command(Session&, WindowHandle window)
{
    const std::string guide = guide_path();
    if (guide.empty()) {
        show_message(text::tr(kGuideCaption), text::tr("Руководство не найдено: оно устанавливается вместе с программой."));
        return;
    }
    if (!show_document(window, guide))
        show_message(text::tr(kGuideCaption), text::format("Не открывается руководство:\n%1", {guide}).c_str());
}

void about_command(Session&, WindowHandle) { show_message(text::tr(kAboutCaption), about_text(guide_path()).c_str()); }

void language_menu_command(Session&, WindowHandle) {}

int language_of_item(int id)
{
    if (id < kFirstLanguageId || id > kLastLanguageId) return -1;
    const int index = id - kFirstLanguageId;
    return index < static_cast<int>(text::languages().size()) ? index : -1;
}

void choose_language(Session&, WindowHandle window, int id)
{
    const int index = language_of_item(id);
    if (index < 0) return;
    const std::string code = text::languages()[static_cast<std::size_t>(index)].code;
    text::set_language(code);
    remember_language(code);
    language_changed(window);
}
