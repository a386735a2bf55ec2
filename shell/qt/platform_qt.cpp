// The platform services of the Qt front end (commands/platform.h).
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QUrl>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QSettings>
#include <QTranslator>

#include "commands/platform.h"
#include "shell/guide_location.h"
#include "shell/qt/kernel_editor.h"
#include "shell/qt/main_window.h"
#include "shell/qt/parameter_dialog.h"
#include "shell/qt/texts.h"

namespace {

// Where the program keeps what it remembers between starts: Qt's settings
// under the program's name (on Linux ~/.config/lumaforge/lumaforge.conf).
const QString kSettingsName = QStringLiteral("lumaforge");
const QString kLanguageKey = QStringLiteral("language");

}  // namespace

// A message box is answered with the mouse: while it is up the arrow shows,
// even in the middle of busy work.
void show_message(const char* caption, const char* text)
{
    QMessageBox box(QMessageBox::NoIcon, ui_text(caption), ui_text(text), QMessageBox::Ok);
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy) QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy) QApplication::restoreOverrideCursor();
}

int show_param_dialog(WindowHandle owner, ParamDialog& description)
{
    ParameterDialog dialog(static_cast<MainWindow*>(owner), description);
    return dialog.exec();
}

int show_kernel_dialog(WindowHandle owner, CustomKernel& kernel)
{
    KernelEditor dialog(static_cast<MainWindow*>(owner), kernel);
    if (dialog.exec() != 1) return 2;
    kernel = dialog.kernel();
    return 1;
}

void request_repaint(WindowHandle window) { static_cast<MainWindow*>(window)->request_repaint(); }

void destroy_window(WindowHandle window) { static_cast<MainWindow*>(window)->destroy(); }

void draw_segment_frames(WindowHandle window, std::span<const SegmentFrame>, std::span<const WindowLine> lines)
{
    static_cast<MainWindow*>(window)->view()->draw_lines(lines);
}

void show_status_bar(WindowHandle window, bool shown) { static_cast<MainWindow*>(window)->show_status_bar(shown); }

void language_changed(WindowHandle window)
{
    load_qt_translations();
    static_cast<MainWindow*>(window)->apply_language();
}

void remember_language(const std::string& code)
{
    QSettings settings(kSettingsName, kSettingsName);
    settings.setValue(kLanguageKey, QString::fromStdString(code));
}

std::string remembered_language()
{
    const QSettings settings(kSettingsName, kSettingsName);
    return settings.value(kLanguageKey).toString().toStdString();
}

void show_journal_panel(WindowHandle window, bool shown)
{
    static_cast<MainWindow*>(window)->show_journal_panel(shown);
}

void show_explain_panel(WindowHandle window, bool shown)
{
    static_cast<MainWindow*>(window)->show_explain_panel(shown);
}

std::string guide_path()
{
    return find_guide(std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()));
}

bool show_document(WindowHandle, const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

void begin_busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void end_busy() { QApplication::restoreOverrideCursor(); }

bool load_qt_translations()
{
    static QTranslator qt_texts;  // lives as long as the application
    QCoreApplication::removeTranslator(&qt_texts);
    const std::string code = text::language();
    if (code == "en") return true;  // Qt's texts are English
    if (!qt_texts.load(QLocale(QString::fromStdString(code)), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    return QCoreApplication::installTranslator(&qt_texts);
}
