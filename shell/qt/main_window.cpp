#include "shell/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QClipboard>
#include <QDockWidget>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QGridLayout>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QMimeData>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStatusBar>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <cmath>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "commands/view_commands.h"
#include "commands/pixel_status.h"
#include "shell/qt/file_chooser.h"
#include "shell/qt/measure_panel.h"
#include "shell/qt/texts.h"
#include "render/frame_lines.h"

namespace {

MainWindow* the_main_window = nullptr;

// The accelerator's keys. Letters and digits have Qt's codes of their
// characters; the "=" key also answers as "+", the character it carries on
// many keyboards, as the Windows key code of the same name does.
QList<QKeySequence> key_sequences(const Accelerator& a)
{
    QList<Qt::Key> keys;
    switch (a.key) {
    case KEY_F1: keys = {Qt::Key_F1}; break;
    case KEY_F4: keys = {Qt::Key_F4}; break;
    case KEY_EQUALS: keys = {Qt::Key_Equal, Qt::Key_Plus}; break;
    case KEY_MINUS: keys = {Qt::Key_Minus}; break;
    default: keys = {static_cast<Qt::Key>(a.key)}; break;  // 'A'..'Z', '0'..'9'
    }
    Qt::KeyboardModifiers modifiers;
    if (a.modifiers & MOD_CTRL) modifiers |= Qt::ControlModifier;
    if (a.modifiers & MOD_ALT) modifiers |= Qt::AltModifier;
    if (a.modifiers & MOD_SHIFT) modifiers |= Qt::ShiftModifier;
    QList<QKeySequence> sequences;
    for (const Qt::Key key : keys) sequences.push_back(QKeySequence(QKeyCombination(modifiers, key)));
    return sequences;
}

// The first local file among dropped URLs, or an empty name.
QString first_local_file(const QMimeData* data)
{
    if (data == nullptr) return {};
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) return url.toLocalFile();
    return {};
}

}  // namespace

MainWindow* main_window() { return the_main_window; }

// ---- the view --------------------------------------------------------------

ViewWidget::ViewWidget(QWidget* parent, Session& session) : QWidget(parent), session_(session)
{
    // Every pixel comes from the frame: no background fill, no flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMinimumSize(1, 1);
    setMouseTracking(true);  // the status bar follows the cursor
}

void ViewWidget::invalidate()
{
    stale_ = true;
    update();
}

void ViewWidget::bring_up_to_date()
{
    const int w = std::max(0, width()), h = std::max(0, height());
    if (frame_.width != w || frame_.height != h) {
        frame_.resize(w, h);
        stale_ = true;
    }
    if (!stale_) return;
    render_client(frame_, session_.images, session_.view);
    stale_ = false;
    emit rendered();
}

const Frame& ViewWidget::current_frame()
{
    bring_up_to_date();
    return frame_;
}

void ViewWidget::draw_lines(std::span<const WindowLine> lines)
{
    bring_up_to_date();
    for (const WindowLine& line : lines) draw_frame_line(frame_, line);
    update();
}

void ViewWidget::set_marker(std::optional<PicturePoint> marker)
{
    if (marker == marker_) return;
    marker_ = marker;
    update();
}

void ViewWidget::paintEvent(QPaintEvent*)
{
    bring_up_to_date();
    if (frame_.width == 0 || frame_.height == 0) return;
    const QImage image(frame_.pixels.data(), frame_.width, frame_.height, static_cast<qsizetype>(frame_.stride),
                       QImage::Format_BGR888);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
    paint_measure(painter);
}

