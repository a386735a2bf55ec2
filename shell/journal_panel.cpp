#include "shell/journal_panel.h"

JournalPanelText journal_panel_text(const Journal& journal, Shell shell)
{
    JournalPanelText panel;
    std::string& text = panel.text;
    if (journal.steps.empty()) {
        text = "Шагов нет: откройте картинку.\n";
    } else {
        text = "Шаги с открытия:\n";
        for (const std::string& step : journal.steps) text += "  " + step + "\n";
        panel.command_line = command_line(journal_words(journal), shell);
        text += "\nКомандная строка:\n" + panel.command_line + "\n";
    }
    if (journal.made_by) {
        const Recipe& r = *journal.made_by;
        text += "\nКак получена эта картинка:\n" + command_line(recipe_words(r), shell) + "\n(исходный файл " +
                r.input + ", " + std::to_string(r.size) + " байт, SHA-256 " + r.sha256 + "; версия " + r.version +
                ")\n";
    } else if (!journal.made_by_damage.empty()) {
        text += "\nРецепт в файле не принят: " + journal.made_by_damage + "\n";
    }
    return panel;
}
