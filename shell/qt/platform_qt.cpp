// The platform services of the Qt front end (shell/platform.h).
#include <QApplication>
#include <QCursor>
#include <QMessageBox>

#include "shell/platform.h"
#include "shell/qt/main_window.h"
#include "shell/qt/parameter_dialog.h"

void show_message(const char* caption, const char* text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(caption), QString::fromUtf8(text), QMessageBox::Ok);
    box.exec();
}

int show_param_dialog(WindowHandle owner, ParamDialog& description)
{
    ParameterDialog dialog(static_cast<MainWindow*>(owner), description);
    return dialog.exec();
}

void request_repaint(WindowHandle window) { static_cast<MainWindow*>(window)->request_repaint(); }

void destroy_window(WindowHandle window) { static_cast<MainWindow*>(window)->destroy(); }

void draw_segment_frames(WindowHandle window, std::span<const SegmentFrame>, std::span<const WindowLine> lines)
{
    static_cast<MainWindow*>(window)->view()->draw_lines(lines);
}

void begin_busy() { QApplication::setOverrideCursor(Qt::WaitCursor); }
void end_busy() { QApplication::restoreOverrideCursor(); }
