// The main window of the Qt front end: the menu bar and the accelerators
// built from the command table, the view (the core's frame blitted as it
// is), the two scroll bars driven by the view's scroll arithmetic, the mouse
// wheel, the status bar with the values of the pixel under the cursor, and
// the dock that explains a pixel (shell/explain_panel.h) and the journal's
// dock (shell/journal_panel.h).
//
// Every menu choice and shortcut goes to run_command with this window as the
// WindowHandle; a picture file dropped on the window opens as Open opens it
// (of several, the first). The window is the one main window of the program: the
// platform services (platform_qt.cpp) find it through main_window().
#pragma once

#include <QMainWindow>
#include <QWidget>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "commands/session.h"
#include "shell/explain_panel.h"
#include "shell/journal_panel.h"
#include "shell/measure_tool.h"
#include "commands/platform.h"
#include "shell/qt/explanation_view.h"
#include "render/view.h"

class MeasurePanel;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QScrollBar;
class QWheelEvent;

// Shows the frame that render_client draws. The frame is the window's
// surface: it is redrawn only when the client area was invalidated or
// resized, so lines drawn onto it stay until then.
class ViewWidget : public QWidget {
    Q_OBJECT
public:
    ViewWidget(QWidget* parent, Session& session);

    // The whole client area must be drawn again at the next paint.
    void invalidate();
    // Draws black 1-pixel lines onto what the window shows now.
    void draw_lines(std::span<const WindowLine> lines);
    // The pixel marked over the view (the profile sample under the cursor in
    // the measuring panel), or none.
    void set_marker(std::optional<PicturePoint> marker);
    // What the window shows, brought up to date.
    const Frame& current_frame();

signals:
    // A new frame was drawn: the picture under the pointer may have changed.
    void rendered();
    // The mouse moved over the view (client point) or left it.
    void pointer_moved(QPoint at);
    void pointer_left();
    // A press and the release of the left button at a client point.
    void clicked(QPoint at);
    void released(QPoint at);
    void wheel_turned(QWheelEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void bring_up_to_date();
    void paint_measure(QPainter& painter);

    Session& session_;
    Frame frame_;
    bool stale_ = true;
    std::optional<PicturePoint> marker_;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow();
    ~MainWindow() override;

    WindowHandle handle() { return static_cast<MainWindow*>(this); }

    // Runs one command as a menu choice or shortcut does.
    void run(int id);
    // Opens a picture file as the open command does once its chooser has
    // answered: a file dropped on the window, or named at start.
    void open_file(const QString& name);
    void request_repaint();
    // Releases every image buffer and plane, hides the window and reports
    // the exit code 0 through finished(); a second call does nothing.
    void destroy();
    // The language of the texts changed: every text the window shows is
    // made again in it (menus, title, status bar, panels), the pictures,
    // the view and the journal left as they are.
    void apply_language();

    QAction* action_for(int id) const;
    Session& session() { return session_; }
    ViewWidget* view() const { return view_; }
    QScrollBar* horizontal_bar() const { return horizontal_; }
    QScrollBar* vertical_bar() const { return vertical_; }
    QLabel* status_label() const { return status_label_; }
    QLabel* status_summary_label() const { return status_summary_; }
    QDockWidget* explain_dock() const { return explain_dock_; }
    QLabel* explain_heading() const { return explain_heading_; }
    ExplanationView* explain_text() const { return explain_text_; }
    QDockWidget* measure_dock() const { return measure_dock_; }
    MeasurePanel* measure_panel() const { return measure_panel_; }
    QLabel* tool_label() const { return tool_label_; }
    // What the panel shows now: the last line's profile, the last
    // rectangle's statistics.
    const std::optional<Profile>& measured_profile() const { return measured_.profile; }
    const std::optional<Region>& measured_region() const { return measured_.region; }

    void show_status_bar(bool shown);
    void show_explain_panel(bool shown);
    void show_journal_panel(bool shown);
    QDockWidget* journal_dock() const { return journal_dock_; }
    QPlainTextEdit* journal_text() const { return journal_text_; }
    QPushButton* journal_copy() const { return journal_copy_; }

signals:
    // Emitted as a command starts, whatever its origin.
    void command_started(int id);
    // Emitted once when the window is destroyed, with the exit code; the
    // program ends its event loop with it.
    void finished(int code);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // No menu of docks: the view menu's item alone opens and closes the panel.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void build_menu();
    void set_texts();
    void update_check_marks();
    void scroll_action(QScrollBar* bar, int action);
    void bar_value_changed(QScrollBar* bar, int value);
    void turn_wheel(QWheelEvent* event, QScrollBar* over_bar);
    void lay_out();
    void update_status();
    void build_explain_dock();
    void update_explanation();
    void pin_explanation(QPoint at);
    void show_explanation();
    void build_journal_dock();
    void update_journal();
    void build_measure_dock();
    void press_view(QPoint at);
    void drag_view(QPoint at);
    void cancel_drag();
    void apply(DragChange change);
    void update_measure(bool force = false);

    Session session_;
    ViewWidget* view_ = nullptr;
    QScrollBar* horizontal_ = nullptr;
    QScrollBar* vertical_ = nullptr;
    QLabel* status_label_ = nullptr;
    QLabel* status_summary_ = nullptr;  // zoom, picture size, file name
    QDockWidget* explain_dock_ = nullptr;
    QLabel* explain_heading_ = nullptr;
    ExplanationView* explain_text_ = nullptr;
    ExplainPanel explain_panel_;
    QDockWidget* journal_dock_ = nullptr;
    QPlainTextEdit* journal_text_ = nullptr;
    QPushButton* journal_copy_ = nullptr;
    JournalPanelText journal_shown_;
    std::uint64_t journal_revision_ = ~std::uint64_t{0};
    bool explain_dock_sized_ = false;
    std::map<int, QAction*> actions_;  // the table's rows and the language items
    std::vector<QMenu*> popups_;       // the menu bar's, in main_menu_popups() order
    bool destroyed_ = false;
    bool setting_bars_ = false;  // the bars change because the view did
    std::optional<QPoint> pointer_;  // over the view, client coordinates
    QLabel* tool_label_ = nullptr;
    QDockWidget* measure_dock_ = nullptr;
    MeasurePanel* measure_panel_ = nullptr;
    MeasureDrag drag_;
    MeasureCache measured_;
};

// The main window while it exists, else nullptr.
MainWindow* main_window();

// The window's title.
inline constexpr const char* kWindowTitle = "Обработка изображений.";

// Qt's own texts (the file choosers' "Look in", "Cancel", the standard
// buttons) in the program's language: for Russian Qt's translation
// catalogue from the system's Qt translations folder, for English Qt's own.
// Called after the application object exists and again whenever the
// language changes; false where the catalogue is missing (the texts then
// stay in English).
bool load_qt_translations();

// The language chosen last time (Qt's settings of the program), or "" for
// none; remember_language (commands/platform.h) keeps it.
std::string remembered_language();