// The last line or rectangle over the picture, in yellow on a black border
// so it shows on any picture, and the marked pixel as a small square. Only
// the widget draws them: the frame keeps the view's own pixels.
void ViewWidget::paint_measure(QPainter& painter)
{
    const MeasureState& m = session_.measure;
    if (session_.images.current_image == nullptr || (!m.line && !m.rect && !marker_)) return;
    const int zoom = std::clamp<int>(session_.view.zoom, ZOOM_MIN, ZOOM_MAX);
    // The screen span of picture column (or row) c: [first, first + size).
    const auto first = [zoom](std::int64_t c) { return zoom >= 0 ? c << zoom : c >> -zoom; };
    const double cell = zoom >= 0 ? double(1 << zoom) : 1.0;
    const auto centre = [&](PicturePoint p) {
        return QPointF(double(first(p.x) - session_.view.scroll_x) + cell / 2,
                       double(first(p.y) - session_.view.scroll_y) + cell / 2);
    };
    const auto outlined = [&painter](const std::function<void()>& draw) {
        painter.setPen(QPen(Qt::black, 3));
        draw();
        painter.setPen(QPen(Qt::yellow, 1));
        draw();
    };
    painter.setBrush(Qt::NoBrush);
    if (m.line) {
        const QPointF a = centre({m.line->x0, m.line->y0}), b = centre({m.line->x1, m.line->y1});
        outlined([&] { painter.drawLine(a, b); });
    }
    if (m.rect) {
        const double l = double(first(m.rect->x) - session_.view.scroll_x);
        const double t = double(first(m.rect->y) - session_.view.scroll_y);
        const double r = double(first(std::int64_t{m.rect->x} + m.rect->width - 1) - session_.view.scroll_x) + cell;
        const double b = double(first(std::int64_t{m.rect->y} + m.rect->height - 1) - session_.view.scroll_y) + cell;
        outlined([&] { painter.drawRect(QRectF(l - 0.5, t - 0.5, r - l, b - t)); });
    }
    if (marker_) {
        const QPointF c = centre(*marker_);
        outlined([&] { painter.drawRect(QRectF(c.x() - 4, c.y() - 4, 8, 8)); });
    }
}

void ViewWidget::mouseMoveEvent(QMouseEvent* event) { emit pointer_moved(event->position().toPoint()); }
void ViewWidget::leaveEvent(QEvent*) { emit pointer_left(); }

void ViewWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit clicked(event->position().toPoint());
}
void ViewWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) emit released(event->position().toPoint());
}
void ViewWidget::wheelEvent(QWheelEvent* event) { emit wheel_turned(event); }

// ---- the main window -------------------------------------------------------

MainWindow::MainWindow()
{
    // The window's session starts as its creation leaves it: no pictures,
    // the dialog's first description.
    the_main_window = this;

    setAcceptDrops(true);
    build_menu();

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    view_ = new ViewWidget(central, session_);
    horizontal_ = new QScrollBar(Qt::Horizontal, central);
    vertical_ = new QScrollBar(Qt::Vertical, central);
    // Both bars show from the start with the range 0 to 100, as a window's
    // own scroll bars do before anything sets them.
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setRange(0, 100);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) { scroll_action(bar, action); });
        connect(bar, &QAbstractSlider::valueChanged, this, [this, bar](int value) { bar_value_changed(bar, value); });
        bar->installEventFilter(this);  // the wheel over a bar scrolls as over the view
    }
    grid->addWidget(view_, 0, 0);
    grid->addWidget(vertical_, 0, 1);
    grid->addWidget(horizontal_, 1, 0);
    setCentralWidget(central);

    status_label_ = new QLabel(this);
    status_label_->setObjectName(QStringLiteral("status"));
    statusBar()->addWidget(status_label_, 1);
    status_summary_ = new QLabel(this);
    status_summary_->setObjectName(QStringLiteral("status_summary"));
    statusBar()->addPermanentWidget(status_summary_);
    tool_label_ = new QLabel(this);
    tool_label_->setObjectName(QStringLiteral("tool"));
    statusBar()->addPermanentWidget(tool_label_);
    statusBar()->setVisible(session_.view.status_bar);

    // The bars are set from the layout before the view paints (lay_out);
    // the status bar and the panel follow a new frame.
    central->installEventFilter(this);  // a new size lays the view out again
    connect(view_, &ViewWidget::rendered, this, &MainWindow::update_status, Qt::QueuedConnection);
    connect(view_, &ViewWidget::rendered, this, &MainWindow::update_explanation, Qt::QueuedConnection);
    connect(view_, &ViewWidget::rendered, this, [this] { update_measure(); }, Qt::QueuedConnection);
    connect(view_, &ViewWidget::pointer_moved, this, [this](QPoint at) {
        pointer_ = at;
        drag_view(at);
        update_status();
        update_explanation();
    });
    connect(view_, &ViewWidget::released, this, [this] { measure_release(drag_); });
    connect(view_, &ViewWidget::pointer_left, this, [this] {
        pointer_.reset();
        update_status();
    });
    connect(view_, &ViewWidget::clicked, this, &MainWindow::press_view);
    connect(view_, &ViewWidget::wheel_turned, this, [this](QWheelEvent* event) { turn_wheel(event, nullptr); });
    build_explain_dock();
    build_journal_dock();
    build_measure_dock();
    set_texts();
    update_status();
}

