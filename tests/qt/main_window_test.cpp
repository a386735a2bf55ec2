// The Qt front end on the offscreen platform: menus and shortcuts against the
// command table, the parameter dialog and the file dialog driven as a user
// would, the window's pixels against the renderer's frame, scrolling,
// segmentation lines, the panel that explains a pixel, refused files,
// the switch to English and back, and exit.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QMessageBox>
#include <QProcess>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QStatusBar>
#include <QStyleOptionMenuItem>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QUrl>
#include <algorithm>
#include <deque>
#include <functional>
#include <vector>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/journal.h"
#include "commands/kernel_dialog.h"
#include "commands/param_dialog.h"
#include "image/bmp.h"
#include "image/image_record.h"
#include "commands/measure.h"
#include "commands/pixel_status.h"
#include "commands/platform.h"
#include "shell/qt/app_icon.h"
#include "shell/qt/file_chooser.h"
#include "shell/qt/kernel_editor.h"
#include "shell/qt/main_window.h"
#include "shell/qt/measure_panel.h"
#include "shell/qt/parameter_dialog.h"
#include "render/view.h"
#include "shell/measure_tool.h"
#include "text/catalogue.h"

namespace {

QString u8(const char* text) { return QString::fromUtf8(text); }

// Answers modal windows as they open, in the order the test expects them.
// A message box nobody expected is recorded and closed; any other
// unexpected window is recorded and rejected, so no test can hang on one.
class ModalDriver : public QObject {
public:
    using Handler = std::function<void(QWidget*)>;

    ModalDriver()
    {
        timer_.setInterval(5);
        connect(&timer_, &QTimer::timeout, this, &ModalDriver::poll);
        timer_.start();
    }
    void expect(Handler handler) { handlers_.push_back(std::move(handler)); }
    bool all_answered() const { return handlers_.empty(); }

    struct Message {
        QString caption, text;
    };
    std::vector<Message> messages;
    QStringList unexpected;

private:
    void poll()
    {
        QWidget* w = QApplication::activeModalWidget();
        if (w == nullptr || !w->isVisible() || w->property("answered").toBool()) return;
        w->setProperty("answered", true);
        if (!handlers_.empty()) {
            Handler h = std::move(handlers_.front());
            handlers_.pop_front();
            h(w);
            // A handler that failed half-way must not leave the test hanging.
            if (auto* dialog = qobject_cast<QDialog*>(w); dialog != nullptr && dialog->isVisible()) {
                unexpected << QStringLiteral("left open: ") + w->windowTitle();
                dialog->reject();
            }
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            messages.push_back({box->windowTitle(), box->text()});
            box->button(QMessageBox::Ok)->click();
            return;
        }
        unexpected << w->metaObject()->className();
        if (auto* dialog = qobject_cast<QDialog*>(w)) dialog->reject();
    }

    QTimer timer_;
    std::deque<Handler> handlers_;
};

// The window's pixels, as the screen would show them, against a frame.
bool view_shows(ViewWidget* view, const Frame& frame, QString* why = nullptr)
{
    const QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB888);
    if (shot.width() != frame.width || shot.height() != frame.height) {
        if (why) *why = QStringLiteral("size %1x%2 vs %3x%4").arg(shot.width()).arg(shot.height()).arg(frame.width).arg(frame.height);
        return false;
    }
    for (int y = 0; y < frame.height; ++y) {
        const uchar* s = shot.constScanLine(y);
        const std::uint8_t* f = frame.row(y);
        for (int x = 0; x < frame.width; ++x)
            if (s[3 * x] != f[3 * x + 2] || s[3 * x + 1] != f[3 * x + 1] || s[3 * x + 2] != f[3 * x]) {
                if (why) *why = QStringLiteral("first difference at (%1, %2)").arg(x).arg(y);
                return false;
            }
    }
    return true;
}

Frame rendered_now(ViewWidget* view)
{
    Frame frame;
    frame.resize(view->width(), view->height());
    const Session& session = main_window()->session();
    ViewState limits = session.view;  // the window's own limits stay as they are
    render_client(frame, session.images, limits);
    return frame;
}

QRgb pixel(ViewWidget* view, int x, int y) { return view->grab().toImage().pixel(x, y) & 0xFFFFFF; }

// What a menu shows for an item: the caption's text with its shortcut text.
struct MenuProbe : QMenu {
    static QString shown(QMenu* menu, QAction* action)
    {
        QStyleOptionMenuItem option;
        const auto init = &MenuProbe::initStyleOption;
        (menu->*init)(&option, action);
        return option.text;
    }
};

QString sample(const char* name) { return QStringLiteral(LUMAFORGE_SAMPLES "/") + QString::fromLatin1(name); }

// One turn of the wheel over `target` at its point `at`.
void turn_wheel(QWidget* target, QPoint at, int delta, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWheelEvent event(QPointF(at), QPointF(target->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(target, &event);
}

// What lumaforge-cli prints for `arguments`.
QString cli_output(const QStringList& arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(LUMAFORGE_CLI), arguments);
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0) return QStringLiteral("lumaforge-cli failed");
    return QString::fromUtf8(cli.readAllStandardOutput());
}

