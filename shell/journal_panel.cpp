#include "shell/journal_panel.h"

#include "text/catalogue.h"

JournalPanelText journal_panel_text(const Journal& journal, Shell shell)
{
    JournalPanelText panel;
    std::string& text = panel.text;
    if (journal.steps.empty()) {
        text = text::tr("Шагов нет: откройте картинку.\n");
    } else {
        text = text::tr("Шаги с открытия:\n");
        for (const std::string& step : journal.steps) text += "  " + step + "\n";
        panel.command_line = command_line(journal_words(journal), shell);
        text += text::format("\nКомандная строка:\n%1\n", {panel.command_line});
    }
    if (journal.made_by) {
        const Recipe& r = *journal.made_by;
        text += text::format("\nКак получена эта картинка:\n%1\n(исходный файл %2, %3 байт, SHA-256 %4; версия %5)\n",
                             {command_line(recipe_words(r), shell), r.input, std::to_string(r.size), r.sha256, r.version});
    } else if (!journal.made_by_damage.empty()) {
        text += text::format("\nРецепт в файле не принят: %1\n", {journal.made_by_damage});
    }
    return panel;
}
