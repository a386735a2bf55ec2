// The explanation panel's text: read-only lines in a fixed-pitch font,
// broken at blanks to the panel's width (wrap_explanation; rows of numbers
// stay whole and scroll sideways when wider), of which only the visible ones
// are drawn. Setting a
// new text costs splitting it into lines, so the panel can follow the mouse
// over the longest explanations (a median's three 21 x 21 windows) without
// laying out pages of text on every move. The vertical position stays where
// the user scrolled it as the text changes. Ctrl+C, or the context menu's
// only item, copies the whole text.
#pragma once

#include <QAbstractScrollArea>
#include <QStringList>

class ExplanationView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ExplanationView(QWidget* parent);

    void set_text(const QString& text);
    QString text() const { return text_; }
    void copy() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void update_bars();
    void wrap_lines();
    int columns() const;

    QString text_;
    QStringList lines_;
    int wrapped_for_ = -1;  // the columns lines_ were broken for
    int widest_ = 0;        // in characters
};
