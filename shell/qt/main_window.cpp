#include "shell/qt/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGridLayout>
#include <QImage>
#include <QKeySequence>
#include <QMimeData>
#include <QMenuBar>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "commands/command_table.h"
#include "commands/dispatch.h"
#include "shell/qt/file_chooser.h"
#include "shell/qt/frame_lines.h"

namespace {

MainWindow* the_main_window = nullptr;

QKeySequence key_sequence(const Accelerator& a)
{
    const auto key = a.key == KEY_F4 ? Qt::Key_F4 : static_cast<Qt::Key>(Qt::Key_A + (a.key - 'A'));
    Qt::KeyboardModifiers modifiers;
    if (a.modifiers & MOD_CTRL) modifiers |= Qt::ControlModifier;
    if (a.modifiers & MOD_ALT) modifiers |= Qt::AltModifier;
    if (a.modifiers & MOD_SHIFT) modifiers |= Qt::ShiftModifier;
    return QKeySequence(QKeyCombination(modifiers, key));
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
    render_client(frame_, session_, session_);
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

void ViewWidget::paintEvent(QPaintEvent*)
{
    bring_up_to_date();
    if (frame_.width == 0 || frame_.height == 0) return;
    const QImage image(frame_.pixels.data(), frame_.width, frame_.height, static_cast<qsizetype>(frame_.stride),
                       QImage::Format_BGR888);
    QPainter painter(this);
    painter.drawImage(0, 0, image);
}

// ---- the main window -------------------------------------------------------

MainWindow::MainWindow()
{
    // The window's session starts as its creation leaves it: no pictures,
    // the dialog's first description.
    the_main_window = this;

    setWindowTitle(QString::fromUtf8(kWindowTitle));
    setAcceptDrops(true);
    build_menu();

    auto* central = new QWidget(this);
    auto* grid = new QGridLayout(central);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    view_ = new ViewWidget(central, session_);
    horizontal_ = new QScrollBar(Qt::Horizontal, central);
    vertical_ = new QScrollBar(Qt::Vertical, central);
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setRange(0, 0);
        bar->setVisible(false);
        connect(bar, &QAbstractSlider::actionTriggered, this, [this, bar](int action) { scroll_action(bar, action); });
    }
    grid->addWidget(view_, 0, 0);
    grid->addWidget(vertical_, 0, 1);
    grid->addWidget(horizontal_, 1, 0);
    setCentralWidget(central);
    // Limits come from painting; bars are shown or hidden after it, outside
    // the paint event.
    connect(view_, &ViewWidget::rendered, this, &MainWindow::update_scroll_bars, Qt::QueuedConnection);
}

MainWindow::~MainWindow()
{
    if (the_main_window == this) the_main_window = nullptr;
}

void MainWindow::build_menu()
{
    for (const CommandRow& c : command_table()) {
        auto* action = new QAction(QString::fromUtf8(c.caption), this);
        const int id = c.id;
        connect(action, &QAction::triggered, this, [this, id] { run(id); });
        actions_[id] = action;
        // The shortcut works while the menu is closed; the menu shows the
        // caption's own text after its tab, not Qt's rendering of the key.
        addAction(action);
    }
    for (const CommandRow* c : accelerator_rows()) actions_.at(c->id)->setShortcut(key_sequence(c->accelerator));

    const auto popups = main_menu_popups();
    for (std::size_t p = 0; p < popups.size(); ++p) {
        QMenu* menu = menuBar()->addMenu(QString::fromUtf8(popups[p]));
        for (const CommandRow& c : command_table()) {
            if (c.menu.popup != p) continue;
            if (c.menu.separator_before && !menu->isEmpty()) menu->addSeparator();
            menu->addAction(actions_.at(c.id));
        }
    }
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
}

void MainWindow::open_file(const QString& name)
{
    if (destroyed_) return;
    emit command_started(IDM_OPEN);
    open_path(session_, handle(), to_path(name));
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

void MainWindow::request_repaint() { view_->invalidate(); }

void MainWindow::destroy()
{
    if (destroyed_) return;
    destroyed_ = true;
    session_.release_all_images();
    hide();
    emit finished(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    destroy();
    event->accept();
}

// One scroll notification: line steps, thumb dragging; page steps and the
// rest leave the position alone. The bar only shows the position, which
// may lie outside its range.
void MainWindow::scroll_action(QScrollBar* bar, int action)
{
    int code = -1;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = SCROLL_LINE_BACK; break;
    case QAbstractSlider::SliderSingleStepAdd: code = SCROLL_LINE_FORWARD; break;
    case QAbstractSlider::SliderMove: code = SCROLL_THUMB_TRACK; break;
    default: break;
    }
    const int thumb = bar->sliderPosition();
    std::int32_t position;
    if (bar == horizontal_) {
        scroll_horizontal(session_, code, thumb);
        position = session_.scroll_x;
    } else {
        scroll_vertical(session_, code, thumb);
        position = session_.scroll_y;
    }
    bar->setSliderPosition(std::clamp(position, bar->minimum(), bar->maximum()));
    request_repaint();
}

void MainWindow::update_scroll_bars()
{
    const auto set = [](QScrollBar* bar, std::int32_t limit, std::int32_t position, int page) {
        const int top = limit > 0 ? limit : 0;
        bar->setRange(0, top);
        bar->setPageStep(std::max(1, page));
        bar->setSingleStep(1);
        bar->setValue(std::clamp(position, 0, top));
        bar->setVisible(top > 0);  // a range of 0 hides the bar
    };
    set(horizontal_, session_.scroll_max_x, session_.scroll_x, view_->width());
    set(vertical_, session_.scroll_max_y, session_.scroll_y, view_->height());
}
