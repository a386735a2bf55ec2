#include "shell/qt/file_chooser.h"

#include <QFile>
#include <QStringList>

#include "shell/chooser_filters.h"
#include "commands/platform.h"
#include "shell/qt/main_window.h"
#include "shell/qt/texts.h"

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
    auto* dialog = new QFileDialog(owner, ui_text(title));
    dialog->setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
    dialog->setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (initial_directory != nullptr && initial_directory[0] != '\0')
        dialog->setDirectory(QString::fromUtf8(initial_directory));
    QStringList filters, descriptions, suffixes;
    for (const ChooserFilter& f : chooser_filters(filter)) {
        // Qt separates patterns by blanks, the filter lists by ';'.
        const QString patterns = QString::fromStdString(f.patterns).replace(QLatin1Char(';'), QLatin1Char(' '));
        descriptions << ui_text(f.description);
        filters << descriptions.back() + QStringLiteral(" (") + patterns + QStringLiteral(")");
        // "*.png" gives a name typed without an extension ".png".
        suffixes << QString::fromStdString(f.extension);
    }
    dialog->setNameFilters(filters);
    if (!filters.isEmpty()) dialog->selectNameFilter(filters.front());
    if (save && !suffixes.isEmpty()) {
        dialog->setDefaultSuffix(suffixes.front());
        // The signal carries the filter as shown: its description alone.
        QObject::connect(dialog, &QFileDialog::filterSelected, dialog,
                         [dialog, filters, descriptions, suffixes](const QString& shown) {
                             qsizetype i = descriptions.indexOf(shown);
                             if (i < 0) i = filters.indexOf(shown);
                             if (i >= 0) dialog->setDefaultSuffix(suffixes[i]);
                         });
    }
    return dialog;
}

bool choose_picture_file(WindowHandle owner, const char* title, const char* initial_directory, const char* filter,
                         std::filesystem::path& file, int /*flags*/, bool save)
{
    auto* window = static_cast<MainWindow*>(owner);
    QFileDialog* dialog = make_file_dialog(window, title, initial_directory, filter, save);
    if (save && !file.empty()) dialog->selectFile(QString::fromStdU16String(file.filename().u16string()));
    bool chosen = false;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty()) {
        file = to_path(dialog->selectedFiles().front());
        chosen = true;
    }
    delete dialog;
    return chosen;
}
