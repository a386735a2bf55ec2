// The measuring panel of the Qt window (a dock below the view): for a line,
// the profile plot (R, G, B and luma against the distance along the line,
// the other record's values dashed) with the hovered sample's values; for a
// rectangle, the region's four histograms as the view's panel draws them
// (the picture on display, and the other record's beside it) and the table
// of its numbers with Copy. The numbers are the core's (commands/measure.h).
#pragma once

#include <QWidget>
#include <optional>

#include "commands/measure.h"

class QLabel;
class QPushButton;
class QStackedWidget;
class QTableWidget;

class ProfilePlot : public QWidget {
    Q_OBJECT
public:
    explicit ProfilePlot(QWidget* parent);
    // nullptr: nothing to plot; `length` is the line's, in pixels.
    void set_profile(const Profile* profile, double length = 0);
    std::optional<std::size_t> hovered() const { return hovered_; }
    // The sample nearest widget x, for a plot of `count` samples.
    std::optional<std::size_t> sample_at(int x) const;

signals:
    void hover_changed(std::optional<std::size_t> sample);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect plot_area() const;
    void set_hovered(std::optional<std::size_t> sample);

    const Profile* profile_ = nullptr;
    double length_ = 0;
    std::optional<std::size_t> hovered_;
};

class MeasurePanel : public QWidget {
    Q_OBJECT
public:
    explicit MeasurePanel(QWidget* parent);

    // Shows the profile of a line, or the statistics of a region.
    void show_profile(const Profile& profile, double length);
    void show_region(const Region& region);
    // Nothing measured yet: a hint for the tool in use.
    void show_hint(const QString& text);
    // The panel's own captions again, after the language changed.
    void set_texts();

    ProfilePlot* plot() const { return plot_; }
    QLabel* hover_label() const { return hover_; }
    QTableWidget* table() const { return table_; }
    QPushButton* copy_button() const { return copy_; }
    // The hovered sample's place in the picture, if any.
    std::optional<PicturePoint> hovered_point() const;

signals:
    void hovered_point_changed();

private:
    void describe_hover(std::optional<std::size_t> sample);

    QStackedWidget* pages_ = nullptr;
    QLabel* hint_ = nullptr;
    ProfilePlot* plot_ = nullptr;
    QLabel* hover_ = nullptr;
    QLabel* histograms_shown_ = nullptr;
    QLabel* histograms_shown_caption_ = nullptr;
    QLabel* histograms_other_ = nullptr;
    QLabel* histograms_other_caption_ = nullptr;
    QTableWidget* table_ = nullptr;
    QPushButton* copy_ = nullptr;
    Profile profile_;
    double length_ = 0;
    Region region_;
};