MainWindow::~MainWindow()
{
    if (the_main_window == this) the_main_window = nullptr;
}

// The menus' texts come from set_texts.
void MainWindow::build_menu()
{
    for (const CommandRow& c : command_table()) {
        const int id = c.id;
        QAction* action = nullptr;
        if (id == IDM_LANGUAGE) {
            // A submenu: each language under its own name, whatever the
            // language in use.
            auto* languages = new QMenu(this);
            languages->setObjectName(QStringLiteral("languages"));
            const std::vector<text::Language> all = text::languages();
            for (std::size_t i = 0; i < all.size() && kFirstLanguageId + int(i) <= kLastLanguageId; ++i) {
                const int item_id = kFirstLanguageId + int(i);
                QAction* item = languages->addAction(QString::fromStdString(all[i].name));
                item->setCheckable(true);
                connect(item, &QAction::triggered, this, [this, item_id] { run(item_id); });
                actions_[item_id] = item;
            }
            connect(languages, &QMenu::aboutToShow, this, &MainWindow::update_check_marks);
            action = languages->menuAction();
        } else {
            action = new QAction(this);
            connect(action, &QAction::triggered, this, [this, id] { run(id); });
            // The shortcut works while the menu is closed; the menu shows the
            // caption's own text after its tab, not Qt's rendering of the key.
            addAction(action);
        }
        actions_[id] = action;
        action->setCheckable(c.checked != nullptr);
    }
    for (const CommandRow* c : accelerator_rows()) actions_.at(c->id)->setShortcuts(key_sequences(c->accelerator));
    update_check_marks();

    const auto popups = main_menu_popups();
    for (std::size_t p = 0; p < popups.size(); ++p) {
        QMenu* menu = menuBar()->addMenu(QString());
        popups_.push_back(menu);
        for (const CommandRow& c : command_table()) {
            if (c.menu.popup != p) continue;
            if (c.menu.separator_before && !menu->isEmpty()) menu->addSeparator();
            menu->addAction(actions_.at(c.id));
        }
        connect(menu, &QMenu::aboutToShow, this, &MainWindow::update_check_marks);
    }
}

// Every text of the window's own in the language in use; what the core
// makes (status, panels' contents) follows in apply_language.
void MainWindow::set_texts()
{
    setWindowTitle(ui_text(kWindowTitle));
    for (const CommandRow& c : command_table()) actions_.at(c.id)->setText(ui_text(c.caption));
    const auto popups = main_menu_popups();
    for (std::size_t p = 0; p < popups.size(); ++p) popups_[p]->setTitle(ui_text(popups[p]));
    explain_dock_->setWindowTitle(ui_text("Как получен пиксель"));
    journal_dock_->setWindowTitle(ui_text(kJournalTitle));
    journal_copy_->setText(ui_text(kJournalCopy));
    measure_dock_->setWindowTitle(ui_text("Измерение"));
    measure_panel_->set_texts();
}

void MainWindow::apply_language()
{
    set_texts();
    update_check_marks();
    explain_panel_.basis = {};  // its texts are made again
    update_explanation();
    journal_revision_ = ~std::uint64_t{0};
    update_journal();
    update_measure(true);
    update_status();
}

void MainWindow::update_check_marks()
{
    for (const CommandRow& c : command_table()) {
        if (c.checked != nullptr) actions_.at(c.id)->setChecked(c.checked(session_));
        // The compare modes are greyed without a same-size picture in the other record.
        if (c.guard == Guard::SameSizeOther) actions_.at(c.id)->setEnabled(command_available(session_, c.id));
    }
    const std::vector<text::Language> all = text::languages();
    for (std::size_t i = 0; i < all.size(); ++i)
        if (QAction* item = action_for(kFirstLanguageId + int(i))) item->setChecked(all[i].code == text::language());
}

