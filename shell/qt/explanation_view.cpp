#include "shell/qt/explanation_view.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QScrollBar>

#include "shell/explain_panel.h"
#include "shell/qt/texts.h"

namespace {

constexpr int kMargin = 4;

QFont fixed_pitch_font()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!QFontInfo(font).fixedPitch()) {  // a platform without a theme names none
        font.setFamily(QStringLiteral("monospace"));
        font.setStyleHint(QFont::TypeWriter);
    }
    return font;
}

}  // namespace

ExplanationView::ExplanationView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFont(fixed_pitch_font());
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
}

void ExplanationView::set_text(const QString& text)
{
    text_ = text;
    wrap_lines();
}

// The characters a line of the viewport holds.
int ExplanationView::columns() const
{
    const int advance = std::max(1, QFontMetrics(font()).horizontalAdvance(QLatin1Char('0')));
    return std::max(1, (viewport()->width() - 2 * kMargin) / advance);
}

void ExplanationView::wrap_lines()
{
    wrapped_for_ = columns();
    lines_.clear();
    widest_ = 0;
    for (const std::string& line : wrap_explanation(text_.toStdString(), wrapped_for_)) {
        lines_ << QString::fromStdString(line);
        widest_ = std::max(widest_, static_cast<int>(lines_.back().size()));
    }
    update_bars();
    viewport()->update();
}

void ExplanationView::copy() const { QApplication::clipboard()->setText(text_); }

void ExplanationView::update_bars()
{
    const QFontMetrics metrics(font());
    const int line = metrics.lineSpacing();
    const int rows = std::max(1, (viewport()->height() - 2 * kMargin) / line);
    verticalScrollBar()->setRange(0, std::max(0, static_cast<int>(lines_.size()) - rows));
    verticalScrollBar()->setPageStep(rows);
    const int width = widest_ * metrics.horizontalAdvance(QLatin1Char('0')) + 2 * kMargin;
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(metrics.horizontalAdvance(QLatin1Char('0')));
}

// Only the lines in view: the first is the vertical bar's value.
void ExplanationView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.setFont(font());
    painter.setPen(palette().color(QPalette::Text));
    const QFontMetrics metrics(font());
    const int line = metrics.lineSpacing();
    const int x = kMargin - horizontalScrollBar()->value();
    int y = kMargin + metrics.ascent();
    for (qsizetype i = verticalScrollBar()->value(); i < lines_.size() && y - metrics.ascent() < viewport()->height();
         ++i, y += line)
        painter.drawText(x, y, lines_[i]);
}

void ExplanationView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (columns() != wrapped_for_)
        wrap_lines();
    else
        update_bars();
}

// Copy is this widget's while it has the focus, not the window's shortcut.
bool ExplanationView::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void ExplanationView::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ExplanationView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    menu.addAction(ui_text("Копировать"), this, &ExplanationView::copy);
    menu.exec(event->globalPos());
}
