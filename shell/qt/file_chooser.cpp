#include "shell/qt/file_chooser.h"

#include <QFile>
#include <QStringList>
#include <cstring>
#include <optional>

#include "shell/platform.h"
#include "shell/qt/main_window.h"

namespace {
std::optional<std::filesystem::path> next_answer;
}

std::filesystem::path to_path(const QString& name)
{
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    const QByteArray bytes = QFile::encodeName(name);
    return std::filesystem::path(std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())));
#endif
}

QFileDialog* make_file_dialog(QWidget* owner, const char* title, const char* initial_directory, const char* filter,
                              bool save)
{
    auto* dialog = new QFileDialog(owner, QString::fromUtf8(title));
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (initial_directory != nullptr && initial_directory[0] != '\0')
        dialog->setDirectory(QString::fromUtf8(initial_directory));
    QStringList filters;
    for (const char* p = filter; p != nullptr && *p != '\0';) {
        const char* description = p;
        const char* pattern = p + std::strlen(p) + 1;
        filters << QString::fromUtf8(description) + QStringLiteral(" (") + QString::fromUtf8(pattern) +
                       QStringLiteral(")");
        if (*pattern == '\0') break;
        p = pattern + std::strlen(pattern) + 1;
    }
    dialog->setNameFilters(filters);
    if (!filters.isEmpty()) dialog->selectNameFilter(filters.front());
    return dialog;
}

void answer_next_file_dialog_with(const std::filesystem::path& file) { next_answer = file; }

int choose_bmp_file(WindowHandle owner, const char* title, const char* initial_directory, const char* filter,
                    std::filesystem::path& file, int /*flags*/, int save)
{
    if (next_answer) {
        file = *next_answer;
        next_answer.reset();
        return 1;
    }
    auto* window = static_cast<MainWindow*>(owner);
    QFileDialog* dialog = make_file_dialog(window, title, initial_directory, filter, save != 0);
    int chosen = 0;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        file = to_path(dialog->selectedFiles().front());
        chosen = 1;
    }
    delete dialog;
    return chosen;
}