QAction* MainWindow::action_for(int id) const
{
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void MainWindow::run(int id)
{
    if (destroyed_) return;
    emit command_started(id);
    run_command(session_, handle(), id);
    if (destroyed_) return;
    update_check_marks();  // Qt toggled the mark itself; the session decides
    update_explanation();
    update_journal();
    update_measure();
    update_status();
}

// The steps in a fixed-pitch font, selectable, and Copy for the command line.
void MainWindow::build_journal_dock()
{
    journal_dock_ = new QDockWidget(this);
    journal_dock_->setObjectName(QStringLiteral("journal"));
    journal_dock_->setAllowedAreas(Qt::AllDockWidgetAreas);
    auto* body = new QWidget(journal_dock_);
    auto* layout = new QVBoxLayout(body);
    journal_text_ = new QPlainTextEdit(body);
    journal_text_->setObjectName(QStringLiteral("journal_text"));
    journal_text_->setReadOnly(true);
    journal_text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    journal_copy_ = new QPushButton(body);
    journal_copy_->setObjectName(QStringLiteral("journal_copy"));
    connect(journal_copy_, &QPushButton::clicked, this, [this] {
        QGuiApplication::clipboard()->setText(QString::fromStdString(journal_shown_.command_line));
    });
    layout->addWidget(journal_text_, 1);
    layout->addWidget(journal_copy_, 0, Qt::AlignRight);
    journal_dock_->setWidget(body);
    addDockWidget(Qt::BottomDockWidgetArea, journal_dock_);
    journal_dock_->hide();
    journal_dock_->installEventFilter(this);  // its close box closes the panel as the item does
}

void MainWindow::show_journal_panel(bool shown)
{
    journal_dock_->setVisible(shown);
    update_journal();
}

// Only while the panel is open, and only when the journal changed.
void MainWindow::update_journal()
{
    if (!session_.view.journal_panel || journal_revision_ == session_.journal.revision) return;
    journal_revision_ = session_.journal.revision;
    journal_shown_ = journal_panel_text(session_.journal, native_shell());
    journal_text_->setPlainText(QString::fromStdString(journal_shown_.text));
    journal_copy_->setEnabled(!journal_shown_.command_line.empty());
}

// ---- the pointing tools ------------------------------------------------------

// The panel below the view, shown while Профиль or Область is the tool; Escape
// anywhere in the window cancels a drag.
void MainWindow::build_measure_dock()
{
    measure_dock_ = new QDockWidget(this);
    measure_dock_->setObjectName(QStringLiteral("measure"));
    measure_dock_->setAllowedAreas(Qt::BottomDockWidgetArea | Qt::RightDockWidgetArea);
    measure_dock_->setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    measure_panel_ = new MeasurePanel(measure_dock_);
    measure_dock_->setWidget(measure_panel_);
    addDockWidget(Qt::BottomDockWidgetArea, measure_dock_);
    measure_dock_->hide();
    connect(measure_panel_, &MeasurePanel::hovered_point_changed, this,
            [this] { view_->set_marker(measure_panel_->hovered_point()); });
    auto* escape = new QAction(this);
    escape->setShortcut(QKeySequence(Qt::Key_Escape));
    connect(escape, &QAction::triggered, this, &MainWindow::cancel_drag);
    addAction(escape);
}

void MainWindow::press_view(QPoint at)
{
    apply(measure_press(session_, drag_, at.x(), at.y()));
    if (drag_.kind == MeasureDrag::NONE) pin_explanation(at);
}

void MainWindow::drag_view(QPoint at)
{
    if (drag_.kind != MeasureDrag::NONE) apply(measure_move(session_, drag_, at.x(), at.y()));
}

void MainWindow::cancel_drag() { apply(measure_cancel(session_, drag_)); }

// The overlay moved: the widget repaints over the frame it has; the divider
// moved: the frame is drawn again.
void MainWindow::apply(DragChange change)
{
    if (change == DragChange::Overlay) {
        view_->update();
        update_measure();
    } else if (change == DragChange::View) {
        request_repaint();
        update_status();
    }
}

// Measures again only when the line, the rectangle, the tool or a picture
// changed, so scrolling and repaints cost a comparison.
void MainWindow::update_measure(bool force)
{
    if (measure_forget_if_resized(session_)) view_->update();
    const MeasureState& m = session_.measure;
    const bool shown = m.tool != MeasureTool::Pointer && session_.images.current_image != nullptr;
    if (measure_dock_->isVisible() != shown) measure_dock_->setVisible(shown);
    if (!shown) {
        view_->set_marker(std::nullopt);
        return;
    }
    if (!measured_.refresh(session_, force)) return;
    if (measured_.profile) {
        const double length = std::hypot(double(m.line->x1 - m.line->x0), double(m.line->y1 - m.line->y0));
        measure_panel_->show_profile(*measured_.profile, length);
    } else if (measured_.region) {
        measure_panel_->show_region(*measured_.region);
    } else {
        measure_panel_->show_hint(m.tool == MeasureTool::Profile
                                      ? ui_text("Проведите линию по картинке: её профиль появится здесь.")
                                      : ui_text("Выделите прямоугольник на картинке: его гистограммы и "
                                                "статистика появятся здесь."));
    }
    view_->set_marker(measure_panel_->hovered_point());
}

void MainWindow::show_status_bar(bool shown)
{
    statusBar()->setVisible(shown);
    update_status();
}

// The panel: a heading that says which pixel and whether it is pinned, and
// the explanation in a fixed-pitch font, whose grids line up in columns.
void MainWindow::build_explain_dock()
{
    explain_dock_ = new QDockWidget(this);
    explain_dock_->setObjectName(QStringLiteral("explain"));
    explain_dock_->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    auto* body = new QWidget(explain_dock_);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    explain_heading_ = new QLabel(body);
    explain_heading_->setObjectName(QStringLiteral("explain_heading"));
    explain_heading_->setWordWrap(true);
    explain_text_ = new ExplanationView(body);
    explain_text_->setObjectName(QStringLiteral("explain_text"));
    layout->addWidget(explain_heading_);
    layout->addWidget(explain_text_, 1);
    explain_dock_->setWidget(body);
    addDockWidget(Qt::RightDockWidgetArea, explain_dock_);
    explain_dock_->hide();
    explain_dock_->installEventFilter(this);  // its close box closes the panel as the item does
}

void MainWindow::show_explain_panel(bool shown)
{
    explain_dock_->setVisible(shown);
    if (shown && !explain_dock_sized_) {
        // Wide enough for a 3x3 filter's lines; the user may drag it wider.
        explain_dock_sized_ = true;
        resizeDocks({explain_dock_}, {explain_text_->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 58},
                    Qt::Horizontal);
    }
    update_explanation();
}

// Only while the panel is open, and the widgets only when a text changed:
// a move within one pixel costs a comparison.
void MainWindow::update_explanation()
{
    if (!session_.view.explain_panel) return;
    std::optional<ClientPoint> at;
    if (pointer_) at = ClientPoint{pointer_->x(), pointer_->y()};
    if (explain_panel_pointer(explain_panel_, session_, at)) show_explanation();
}

void MainWindow::pin_explanation(QPoint at)
{
    if (session_.view.explain_panel && explain_panel_click(explain_panel_, session_, ClientPoint{at.x(), at.y()}))
        show_explanation();
}

void MainWindow::show_explanation()
{
    explain_heading_->setText(QString::fromStdString(explain_panel_.heading));
    explain_text_->set_text(QString::fromStdString(explain_panel_.text));
}

void MainWindow::update_status()
{
    std::string text;
    if (pointer_) text = status_text_at(session_.images, session_.view, pointer_->x(), pointer_->y());
    status_label_->setText(QString::fromStdString(text));
    status_summary_->setText(QString::fromStdString(status_summary(session_)));
    std::string tool = tool_status_text(session_);
    if (compare_active(session_.images, session_.view)) tool = compare_status_text(session_.view) + "   " + tool;
    tool_label_->setText(QString::fromStdString(tool));
    const Qt::CursorShape cursor = session_.measure.tool == MeasureTool::Pointer ? Qt::ArrowCursor : Qt::CrossCursor;
    if (view_->cursor().shape() != cursor) view_->setCursor(cursor);
}

void MainWindow::open_file(const QString& name)
{
    if (destroyed_) return;
    emit command_started(IDM_OPEN);
    open_path(session_, handle(), to_path(name));
    update_journal();
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (!first_local_file(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QString name = first_local_file(event->mimeData());
    if (name.isEmpty()) return;
    event->acceptProposedAction();
    open_file(name);
}

void MainWindow::request_repaint()
{
    lay_out();
    view_->invalidate();
}

void MainWindow::destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    session_.images.release_all_images();
    hide();
    emit finished(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    destroy();
    event->accept();
}

// One scroll notification: line steps, thumb dragging (to any position the
// bar's range holds, which for a zoomed picture may pass 16 bits); page
// steps and the rest leave the position alone. The bar only shows the
// position, which may lie outside its range.
void MainWindow::scroll_action(QScrollBar* bar, int action)
{
    const bool horizontal = bar == horizontal_;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
    case QAbstractSlider::SliderSingleStepAdd: {
        const int code = action == QAbstractSlider::SliderSingleStepSub ? SCROLL_LINE_BACK : SCROLL_LINE_FORWARD;
        if (horizontal)
            scroll_horizontal(session_.view, code, 0);
        else
            scroll_vertical(session_.view, code, 0);
        break;
    }
    case QAbstractSlider::SliderMove: scroll_thumb_to(session_.view, horizontal, bar->sliderPosition()); break;
    default: break;
    }
    const std::int32_t position = horizontal ? session_.view.scroll_x : session_.view.scroll_y;
    setting_bars_ = true;
    bar->setSliderPosition(std::clamp(position, bar->minimum(), bar->maximum()));
    setting_bars_ = false;
    request_repaint();
}

// The bar took a value without a scroll action ("Scroll here" of its context
// menu): the view goes there as if the thumb had been dragged there.
void MainWindow::bar_value_changed(QScrollBar* bar, int value)
{
    if (setting_bars_) return;
    const bool horizontal = bar == horizontal_;
    const std::int32_t position = horizontal ? session_.view.scroll_x : session_.view.scroll_y;
    if (value == std::clamp(position, bar->minimum(), bar->maximum())) return;
    scroll_thumb_to(session_.view, horizontal, value);
    request_repaint();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == explain_dock_ && event->type() == QEvent::Close && session_.view.explain_panel && !destroyed_)
        run(IDM_EXPLAIN_PANEL);
    if (watched == centralWidget() && event->type() == QEvent::Resize) request_repaint();
    if (watched == journal_dock_ && event->type() == QEvent::Close && session_.view.journal_panel && !destroyed_)
        run(IDM_JOURNAL_PANEL);
    if (event->type() == QEvent::Wheel && (watched == horizontal_ || watched == vertical_)) {
        turn_wheel(static_cast<QWheelEvent*>(event), static_cast<QScrollBar*>(watched));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// The wheel scrolls up and down, with Shift (or over the horizontal bar)
// left and right; with Ctrl it zooms, a level a notch, about the cursor.
void MainWindow::turn_wheel(QWheelEvent* event, QScrollBar* over_bar)
{
    event->accept();
    std::optional<std::pair<int, int>> about;
    if (over_bar == nullptr) about = std::pair{int(event->position().x()), int(event->position().y())};
    wheel_turn(session_, handle(), event->angleDelta().y(), event->angleDelta().x(),
               (event->modifiers() & Qt::ControlModifier) != 0,
               (event->modifiers() & Qt::ShiftModifier) || over_bar == horizontal_, about);
}

// The view laid out in the central widget, beside the bars that show now;
// the bars take the layout's ranges and positions. Before any picture they
// keep their first range; a picture's limits then set them, and they stay as
// the last picture left them.
void MainWindow::lay_out()
{
    const QWidget* area = centralWidget();
    if (area == nullptr) return;
    const ViewArea space{area->width(),
                         area->height(),
                         vertical_->sizeHint().width(),
                         horizontal_->sizeHint().height(),
                         !vertical_->isHidden(),
                         !horizontal_->isHidden(),
                         0};
    const ViewLayout layout = layout_view(session_.images.current_image, session_.view, space);
    if (session_.images.current_image == nullptr) {
        session_.view.client_width = layout.client_width;
        session_.view.client_height = layout.client_height;
        return;
    }
    apply_layout(session_.view, layout);
    setting_bars_ = true;
    const auto set = [](QScrollBar* bar, std::int32_t limit, std::int32_t position, int page, bool shown) {
        bar->setRange(0, std::max(limit, 0));
        bar->setPageStep(std::max(1, page));
        bar->setSingleStep(1);
        bar->setValue(position);
        bar->setVisible(shown);  // a range of 0 hides the bar
    };
    set(horizontal_, layout.scroll_max_x, layout.bar_x, layout.client_width, layout.horizontal_bar);
    set(vertical_, layout.scroll_max_y, layout.bar_y, layout.client_height, layout.vertical_bar);
    setting_bars_ = false;
}