void click_at(QWidget* target, QPoint at)
{
    QMouseEvent event(QEvent::MouseButtonPress, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void move_pointer(QWidget* target, QPoint at)
{
    QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::NoButton, Qt::NoButton,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void release_at(QWidget* target, QPoint at)
{
    QMouseEvent event(QEvent::MouseButtonRelease, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

// A drag of the left button from one client point to another.
void drag(QWidget* target, QPoint from, QPoint to)
{
    click_at(target, from);
    move_pointer(target, (from + to) / 2);
    move_pointer(target, to);
    release_at(target, to);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

public slots:
    // Every document the program hands to the system's browser comes here
    // instead: no browser starts during the tests.
    void documentShown(const QUrl& url) { documents << url; }

private:
    QList<QUrl> documents;
    MainWindow* window = nullptr;
    ModalDriver* modal = nullptr;
    QTemporaryDir scratch;

    void load(const char* name)
    {
        Session& session = window->session();
        QVERIFY(load_bmp(to_path(sample(name)), session.images.image_a) == LoadResult::Loaded);
        session.images.current_image = &session.images.image_a;
        window->request_repaint();
    }

    // Runs a command whose parameter dialog `answer` handles.
    void with_dialog(int id, std::function<void(ParameterDialog*)> answer)
    {
        bool seen = false;
        modal->expect([&seen, answer](QWidget* w) {
            seen = true;
            auto* dialog = qobject_cast<ParameterDialog*>(w);
            QVERIFY2(dialog != nullptr, w->metaObject()->className());
            answer(dialog);
        });
        window->run(id);
        QVERIFY2(seen, "the parameter dialog did not open");
    }

    // Opens `path` through the open command and the file dialog.
    void open_through_dialog(const QString& path)
    {
        modal->expect([path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog != nullptr);
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        });
        window->run(IDM_OPEN);
        QVERIFY(modal->all_answered());
    }

    void settle() { QTest::qWait(30); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);  // the remembered language goes to a scratch folder
        // The offscreen platform cannot pass size hints on; that is all it says.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QLatin1String("propagateSizeHints"))) previous(type, context, text);
        });
        QApplication::setQuitOnLastWindowClosed(false);
        QVERIFY(scratch.isValid());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "documentShown");
        QVERIFY2(load_qt_translations(), "Qt's Russian catalogue (qt6-translations-l10n) is missing");
    }

    void init()
    {
        modal = new ModalDriver;
        window = new MainWindow;
        window->resize(1000, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QApplication::setActiveWindow(window);
    }

    void cleanup()
    {
        QVERIFY2(modal->unexpected.isEmpty(), qPrintable(modal->unexpected.join(QLatin1Char(','))));
        QVERIFY2(modal->all_answered(), "a modal window the test waited for never opened");
        if (text::language() != "ru") {  // a failed switch back spoils no other test
            text::set_language("ru");
            load_qt_translations();
        }
        delete window;
        delete modal;
        window = nullptr;
    }

    void startsEmptyWithTitleAndIcon()
    {
        QCOMPARE(window->windowTitle(), u8("Обработка изображений."));
        // Both bars from the start, 0 to 100, as a window's own bars show.
        for (QScrollBar* bar : {window->horizontal_bar(), window->vertical_bar()}) {
            QVERIFY(bar->isVisible());
            QCOMPARE(bar->minimum(), 0);
            QCOMPARE(bar->maximum(), 100);
        }
        window->vertical_bar()->setSliderPosition(60);  // dragging moves the position the next view uses
        QCOMPARE(window->session().view.scroll_y, 60);
        settle();
        Frame white;
        white.resize(window->view()->width(), window->view()->height());
        std::fill(white.pixels.begin(), white.pixels.end(), std::uint8_t{255});
        QVERIFY(view_shows(window->view(), white));

        const QIcon icon = make_app_icon();
        QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
        QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
        const QImage small = draw_app_icon(16);
        QVERIFY(small.pixel(8, 8) != small.pixel(0, 0));  // something is drawn
    }

    void menusFollowTheCommandTable()
    {
        const QList<QAction*> popups = window->menuBar()->actions();
        QCOMPARE(popups.size(), static_cast<qsizetype>(main_menu_popups().size()));
        for (std::size_t i = 0; i < main_menu_popups().size(); ++i) {
            QCOMPARE(popups[i]->text(), u8(main_menu_popups()[i]));
            QMenu* menu = popups[i]->menu();
            QVERIFY(menu != nullptr);
            QList<QAction*> actions = menu->actions();
            for (const CommandRow& c : command_table()) {
                if (c.menu.popup != i) continue;
                QVERIFY(!actions.isEmpty());
                if (c.menu.separator_before && actions.first()->isSeparator()) actions.removeFirst();
                QAction* action = actions.takeFirst();
                const QString caption = u8(c.caption);
                QCOMPARE(action, window->action_for(c.id));
                QCOMPARE(action->text(), caption);
                // Shown exactly as the caption: its own shortcut text after
                // the tab (trailing blank included), nothing added by Qt.
                QCOMPARE(MenuProbe::shown(menu, action), caption);
            }
            QVERIFY2(actions.isEmpty(), "the menu holds items the table does not");
        }

        int with_shortcut = 0;
        for (const CommandRow& c : command_table()) {
            QAction* action = window->action_for(c.id);
            QVERIFY(action != nullptr);
            with_shortcut += !action->shortcut().isEmpty();
        }
        QCOMPARE(with_shortcut, static_cast<int>(accelerator_rows().size()));
        QCOMPARE(window->action_for(IDM_UNDO)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Z")));
        QCOMPARE(window->action_for(IDM_NOISE)->shortcut(), QKeySequence(QStringLiteral("Shift+Z")));
        QCOMPARE(window->action_for(IDM_EXIT)->shortcut(), QKeySequence(QStringLiteral("Alt+F4")));
        QCOMPARE(window->action_for(IDM_ZOOM_IN)->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+=")), QKeySequence(QStringLiteral("Ctrl++"))}));
        QCOMPARE(window->action_for(IDM_ZOOM_OUT)->shortcut(), QKeySequence(QStringLiteral("Ctrl+-")));
        QCOMPARE(window->action_for(IDM_ZOOM_NATURAL)->shortcut(), QKeySequence(QStringLiteral("Ctrl+0")));
        QVERIFY(window->action_for(IDM_SEGMENT)->shortcut().isEmpty());
    }

    // The view menu's language items switch every text at once and back;
    // the picture, zoom and scroll stay, and the choice is remembered.
    void switchesToEnglishAndBack()
    {
        load("photo.bmp");
        window->run(IDM_ZOOM_IN);
        window->run(IDM_EXPLAIN_PANEL);
        move_pointer(window->view(), {30, 40});
        settle();
        const ViewState view_before = window->session().view;
        const QImage picture = window->view()->grab().toImage();

        auto* languages = window->findChild<QMenu*>(QStringLiteral("languages"));
        QVERIFY(languages != nullptr);
        QCOMPARE(languages->menuAction(), window->action_for(IDM_LANGUAGE));
        const std::vector<text::Language> all = text::languages();
        QCOMPARE(languages->actions().size(), static_cast<qsizetype>(all.size()));
        const auto item = [&](const char* code) {
            for (std::size_t i = 0; i < all.size(); ++i)
                if (all[i].code == code) return window->action_for(kFirstLanguageId + int(i));
            return static_cast<QAction*>(nullptr);
        };
        QAction* russian = item("ru");
        QAction* english = item("en");
        QVERIFY(russian != nullptr && english != nullptr);
        QCOMPARE(russian->text(), u8("Русский"));
        QCOMPARE(english->text(), QStringLiteral("English"));
        QVERIFY(russian->isChecked() && !english->isChecked());

        const auto all_texts_follow = [&] {
            const QList<QAction*> popups = window->menuBar()->actions();
            for (std::size_t i = 0; i < main_menu_popups().size(); ++i)
                QCOMPARE(popups[i]->text(), u8(text::tr(main_menu_popups()[i])));
            for (const CommandRow& c : command_table())
                QCOMPARE(window->action_for(c.id)->text(), u8(text::tr(c.caption)));
            QCOMPARE(window->windowTitle(), u8(text::tr(kWindowTitle)));
            const Session& session = window->session();
            QCOMPARE(window->status_label()->text(),
                     QString::fromStdString(status_text_at(session.images, session.view, 30, 40)));
            QCOMPARE(window->status_summary_label()->text(),
                     QString::fromStdString(status_summary(session)));
            QCOMPARE(window->explain_dock()->windowTitle(), u8(text::tr("Как получен пиксель")));
            QCOMPARE(window->view()->grab().toImage(), picture);
            QCOMPARE(window->session().view.zoom, view_before.zoom);
            QCOMPARE(window->session().view.scroll_x, view_before.scroll_x);
            QCOMPARE(window->session().view.scroll_y, view_before.scroll_y);
        };

        english->trigger();
        QCOMPARE(text::language(), std::string("en"));
        QVERIFY(english->isChecked() && !russian->isChecked());
        QCOMPARE(window->menuBar()->actions().first()->text(), QStringLiteral("&File"));
        QCOMPARE(window->action_for(IDM_OPEN)->text(), QStringLiteral("&Open\tCtrl+O"));
        QCOMPARE(window->explain_dock()->windowTitle(), QStringLiteral("How the Pixel Was Made"));
        all_texts_follow();
        QCOMPARE(QSettings(QStringLiteral("lumaforge"), QStringLiteral("lumaforge")).value(QStringLiteral("language")),
                 QVariant(QStringLiteral("en")));
        QString title;
        modal->expect([&title](QWidget* w) {
            title = w->windowTitle();
            qobject_cast<QDialog*>(w)->reject();
        });
        window->run(IDM_NOISE);
        QCOMPARE(title, QStringLiteral("Noise level (number of points)."));
        window->run(IDM_ABOUT);
        QVERIFY(!modal->messages.empty());
        QCOMPARE(modal->messages.back().caption, u8(text::tr("О программе")));

        russian->trigger();
        QCOMPARE(text::language(), std::string("ru"));
        QVERIFY(russian->isChecked() && !english->isChecked());
        QCOMPARE(window->menuBar()->actions().first()->text(), u8("&Файл"));
        QCOMPARE(window->windowTitle(), u8("Обработка изображений."));
        QCOMPARE(window->explain_dock()->windowTitle(), u8("Как получен пиксель"));
        all_texts_follow();
    }

    void shortcutAndMenuReachTheSameCommand()
    {
        QVERIFY(QTest::qWaitForWindowActive(window));
        QSignalSpy started(window, &MainWindow::command_started);
        QSignalSpy finished(window, &MainWindow::finished);
        for (const CommandRow* row : accelerator_rows()) {
            if (row->id == IDM_EXIT) continue;
            // A closed dialog leaves no window active on this platform; a
            // window manager would give the activation back.
            window->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(window));
            if (row->id == IDM_OPEN) modal->expect([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
            const QKeyCombination keys = window->action_for(row->id)->shortcut()[0];
            const qsizetype before = started.size();
            QTest::keyClick(window, keys.key(), keys.keyboardModifiers());
            QCOMPARE(started.size(), before + 1);  // exactly one command per key
            QCOMPARE(started.last().at(0).toInt(), int(row->id));

            if (row->id == IDM_OPEN) modal->expect([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
            window->action_for(row->id)->trigger();
            QCOMPARE(started.size(), before + 2);
            QCOMPARE(started.last().at(0).toInt(), int(row->id));
        }
        // The last key may have left a message box (no guide in this build).
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        // A plain Z is nothing.
        const qsizetype before = started.size();
        QTest::keyClick(window, Qt::Key_Z);
        QCOMPARE(started.size(), before);

        // Alt+F4 reaches the exit command, once.
        QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier);
        QCOMPARE(started.last().at(0).toInt(), int(IDM_EXIT));
        QCOMPARE(started.size(), before + 1);
        QCOMPARE(finished.size(), 1);
    }

    void undoAndNoiseKeysAreDistinct()
    {
        load("photo.bmp");
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_b);
        QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_a);
        window->action_for(IDM_UNDO)->trigger();
        QCOMPARE(window->session().images.current_image, &window->session().images.image_b);

        bool noise_dialog = false;
        modal->expect([&noise_dialog](QWidget* w) {
            noise_dialog = w->windowTitle() == u8("Уровень шума (количество точек).");
            qobject_cast<QDialog*>(w)->reject();
        });
        QTest::keyClick(window, Qt::Key_Z, Qt::ShiftModifier);
        QVERIFY(noise_dialog);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_b);
    }

    void binarizeDialog()
    {
        load("photo.bmp");
        with_dialog(IDM_BINARIZE, [](ParameterDialog* d) {
            QCOMPARE(d->windowTitle(), u8("Порог для бинаризации"));
            QCOMPARE(d->min_field()->text(), QStringLiteral("0"));
            QCOMPARE(d->max_field()->text(), QStringLiteral("255"));
            QCOMPARE(d->value_field()->text(), QStringLiteral("128"));
            // Read, not typed into, yet not pale as a disabled field.
            QCOMPARE(d->min_field()->palette().color(QPalette::Disabled, QPalette::Text),
                     d->palette().color(QPalette::Active, QPalette::WindowText));
            QCOMPARE(d->slider()->minimum(), 0);
            QCOMPARE(d->slider()->maximum(), 255);
            QCOMPARE(d->slider()->tickInterval(), 16);
            QCOMPARE(d->slider()->value(), 128);
            QCOMPARE(d->focusWidget(), static_cast<QWidget*>(d->slider()));
            QVERIFY(d->ok_button()->isDefault());
            QVERIFY(d->isModal());
            QCOMPARE(d->parentWidget(), static_cast<QWidget*>(main_window()));
            d->slider()->setValue(0);
            QCOMPARE(d->value_field()->text(), QStringLiteral("0"));
            d->ok_button()->click();
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, 0);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_b);  // threshold 0 runs too
    }

    void brightnessDialogWithKeys()
    {
        load("photo.bmp");
        with_dialog(IDM_BRIGHTNESS, [](ParameterDialog* d) {
            QCOMPARE(d->value_field()->text(), QStringLiteral("0%"));
            QCOMPARE(d->min_field()->text(), QStringLiteral("-100%"));
            QCOMPARE(d->max_field()->text(), QStringLiteral("100%"));
            QTest::keyClick(d->slider(), Qt::Key_Right);
            QCOMPARE(d->value_field()->text(), QStringLiteral("1%"));
            QTest::keyClick(d->slider(), Qt::Key_Home);
            QCOMPARE(d->value_field()->text(), QStringLiteral("-100%"));
            QTest::keyClick(d->slider(), Qt::Key_Return);  // the default button
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, -100);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_b);
    }

    void sliderKeysMoveAsATrackbarDoes()
    {
        load("photo.bmp");
        with_dialog(IDM_BRIGHTNESS, [](ParameterDialog* d) {
            QSlider* slider = d->slider();
            QTest::keyClick(slider, Qt::Key_Up);
            QCOMPARE(d->value_field()->text(), QStringLiteral("-1%"));
            QTest::keyClick(slider, Qt::Key_Left);
            QCOMPARE(slider->value(), -2);
            QTest::keyClick(slider, Qt::Key_Down);
            QTest::keyClick(slider, Qt::Key_Down);
            QCOMPARE(slider->value(), 0);
            QTest::keyClick(slider, Qt::Key_PageUp);
            QCOMPARE(slider->value(), -40);  // a fifth of the range
            QTest::keyClick(slider, Qt::Key_PageDown);
            QTest::keyClick(slider, Qt::Key_PageDown);
            QCOMPARE(slider->value(), 40);
            d->reject();
        });
    }

    void apertureDialog()
    {
        load("photo.bmp");
        with_dialog(IDM_MEDIAN_2D, [](ParameterDialog* d) {
            QCOMPARE(d->windowTitle(), u8("Апертура медианного двуменого фильтра."));
            QCOMPARE(d->value_field()->text(), QStringLiteral("3"));
            QCOMPARE(d->max_field()->text(), QStringLiteral("21"));
            for (int i = 0; i < 3; ++i) QTest::keyClick(d->slider(), Qt::Key_Right);
            QCOMPARE(d->slider()->value(), 4);
            QCOMPARE(d->value_field()->text(), QStringLiteral("9"));
            d->ok_button()->click();
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, 9);
    }

    void noiseDialog()
    {
        load("photo.bmp");
        with_dialog(IDM_NOISE, [](ParameterDialog* d) {
            QCOMPARE(d->value_field()->text(), QStringLiteral("14000"));
            QCOMPARE(d->slider()->tickInterval(), 1000);
            QCOMPARE(d->slider()->maximum(), 32767);
            QTest::keyClick(d->slider(), Qt::Key_End);
            QCOMPARE(d->value_field()->text(), QStringLiteral("65534"));
            d->ok_button()->click();
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, 65534);
    }

    // The kernel dialog's fields reach the command; a bad field keeps it
    // open and names the field; the kernel is offered again next time.
    void kernelDialog()
    {
        load("photo.bmp");
        CustomKernel expected = find_kernel_preset("sobel-x")->kernel;
        expected.weights[0] = -3;
        expected.offset = 10;
        bool seen = false;
        modal->expect([&seen](QWidget* w) {
            seen = true;
            auto* d = qobject_cast<KernelEditor*>(w);
            QVERIFY(d != nullptr);
            QCOMPARE(d->windowTitle(), u8("Свой фильтр"));
            QCOMPARE(d->weight_field(2, 2)->text(), QStringLiteral("1"));  // the initial kernel
            const int sobel = d->presets()->findData(QStringLiteral("sobel-x"));
            d->presets()->setCurrentIndex(sobel);
            emit d->presets()->activated(sobel);
            QCOMPARE(d->weight_field(1, 3)->text(), QStringLiteral("1"));
            QCOMPARE(d->rule_box()->currentIndex(), 1);
            d->weight_field(1, 1)->setText(QStringLiteral("300"));
            d->ok_button()->click();
            QVERIFY(d->isVisible());
            QVERIFY(d->error_label()->text().contains(u8("строке 1, столбце 1")));
            d->weight_field(1, 1)->setText(QStringLiteral("-3"));
            d->offset_field()->setText(QStringLiteral("10"));
            QTest::keyClick(d->offset_field(), Qt::Key_Return);  // Enter applies
        });
        window->run(IDM_CUSTOM_KERNEL);
        QVERIFY(seen);
        Session& session = window->session();
        QCOMPARE(session.kernel, expected);
        ImageRecord result;
        QVERIFY(custom_kernel_filter(session.images.image_a, result, expected));
        QCOMPARE(session.images.current_image, &session.images.image_b);
        QVERIFY(std::equal(result.pixels.get(), result.pixels.get() + result.data_size, session.images.image_b.pixels.get()));

        modal->expect([](QWidget* w) {
            auto* d = qobject_cast<KernelEditor*>(w);
            QVERIFY(d != nullptr);
            QCOMPARE(d->weight_field(1, 1)->text(), QStringLiteral("-3"));
            QCOMPARE(d->offset_field()->text(), QStringLiteral("10"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        window->run(IDM_CUSTOM_KERNEL);
        QVERIFY(modal->all_answered());
        QCOMPARE(session.images.current_image, &session.images.image_b);
    }

    void blockSizeDialog()
    {
        load("photo.bmp");  // 640 x 480: blocks 2 to 256
        with_dialog(IDM_FFT_2D, [](ParameterDialog* d) {
            QCOMPARE(d->windowTitle(), u8("Размер блока для преобразования."));
            QCOMPARE(d->min_field()->text(), QStringLiteral("2"));
            QCOMPARE(d->max_field()->text(), QStringLiteral("256"));
            QCOMPARE(d->value_field()->text(), QStringLiteral("256"));
            QCOMPARE(d->slider()->maximum(), 8);
            QTest::keyClick(d->slider(), Qt::Key_Home);
            QCOMPARE(d->value_field()->text(), QStringLiteral("2"));
            QTest::keyClick(d->slider(), Qt::Key_Right);
            QCOMPARE(d->value_field()->text(), QStringLiteral("4"));
            d->ok_button()->click();
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, 4);
        QCOMPARE(window->session().dialog.power_of_two_mode, 0);
    }

    void cancelEscapeAndCloseBoxKeepResult()
    {
        load("photo.bmp");
        window->session().dialog.param_dialog_spec.result = 4242;
        with_dialog(IDM_BINARIZE, [](ParameterDialog* d) {
            d->slider()->setValue(3);
            d->cancel_button()->click();
        });
        with_dialog(IDM_CONTRAST, [](ParameterDialog* d) {
            d->slider()->setValue(30);
            QTest::keyClick(d->slider(), Qt::Key_Escape);
        });
        with_dialog(IDM_WALSH_LINEAR, [this](ParameterDialog* d) {
            QCOMPARE(window->session().dialog.power_of_two_mode, 1);
            d->slider()->setValue(2);
            d->close();  // the close box
        });
        QCOMPARE(window->session().dialog.param_dialog_spec.result, 4242);
        QCOMPARE(window->session().dialog.power_of_two_mode, 0);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_a);
        QVERIFY(modal->messages.empty());
    }

    void dialogKeepsTheTemplateProportions()
    {
        load("photo.bmp");
        with_dialog(IDM_BRIGHTNESS, [](ParameterDialog* d) {
            const double ratio = double(d->width()) / d->height();
            QVERIFY2(ratio > 221.0 / 74 * 0.7 && ratio < 221.0 / 74 * 1.3, qPrintable(QString::number(ratio)));
            const QRect min = d->min_field()->geometry(), value = d->value_field()->geometry(),
                        max = d->max_field()->geometry(), slider = d->slider()->geometry(),
                        cancel = d->cancel_button()->geometry(), ok = d->ok_button()->geometry();
            QVERIFY(min.right() < value.left() && value.right() < max.left());
            QCOMPARE(min.top(), value.top());
            QVERIFY(slider.top() > value.bottom() - 2);
            QVERIFY(cancel.top() > slider.top() && cancel.right() < ok.left());
            QVERIFY(d->rect().contains(ok) && d->rect().contains(slider) && d->rect().contains(max));
            QVERIFY(!d->value_field()->isEnabled() && d->value_field()->isReadOnly());
            d->reject();
        });
    }

    void openingShowsTheRenderersFrame()
    {
        // A name outside ASCII, as the file system holds it.
        const QString path = scratch.filePath(u8("снимок дня.bmp"));
        QFile::remove(path);
        QVERIFY(QFile::copy(sample("photo.bmp"), path));
        modal->expect([path](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), u8("Открыть графический файл."));
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types != nullptr);
            QCOMPARE(types->count(), 2);
            QCOMPARE(types->currentText(), QStringLiteral("Bitmap 24 bit(*.bmp)"));
            QCOMPARE(types->itemText(1), u8("Все изображения (*.bmp;*.png;*.jpg;*.jpeg;*.gif;*.tif;*.tiff;*.webp)"));
            dialog->selectFile(path);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        });
        window->run(IDM_OPEN);
        QCOMPARE(window->session().images.current_image, &window->session().images.image_a);
        QCOMPARE(int(window->session().images.image_a.width), 640);
        settle();
        QString why;
        QVERIFY2(view_shows(window->view(), rendered_now(window->view()), &why), qPrintable(why));
    }

    void namedOrDroppedFileOpensAsOpenDoes()
    {
        window->open_file(sample("square.bmp"));
        QCOMPARE(window->session().images.current_image, &window->session().images.image_a);
        QCOMPARE(int(window->session().images.image_a.width), 512);

        // Of several files dropped, the first opens, whatever its format.
        QImage picture(21, 13, QImage::Format_RGB32);
        picture.fill(qRgb(10, 200, 30));
        const QString png = scratch.filePath(QStringLiteral("dropped.png"));
        QVERIFY(picture.save(png));
        QMimeData files;
        files.setUrls({QUrl::fromLocalFile(png), QUrl::fromLocalFile(sample("photo.bmp"))});
        const QPoint at = window->view()->geometry().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, &files, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window, &drop);
        QCOMPARE(int(window->session().images.image_a.width), 21);
        settle();
        QCOMPARE(pixel(window->view(), 3, 3), qRgb(10, 200, 30) & 0xFFFFFF);

        QMimeData text;
        text.setUrls({QUrl(QStringLiteral("https://example.org/a.png"))});
        QDragEnterEvent remote(at, Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
        remote.setAccepted(false);
        QApplication::sendEvent(window, &remote);
        QVERIFY(!remote.isAccepted());
    }

    void saveAsProposesANameAndGivesTheChosenFiltersExtension()
    {
        const QString photo = scratch.filePath(QStringLiteral("photo.bmp"));
        QFile::remove(photo);
        QVERIFY(QFile::copy(sample("photo.bmp"), photo));
        open_through_dialog(photo);
        window->run(IDM_SOBEL);
        const QString base = scratch.filePath(QStringLiteral("result"));
        QFile::remove(base + QStringLiteral(".bmp"));
        modal->expect([this, base](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog != nullptr);
            QCOMPARE(dialog->windowTitle(), u8("Сохранить графический файл."));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->selectedFiles().value(0), scratch.filePath(QStringLiteral("photo-sobel.png")));
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QVERIFY(buttons != nullptr);
            QCOMPARE(buttons->button(QDialogButtonBox::Cancel)->text(), u8("Отмена"));  // Qt's own, in Russian
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types != nullptr);
            QCOMPARE(types->count(), 2);
            QCOMPARE(types->currentText(), QStringLiteral("PNG(*.png)"));
            QCOMPARE(types->itemText(1), QStringLiteral("Bitmap 24 bit(*.bmp)"));
            types->setCurrentIndex(1);  // as a user's choice does
            emit types->activated(1);
            emit types->textActivated(types->itemText(1));
            dialog->selectFile(base);
            static_cast<QDialog*>(dialog)->accept();
        });
        window->run(IDM_SAVE_AS);
        QVERIFY(modal->messages.empty());
        const QImage saved(base + QStringLiteral(".bmp"));
        QCOMPARE(saved.size(), QSize(640, 480));
        const ImageRecord& r = *window->session().images.current_image;
        for (int y : {0, 123, 479})
            for (int x : {0, 311, 639}) {
                const std::uint8_t* p = r.pixel(x, y);
                QCOMPARE(saved.pixel(x, y) & 0xFFFFFF, qRgb(p[2], p[1], p[0]) & 0xFFFFFF);
            }
    }

    void busyCursorWhileWorking()
    {
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        begin_busy();
        QVERIFY(QApplication::overrideCursor() != nullptr);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // A message box in the middle of it shows the arrow.
        Qt::CursorShape during_box = Qt::WaitCursor;
        modal->expect([&during_box](QWidget* w) {
            during_box = QApplication::overrideCursor()->shape();
            qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
        });
        show_message("Ошибка", "Не хватает памяти для этой операции.");
        QCOMPARE(during_box, Qt::ArrowCursor);
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        end_busy();
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    // What the open dialog lists under its first filter ("*bmp": every name
    // ending in those letters) and under the second (every picture format).
    void fileFiltersMatchTheirNames()
    {
        QTemporaryDir dir;
        for (const char* name : {"a.bmp", "B.BMP", "cbmp", "d.txt", "e.bmp.txt", "f.PNG", "g.jpg", "h.jpeg", "i.gif",
                                 "j.tif", "k.tiff", "l.webp", "jpg", "m.png.txt"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        for (int filter : {0, 1}) {
            QStringList listed;
            modal->expect([&](QWidget* w) {
                auto* dialog = qobject_cast<QFileDialog*>(w);
                QVERIFY(dialog != nullptr);
                auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
                QVERIFY(types != nullptr);
                types->setCurrentIndex(filter);
                emit types->activated(filter);
                dialog->setDirectory(dir.path());
                auto* model = dialog->findChild<QFileSystemModel*>();
                QVERIFY(model != nullptr);
                const QModelIndex root = model->index(dir.path());
                QTRY_VERIFY_WITH_TIMEOUT(model->rowCount(root) > 0, 5000);
                QTest::qWait(100);  // let the listing finish
                for (int r = 0; r < model->rowCount(root); ++r) listed << model->index(r, 0, root).data().toString();
                dialog->reject();
            });
            window->run(IDM_OPEN);
            listed.sort(Qt::CaseInsensitive);
            const QString bmp = QStringLiteral("a.bmp,B.BMP,cbmp"), all = QStringLiteral("a.bmp,B.BMP,f.PNG,g.jpg,"
                                                                                         "h.jpeg,i.gif,j.tif,k.tiff,l.webp");
            QCOMPARE(listed.join(QLatin1Char(',')), filter == 0 ? bmp : all);
        }
        QCOMPARE(window->session().images.current_image, nullptr);  // cancelled: nothing opened
    }

    void pathConversionKeepsNonAsciiNames()
    {
        const QString name = u8("/tmp/каталог/файл €.bmp");
        const std::u8string bytes = to_path(name).u8string();
        QCOMPARE(QString::fromUtf8(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())), name);
    }

    void scrolling()
    {
        window->resize(800, 420);
        load("photo.bmp");
        QTRY_VERIFY(window->horizontal_bar()->isVisible() && window->vertical_bar()->isVisible());
        ViewWidget* view = window->view();
        QScrollBar* h = window->horizontal_bar();
        QScrollBar* v = window->vertical_bar();
        QTRY_COMPARE(window->session().view.scroll_max_x, 640 + 283 - view->width());
        QTRY_COMPARE(window->session().view.scroll_max_y, 480 - view->height());
        QTRY_COMPARE(h->maximum(), window->session().view.scroll_max_x);  // the bars follow the paint
        QCOMPARE(v->maximum(), window->session().view.scroll_max_y);

        h->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        v->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QCOMPARE(window->session().view.scroll_x, 5);
        QCOMPARE(window->session().view.scroll_y, 1);
        h->triggerAction(QAbstractSlider::SliderPageStepAdd);  // page steps do nothing
        v->triggerAction(QAbstractSlider::SliderPageStepSub);
        QCOMPARE(window->session().view.scroll_x, 5);
        QCOMPARE(window->session().view.scroll_y, 1);
        QCOMPARE(h->value(), 5);
        settle();
        QString why;
        QVERIFY2(view_shows(view, rendered_now(view), &why), qPrintable(why));

        // Dragging the thumb, then a step left from 3 gives -2: the picture
        // moves two pixels right of the edge while the bar shows 0.
        h->setSliderPosition(3);
        QCOMPARE(window->session().view.scroll_x, 3);
        h->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(window->session().view.scroll_x, -2);
        QCOMPARE(h->value(), 0);
        settle();
        QCOMPARE(pixel(view, 1, 100), QRgb(0xFFFFFF));
        QVERIFY2(view_shows(view, rendered_now(view), &why), qPrintable(why));

        // Wide enough for everything: both bars hide, the positions stay.
        window->resize(1200, 800);
        QTRY_VERIFY(!window->horizontal_bar()->isVisible() && !window->vertical_bar()->isVisible());
        QCOMPARE(window->session().view.scroll_x, -2);
        QVERIFY(window->session().view.scroll_max_x <= 0 && window->session().view.scroll_max_y <= 0);
    }

    void zoomedViewMatchesTheCommandLine()
    {
        load("photo.bmp");
        settle();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Equal, Qt::ControlModifier);
        QTest::keyClick(window, Qt::Key_Equal, Qt::ControlModifier);
        const Session& session = window->session();
        QCOMPARE(session.view.zoom, 2);
        QVERIFY(session.view.scroll_x > 0);  // the middle of the picture's visible part stayed put
        settle();
        ViewWidget* view = window->view();
        const QString out = scratch.filePath(QStringLiteral("zoom400.bmp"));
        QProcess cli;
        cli.start(QStringLiteral(LUMAFORGE_CLI),
                  {sample("photo.bmp"), QStringLiteral("--view"), out, QStringLiteral("--zoom"), QStringLiteral("400"),
                   QStringLiteral("--client"), QStringLiteral("%1x%2").arg(view->width()).arg(view->height()),
                   QStringLiteral("--scroll"), QStringLiteral("%1,%2").arg(session.view.scroll_x).arg(session.view.scroll_y)});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const QImage expected = QImage(out).convertToFormat(QImage::Format_RGB888);
        const QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB888);
        QCOMPARE(shot.size(), expected.size());
        QVERIFY(shot == expected);

        QTest::keyClick(window, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(session.view.zoom, 0);
        QTest::keyClick(window, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(session.view.zoom, -1);
    }

    void wheelScrollsAndZoomsAboutTheCursor()
    {
        window->resize(700, 400);
        load("photo.bmp");
        QTRY_VERIFY(window->vertical_bar()->maximum() > 100);
        const Session& session = window->session();
        ViewWidget* view = window->view();
        QScrollBar* h = window->horizontal_bar();
        QScrollBar* v = window->vertical_bar();
        turn_wheel(view, {100, 100}, -120);
        QCOMPARE(session.view.scroll_y, 48);
        turn_wheel(view, {100, 100}, -120, Qt::ShiftModifier);
        QCOMPARE(session.view.scroll_x, 48);
        turn_wheel(h, {10, 5}, -240);  // over the horizontal bar: sideways
        QCOMPARE(session.view.scroll_x, 144);
        turn_wheel(view, {100, 100}, 480);  // stops at the top
        QCOMPARE(session.view.scroll_y, 0);
        turn_wheel(v, {5, 10}, -120);
        QCOMPARE(session.view.scroll_y, 48);
        settle();
        QCOMPARE(h->value(), 144);
        QCOMPARE(v->value(), 48);
        QString why;
        QVERIFY2(view_shows(view, rendered_now(view), &why), qPrintable(why));

        // Ctrl: a level a notch, about the cursor.
        int px = 0, py = 0, qx = -1, qy = -1;
        QVERIFY(picture_pixel_at(session.view, *session.images.current_image, 300, 200, px, py));
        turn_wheel(view, {300, 200}, 120, Qt::ControlModifier);
        QCOMPARE(session.view.zoom, 1);
        QVERIFY(picture_pixel_at(session.view, *session.images.current_image, 300, 200, qx, qy));
        QCOMPARE(std::make_pair(qx, qy), std::make_pair(px, py));
        settle();
        QCOMPARE(h->value(), session.view.scroll_x);
        QVERIFY2(view_shows(view, rendered_now(view), &why), qPrintable(why));
    }

    void barsAndViewNeverDisagree()
    {
        window->resize(700, 400);
        load("photo.bmp");
        QTRY_VERIFY(window->horizontal_bar()->maximum() > 100);
        const Session& session = window->session();
        QScrollBar* h = window->horizontal_bar();
        h->setValue(77);  // what the bar's "Scroll here" does
        QCOMPARE(session.view.scroll_x, 77);
        h->triggerAction(QAbstractSlider::SliderToMaximum);  // "Right edge": an end code, nothing moves
        QCOMPARE(session.view.scroll_x, 77);
        QCOMPARE(h->value(), 77);
        const QRect groove = h->rect();
        QTest::mouseClick(h, Qt::MiddleButton, {}, QPoint(groove.width() * 2 / 3, groove.height() / 2));
        QCOMPARE(session.view.scroll_x, h->value());
        settle();
        QString why;
        QVERIFY2(view_shows(window->view(), rendered_now(window->view()), &why), qPrintable(why));
    }

    void statusBarShowsThePixelUnderTheCursor()
    {
        load("photo.bmp");
        settle();
        ViewWidget* view = window->view();
        QLabel* status = window->status_label();
        QVERIFY(window->statusBar()->isVisible());
        move_pointer(view, {10, 20});
        const auto probe = probe_pixel(window->session().images, 10, 20);
        QVERIFY(probe);
        QCOMPARE(status->text(), QString::fromStdString(status_text(*probe)));
        window->run(IDM_NEGATIVE);
        QTRY_VERIFY(status->text().contains(u8("другая")));  // after the repaint, without a move
        move_pointer(view, {700, 20});  // beside the 640-pixel picture
        QCOMPARE(status->text(), QString());

        // The item hides the bar, the view grows by its height, the mark follows.
        const int height = view->height();
        QAction* item = window->action_for(IDM_STATUS_BAR);
        QVERIFY(item->isCheckable() && item->isChecked());
        item->trigger();
        QVERIFY(!item->isChecked());
        QVERIFY(!window->statusBar()->isVisible());
        QTRY_VERIFY(view->height() > height);
        settle();
        QCOMPARE(window->session().view.client_height, view->height());
        QString why;
        QVERIFY2(view_shows(view, rendered_now(view), &why), qPrintable(why));
        item->trigger();
        QVERIFY(item->isChecked());
        QTRY_COMPARE(view->height(), height);
    }

    // Shift+J opens the journal's dock; it follows each command, Copy takes
    // the command line, and its close box and the item agree.
    void journalPanelShowsTheStepsAndCopiesTheLine()
    {
        open_through_dialog(sample("photo.bmp"));
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QDockWidget* dock = window->journal_dock();
        QAction* item = window->action_for(IDM_JOURNAL_PANEL);
        QVERIFY(item->isCheckable() && !item->isChecked() && !dock->isVisible());
        QTest::keyClick(window, Qt::Key_J, Qt::ShiftModifier);
        QVERIFY(item->isChecked() && dock->isVisible());
        window->run(IDM_NEGATIVE);
        window->run(IDM_UNDO);
        const std::string line = command_line(journal_words(window->session().journal), Shell::Posix);
        QVERIFY(line.ends_with("photo.bmp negative undo"));
        QVERIFY(window->journal_text()->toPlainText().contains(QString::fromStdString(line)));
        QVERIFY(window->journal_text()->toPlainText().contains(QStringLiteral("\n  undo\n")));
        window->journal_copy()->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromStdString(line));
        if (const QByteArray shot = qgetenv("LUMAFORGE_SHOT"); !shot.isEmpty()) {
            settle();
            window->grab().save(QString::fromLocal8Bit(shot));
        }
        dock->close();
        QVERIFY(!item->isChecked() && !window->session().view.journal_panel);
    }

    // The dock shows the command-line tool's --explain-text of the pixel
    // under the cursor at 200 %, or of the one clicked; its close box and
    // the item agree.
    void measuringToolsGiveTheCommandLinesNumbers()
    {
        load("photo.bmp");
        QVERIFY(!window->action_for(IDM_COMPARE_SPLIT)->isEnabled());  // no same-size picture in the other record
        window->run(IDM_NEGATIVE);
        settle();
        QVERIFY(window->action_for(IDM_COMPARE_SPLIT)->isEnabled());
        ViewWidget* view = window->view();
        const QStringList negative = {sample("photo.bmp"), QStringLiteral("negative")};

        // A line dragged past the right edge ends on the last column.
        window->run(IDM_TOOL_PROFILE);
        QCOMPARE(window->tool_label()->text(), u8("Инструмент: профиль"));
        QVERIFY(window->measure_dock()->isVisible());
        drag(view, {10, 20}, {view->width() - 1, 90});
        settle();
        QVERIFY(window->measured_profile().has_value());
        QCOMPARE(QString::fromStdString(profile_json(*window->measured_profile())),
                 cli_output(negative + QStringList{QStringLiteral("--profile"), QStringLiteral("10,20,639,90")}));
        // Escape during a drag puts the last line back.
        click_at(view, {50, 50});
        move_pointer(view, {60, 70});
        QTest::keyClick(window, Qt::Key_Escape);
        QCOMPARE(window->session().measure.line, (ProfileLine{10, 20, 639, 90}));

        window->run(IDM_TOOL_REGION);
        drag(view, {129, 89}, {30, 40});
        settle();
        QVERIFY(window->measured_region().has_value());
        QCOMPARE(QString::fromStdString(region_json(*window->measured_region())),
                 cli_output(negative + QStringList{QStringLiteral("--region"), QStringLiteral("30,40,100,50")}));
        window->measure_panel()->copy_button()->click();
        QCOMPARE(QApplication::clipboard()->text(), QString::fromStdString(region_table_text(*window->measured_region())));

        // The compare views (the view's frame: the rectangle lies over it),
        // the divider dragged with the pointer.
        const auto same_as_cli = [&](const QString& compare) {
            const QString out = scratch.filePath(QStringLiteral("compare.bmp"));
            const Frame& frame = view->current_frame();
            cli_output(negative + QStringList{QStringLiteral("--view"), out, QStringLiteral("--client"),
                                              QStringLiteral("%1x%2").arg(frame.width).arg(frame.height),
                                              QStringLiteral("--compare"), compare});
            const QImage cli = QImage(out).convertToFormat(QImage::Format_BGR888);
            const QImage shown(frame.pixels.data(), frame.width, frame.height, static_cast<qsizetype>(frame.stride),
                               QImage::Format_BGR888);
            return cli == shown;
        };
        window->run(IDM_TOOL_POINTER);
        QVERIFY(!window->measure_dock()->isVisible());
        window->run(IDM_COMPARE_DIFF_4);
        QVERIFY(window->tool_label()->text().contains(u8("Разность")));
        QVERIFY(same_as_cli(QStringLiteral("diff=4")));
        window->run(IDM_COMPARE_SPLIT);
        QCOMPARE(window->session().view.compare_split_x, 320);
        view->current_frame();
        drag(view, {321, 100}, {200, 300});
        QCOMPARE(window->session().view.compare_split_x, 200);
        QVERIFY(same_as_cli(QStringLiteral("split=200")));
    }

    void explanationPanelShowsTheCommandLineText()
    {
        open_through_dialog(sample("photo.bmp"));
        window->run(IDM_SOBEL);
        window->activateWindow();  // a closed dialog leaves no window active on this platform
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Equal, Qt::ControlModifier);  // 200 %
        QDockWidget* dock = window->explain_dock();
        QAction* item = window->action_for(IDM_EXPLAIN_PANEL);
        QVERIFY(item->isCheckable() && !item->isChecked() && !dock->isVisible());
        QTest::keyClick(window, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(item->isChecked());
        QVERIFY(dock->isVisible());
        QVERIFY(dock->widget()->isAncestorOf(window->explain_text()));
        QVERIFY(QFontInfo(window->explain_text()->font()).fixedPitch());
        settle();

        const Session& session = window->session();
        QCOMPARE(session.view.zoom, 1);
        ViewWidget* view = window->view();
        const auto pixel_under = [&](QPoint at) {
            return QStringLiteral("%1,%2").arg((at.x() + session.view.scroll_x) / 2).arg((at.y() + session.view.scroll_y) / 2);
        };
        const QString photo = sample("photo.bmp");
        const QPoint hovered(101, 57), clicked(240, 160), elsewhere(30, 300);
        move_pointer(view, hovered);
        const QString shown = window->explain_text()->text();
        QCOMPARE(shown, cli_output({photo, QStringLiteral("sobel"), QStringLiteral("--explain-text"), pixel_under(hovered)}));
        QVERIFY(shown.contains(u8("Фильтр Собела")));
        QVERIFY(window->explain_heading()->text().startsWith(u8("Следует за курсором")));

        click_at(view, clicked);
        move_pointer(view, elsewhere);
        const QString pinned = cli_output({photo, QStringLiteral("sobel"), QStringLiteral("--explain-text"), pixel_under(clicked)});
        QCOMPARE(window->explain_text()->text(), pinned);
        QVERIFY(window->explain_heading()->text().startsWith(u8("Закреплён щелчком")));
        // A narrow panel breaks the long lines rather than hide their ends.
        const int advance = window->explain_text()->fontMetrics().horizontalAdvance(QLatin1Char('0'));
        window->resizeDocks({dock}, {advance * 30}, Qt::Horizontal);
        settle();
        QVERIFY(window->explain_text()->viewport()->width() < advance * 40);
        QCOMPARE(window->explain_text()->horizontalScrollBar()->maximum(), 0);

        // Undo brings back the opened picture, which has nothing to explain;
        // the next command's text follows without a move.
        window->run(IDM_UNDO);
        QCOMPARE(window->explain_text()->text(),
                 cli_output({photo, QStringLiteral("sobel"), QStringLiteral("undo"), QStringLiteral("--explain-text"),
                             pixel_under(clicked)}));
        window->run(IDM_NEGATIVE);
        QCOMPARE(window->explain_text()->text(),
                 cli_output({photo, QStringLiteral("sobel"), QStringLiteral("undo"), QStringLiteral("negative"),
                             QStringLiteral("--explain-text"), pixel_under(clicked)}));

        // Ctrl+C in the text copies it, rather than run the contrast command.
        QSignalSpy started(window, &MainWindow::command_started);
        window->explain_text()->setFocus();
        QTest::keyClick(window->explain_text(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(started.size(), 0);
        QCOMPARE(QApplication::clipboard()->text(), window->explain_text()->text());

        // The dock's close box unchecks the item; the key opens it again.
        dock->close();
        QVERIFY(!item->isChecked());
        QVERIFY(!window->session().view.explain_panel);
        QTest::keyClick(window, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(item->isChecked() && dock->isVisible());
        item->trigger();
        QVERIFY(!item->isChecked() && !dock->isVisible());
    }

    // Mouse moves never repaint the view; what a repaint costs with the
    // panel closed and open, and a move to a new pixel after Sobel and after
    // the median of aperture 21 (the longest explanation), is printed.
    void explanationPanelCostPerMoveAndRepaint()
    {
        window->resize(1280, 900);
        load("photo.bmp");
        window->run(IDM_SOBEL);
        settle();
        ViewWidget* view = window->view();
        const auto repaint_ms = [view] {
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 100; ++i) {
                view->invalidate();
                view->repaint();
            }
            return QStringLiteral("%1x%2: %3 ms").arg(view->width()).arg(view->height()).arg(timer.nsecsElapsed() / 1e8, 0, 'f', 3);
        };
        const QString closed = repaint_ms();
        QSignalSpy renders(view, &ViewWidget::rendered);
        const auto move_us = [view](QPoint from, int step) {
            QElapsedTimer timer;
            timer.start();
            for (int i = 0; i < 400; ++i) {
                move_pointer(view, from + QPoint(step * (i % 20), step * (i / 20)));
                QApplication::processEvents();  // the panel's repaint with it
            }
            return timer.nsecsElapsed() / 400e3;
        };
        const double without_panel = move_us({20, 20}, 1);
        window->run(IDM_EXPLAIN_PANEL);
        settle();
        QVERIFY(window->explain_dock()->isVisible());
        const QString open = repaint_ms();
        settle();
        renders.clear();
        const double sobel = move_us({20, 20}, 1);
        QCOMPARE(renders.size(), 0);
        with_dialog(IDM_MEDIAN_2D, [](ParameterDialog* d) {
            QTest::keyClick(d->slider(), Qt::Key_End);
            d->ok_button()->click();
        });
        settle();
        renders.clear();
        const double median = move_us({20, 20}, 1);
        QVERIFY(window->explain_text()->text().contains(u8("Апертура: 21")));
        window->run(IDM_ZOOM_IN);
        window->run(IDM_ZOOM_IN);  // 400 %: moves within one pixel's 4 x 4 screen pixels
        settle();
        const qsizetype zoomed = renders.size();  // the zooms' repaint
        QVERIFY(zoomed > 0);
        const Session& session = window->session();
        const QPoint corner(40 + (4 - (40 + session.view.scroll_x) % 4) % 4, 40 + (4 - (40 + session.view.scroll_y) % 4) % 4);
        double within = 0;
        for (int i = 0; i < 100; ++i) within += move_us(corner + QPoint(i % 4, i / 4 % 4), 0) / 100;
        QCOMPARE(renders.size(), zoomed);  // none for a move
        qInfo("repaint of the view with the panel closed %s, open %s; a move to a new pixel, with the repaints it "
              "causes: %.1f us with the panel closed, open %.1f us after sobel, %.1f us after median-2d=21; "
              "within one pixel %.2f us",
              qPrintable(closed), qPrintable(open), without_panel, sobel, median, within);
    }

    void segmentationLinesLastUntilTheNextRepaint()
    {
        load("photo.bmp");
        settle();
        ViewWidget* view = window->view();
        const Frame clean = rendered_now(view);
        const WindowLine lines[] = {{100, 560, 200, 560}, {100, 560, 100, 600}, {30, 30, 30, 60}};
        draw_segment_frames(window->handle(), {}, lines);
        settle();
        QCOMPARE(pixel(view, 100, 560), QRgb(0));
        QCOMPARE(pixel(view, 199, 560), QRgb(0));
        QCOMPARE(pixel(view, 200, 560), QRgb(0xFFFFFF));  // the end point is left out
        QCOMPARE(pixel(view, 100, 599), QRgb(0));
        QCOMPARE(pixel(view, 100, 600), QRgb(0xFFFFFF));
        QCOMPARE(pixel(view, 30, 59), QRgb(0));
        QVERIFY(!view_shows(view, clean));
        // Another paint of an unchanged window keeps them.
        view->update();
        settle();
        QCOMPARE(pixel(view, 150, 560), QRgb(0));
        request_repaint(window->handle());
        settle();
        QVERIFY(view_shows(view, clean));
    }

    void segmentCommandFramesTextUntilTheNextRepaint()
    {
        load("text.bmp");
        settle();
        ViewWidget* view = window->view();
        const Frame clean = rendered_now(view);
        QSignalSpy rendered(view, &ViewWidget::rendered);
        window->run(IDM_SEGMENT);
        settle();
        QVERIFY(modal->messages.empty());
        QCOMPARE(rendered.size(), 0);  // drawn over the view, not repainted
        // Black frame pixels now stand on white ground the clean view shows.
        const QImage shot = view->grab().toImage().convertToFormat(QImage::Format_RGB888);
        int framed = 0;
        for (int y = 0; y < clean.height; ++y)
            for (int x = 0; x < clean.width; ++x) {
                const std::uint8_t* c = clean.row(y) + 3 * x;
                const uchar* s = shot.constScanLine(y) + 3 * x;
                if (s[0] != c[2] || s[1] != c[1] || s[2] != c[0]) {
                    QVERIFY(s[0] == 0 && s[1] == 0 && s[2] == 0);
                    ++framed;
                }
            }
        QVERIFY(framed > 0);
        window->action_for(IDM_UNDO)->trigger();  // repaints (no other picture to show)
        settle();
        QVERIFY(view_shows(view, clean));
    }

    // A refused file changes nothing; a file that opens shows at 100 %, and
    // the status bar always says the zoom, the size and the file.
    void refusedFileKeepsEverythingAndANewPictureOpensAtNaturalSize()
    {
        open_through_dialog(sample("photo.bmp"));
        window->run(IDM_GRAYSCALE);
        window->run(IDM_ZOOM_IN);
        settle();
        QLabel* summary = window->status_summary_label();
        const QString zoomed = u8("200 %   640 × 480   photo.bmp");
        QTRY_COMPARE(summary->text(), zoomed);
        const QString bad = scratch.filePath(QStringLiteral("broken.bmp"));
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(80, 'x'));
        }
        QString caption, text;
        modal->expect([bad](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            QVERIFY(dialog != nullptr);
            dialog->selectFile(bad);
            static_cast<QDialog*>(dialog)->accept();  // as the Open button does
        });
        modal->expect([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            QVERIFY(box != nullptr);
            caption = box->windowTitle();
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        const Frame before = rendered_now(window->view());
        window->run(IDM_OPEN);
        QCOMPARE(caption, u8(kLoadCaption));
        QCOMPARE(text, u8(kNotBmp));
        Session& session = window->session();
        QCOMPARE(session.images.current_image, &session.images.image_b);
        settle();
        QVERIFY(view_shows(window->view(), before));
        QCOMPARE(summary->text(), zoomed);
        window->run(IDM_UNDO);
        QCOMPARE(session.images.current_image, &session.images.image_a);

        open_through_dialog(sample("photo.bmp"));
        settle();
        QCOMPARE(session.view.zoom, 0);
        QTRY_COMPARE(summary->text(), u8("100 %   640 × 480   photo.bmp"));
    }

    void f1ShowsTheGuideInTheBrowser()
    {
        QVERIFY(QTest::qWaitForWindowActive(window));
        documents.clear();
        QTest::keyClick(window, Qt::Key_F1);
        const std::string guide = guide_path();
        if (guide.empty()) {  // a build without the guide says so
            QTRY_COMPARE(modal->messages.size(), std::size_t{1});
            QCOMPARE(modal->messages[0].caption, u8("Руководство"));
        } else {
            QCOMPARE(documents, QList<QUrl>{QUrl::fromLocalFile(QString::fromStdString(guide))});
            QVERIFY(guide.ends_with("/docs/guide/index.html"));
        }
    }

    void exitAndCloseBoxReleaseEverything()
    {
        load("photo.bmp");
        window->run(IDM_NEGATIVE);
        QVERIFY(window->session().images.image_a.pixels && window->session().images.image_b.pixels);
        window->session().images.image_a.coef_re_r = HeapArray<float>::allocate(16);
        window->session().images.image_b.coef_im_b = HeapArray<float>::allocate(16);
        QSignalSpy finished(window, &MainWindow::finished);
        window->action_for(IDM_EXIT)->trigger();
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().at(0).toInt(), 0);
        QVERIFY(!window->session().images.image_a.pixels && !window->session().images.image_b.pixels && !window->session().images.image_a.coef_re_r && !window->session().images.image_b.coef_im_b);
        QVERIFY(!window->isVisible());

        // The close box of a fresh window does the same.
        delete window;
        window = new MainWindow;
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        load("photo.bmp");
        QSignalSpy closed(window, &MainWindow::finished);
        window->close();
        QCOMPARE(closed.size(), 1);
        QVERIFY(!window->session().images.image_a.pixels);
    }

    // Last: runs the application's event loop to its end.
    void altF4EndsTheEventLoopWithCodeZero()
    {
        load("photo.bmp");
        connect(window, &MainWindow::finished, qApp, &QCoreApplication::exit);
        QApplication::setActiveWindow(window);
        QTimer::singleShot(50, window, [this] { QTest::keyClick(window, Qt::Key_F4, Qt::AltModifier); });
        QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });  // bounded
        QCOMPARE(QApplication::exec(), 0);
        QVERIFY(!window->session().images.image_a.pixels);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
