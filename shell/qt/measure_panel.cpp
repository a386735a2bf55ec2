#include "shell/qt/measure_panel.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <tuple>

#include "shell/qt/texts.h"

namespace {

const QColor kCurveColours[4] = {QColor(220, 0, 0), QColor(0, 160, 0), QColor(0, 0, 230), QColor(0, 0, 0)};

QString values_text(const PixelValues& v)
{
    return ui_text("R %1 G %2 B %3 (яркость %4)").arg(v.r).arg(v.g).arg(v.b).arg(v.luma);
}

QPixmap histograms_pixmap(const RegionStats& stats)
{
    Frame frame;
    draw_region_histograms(frame, stats);
    const QImage image(frame.pixels.data(), frame.width, frame.height, static_cast<qsizetype>(frame.stride),
                       QImage::Format_BGR888);
    return QPixmap::fromImage(image.copy());
}

QString fixed(double v) { return QString::number(v, 'f', 4); }

}  // namespace

// ---- the plot ----------------------------------------------------------------

ProfilePlot::ProfilePlot(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setMinimumSize(320, 160);
    setObjectName(QStringLiteral("profile_plot"));
}

void ProfilePlot::set_profile(const Profile* profile, double length)
{
    profile_ = profile;
    length_ = length;
    hovered_.reset();
    update();
}

QRect ProfilePlot::plot_area() const { return rect().adjusted(36, 8, -10, -22); }

std::optional<std::size_t> ProfilePlot::sample_at(int x) const
{
    if (profile_ == nullptr || profile_->points.empty()) return std::nullopt;
    const QRect area = plot_area();
    const std::size_t n = profile_->points.size() - 1;
    if (n == 0) return std::size_t{0};
    const double t = std::clamp((x - area.left()) / double(std::max(1, area.width())), 0.0, 1.0);
    return static_cast<std::size_t>(t * double(n) + 0.5);
}

void ProfilePlot::set_hovered(std::optional<std::size_t> sample)
{
    if (sample == hovered_) return;
    hovered_ = sample;
    update();
    emit hover_changed(sample);
}

void ProfilePlot::mouseMoveEvent(QMouseEvent* event) { set_hovered(sample_at(event->position().toPoint().x())); }
void ProfilePlot::leaveEvent(QEvent*) { set_hovered(std::nullopt); }

void ProfilePlot::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const QRect area = plot_area();
    p.setPen(QColor(200, 200, 200));
    for (int v : {0, 64, 128, 192, 255}) {
        const int y = area.bottom() - v * area.height() / 255;
        p.drawLine(area.left(), y, area.right(), y);
        p.setPen(Qt::black);
        p.drawText(QRect(0, y - 8, area.left() - 4, 16), Qt::AlignRight | Qt::AlignVCenter, QString::number(v));
        p.setPen(QColor(200, 200, 200));
    }
    p.setPen(Qt::black);
    p.drawRect(area);
    if (profile_ == nullptr || profile_->points.empty()) return;
    const std::size_t count = profile_->points.size();
    const auto x_of = [&](std::size_t i) {
        return count == 1 ? area.left() + area.width() / 2.0 : area.left() + area.width() * double(i) / double(count - 1);
    };
    const auto y_of = [&](int v) { return area.bottom() - v * area.height() / 255.0; };
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int set = profile_->other.empty() ? 0 : 1; set >= 0; --set) {
        const std::vector<PixelValues>& values = set == 0 ? profile_->shown : profile_->other;
        for (int k = 0; k < 4; ++k) {
            QPainterPath path;
            for (std::size_t i = 0; i < count; ++i) {
                const PixelValues& v = values[i];
                const int value = k == 0 ? v.r : k == 1 ? v.g : k == 2 ? v.b : v.luma;
                const QPointF at(x_of(i), y_of(value));
                if (i == 0)
                    path.moveTo(at);
                else
                    path.lineTo(at);
            }
            if (count == 1) path.addEllipse(path.currentPosition(), 2, 2);
            QPen pen(kCurveColours[k], set == 0 ? 1.5 : 1.0, set == 0 ? Qt::SolidLine : Qt::DashLine);
            p.setPen(pen);
            p.drawPath(path);
        }
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::black);
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), 16), Qt::AlignLeft, QStringLiteral("0"));
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), 16), Qt::AlignRight,
               ui_text("%1 пикс.").arg(length_, 0, 'f', 1));
    p.drawText(QRect(area.left(), area.bottom() + 4, area.width(), 16), Qt::AlignHCenter,
               profile_->other.empty() ? ui_text("сплошные: на экране")
                                       : ui_text("сплошные: на экране, штрихи: другая"));
    if (hovered_) {
        p.setPen(QPen(Qt::darkGray, 1, Qt::DotLine));
        const int x = static_cast<int>(x_of(*hovered_));
        p.drawLine(x, area.top(), x, area.bottom());
    }
}

// ---- the panel ---------------------------------------------------------------

MeasurePanel::MeasurePanel(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    pages_ = new QStackedWidget(this);
    layout->addWidget(pages_);

    hint_ = new QLabel(pages_);
    hint_->setWordWrap(true);
    hint_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(hint_);

    auto* profile_page = new QWidget(pages_);
    auto* profile_layout = new QVBoxLayout(profile_page);
    profile_layout->setContentsMargins(0, 0, 0, 0);
    plot_ = new ProfilePlot(profile_page);
    hover_ = new QLabel(profile_page);
    hover_->setObjectName(QStringLiteral("profile_hover"));
    hover_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    profile_layout->addWidget(plot_, 1);
    profile_layout->addWidget(hover_);
    pages_->addWidget(profile_page);
    connect(plot_, &ProfilePlot::hover_changed, this, [this](std::optional<std::size_t> sample) {
        describe_hover(sample);
        emit hovered_point_changed();
    });

    auto* region_page = new QWidget(pages_);
    auto* region_layout = new QHBoxLayout(region_page);
    region_layout->setContentsMargins(0, 0, 0, 0);
    // Each set of histograms under its caption.
    const auto captioned = [region_page, region_layout](const QString& caption) {
        auto* column = new QVBoxLayout;
        auto* label = new QLabel(caption, region_page);
        auto* pixmap = new QLabel(region_page);
        column->addWidget(label);
        column->addWidget(pixmap);
        column->addStretch(1);
        region_layout->addLayout(column);
        return std::pair{label, pixmap};
    };
    std::tie(histograms_shown_caption_, histograms_shown_) = captioned(QString());
    std::tie(histograms_other_caption_, histograms_other_) = captioned(QString());
    auto* numbers = new QVBoxLayout;
    table_ = new QTableWidget(region_page);
    table_->setObjectName(QStringLiteral("region_table"));
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setVisible(false);
    copy_ = new QPushButton(region_page);
    copy_->setObjectName(QStringLiteral("region_copy"));
    connect(copy_, &QPushButton::clicked, this,
            [this] { QApplication::clipboard()->setText(QString::fromStdString(region_table_text(region_))); });
    numbers->addWidget(table_, 1);
    numbers->addWidget(copy_, 0, Qt::AlignLeft);
    region_layout->addLayout(numbers, 1);
    pages_->addWidget(region_page);
    set_texts();
}

// What the panel says of its own, in the language in use; the measured
// texts are made again by show_profile and show_region.
void MeasurePanel::set_texts()
{
    histograms_shown_caption_->setText(ui_text("на экране"));
    histograms_other_caption_->setText(ui_text("другая"));
    copy_->setText(ui_text("Копировать"));
    plot_->update();
}

void MeasurePanel::show_hint(const QString& text)
{
    hint_->setText(text);
    plot_->set_profile(nullptr);
    pages_->setCurrentIndex(0);
}

void MeasurePanel::show_profile(const Profile& profile, double length)
{
    const std::optional<std::size_t> hovered = plot_->hovered();
    profile_ = profile;
    length_ = length;
    plot_->set_profile(&profile_, length);
    pages_->setCurrentIndex(1);
    describe_hover(hovered && *hovered < profile_.points.size() ? hovered : std::nullopt);
}

void MeasurePanel::describe_hover(std::optional<std::size_t> sample)
{
    const ProfileLine line{profile_.points.front().x, profile_.points.front().y, profile_.points.back().x,
                           profile_.points.back().y};
    if (!sample) {
        hover_->setText(ui_text("(%1, %2) – (%3, %4): %5 точек, длина %6")
                            .arg(line.x0).arg(line.y0).arg(line.x1).arg(line.y1)
                            .arg(profile_.points.size()).arg(length_, 0, 'f', 1));
        return;
    }
    const std::size_t i = *sample;
    const double n = double(std::max<std::size_t>(1, profile_.points.size() - 1));
    const bool other = !profile_.other.empty();
    QString text = (other ? ui_text("%1 от начала: x %2, y %3   %4   другая: %5")
                          : ui_text("%1 от начала: x %2, y %3   %4"))
                       .arg(length_ * double(i) / n, 0, 'f', 1)
                       .arg(profile_.points[i].x)
                       .arg(profile_.points[i].y)
                       .arg(values_text(profile_.shown[i]));
    if (other) text = text.arg(values_text(profile_.other[i]));
    hover_->setText(text);
}

std::optional<PicturePoint> MeasurePanel::hovered_point() const
{
    if (pages_->currentIndex() != 1 || !plot_->hovered() || *plot_->hovered() >= profile_.points.size())
        return std::nullopt;
    return profile_.points[*plot_->hovered()];
}

void MeasurePanel::show_region(const Region& region)
{
    region_ = region;
    histograms_shown_->setPixmap(histograms_pixmap(region.shown));
    histograms_other_->setVisible(region.other.has_value());
    histograms_other_caption_->setVisible(region.other.has_value());
    if (region.other) histograms_other_->setPixmap(histograms_pixmap(*region.other));
    static const char* const channels[4] = {"R", "G", "B", "яркость"};
    const QStringList headers = {ui_text("картинка"), ui_text("канал"), ui_text("число"), ui_text("мин"),
                                 ui_text("макс"), ui_text("среднее"), ui_text("ст. откл."), ui_text("медиана")};
    table_->setColumnCount(headers.size());
    table_->setHorizontalHeaderLabels(headers);
    table_->setRowCount(region.other ? 8 : 4);
    int row = 0;
    const auto fill = [&](const RegionStats& stats, const QString& which) {
        for (int k = 0; k < 4; ++k, ++row) {
            const ChannelStats& s = stats.channel[k];
            const QString cells[8] = {which, ui_text(channels[k]), QString::number(s.count),
                                      QString::number(s.min), QString::number(s.max), fixed(s.mean), fixed(s.std),
                                      QString::number(s.median)};
            for (int c = 0; c < 8; ++c) table_->setItem(row, c, new QTableWidgetItem(cells[c]));
        }
    };
    fill(region.shown, ui_text("на экране"));
    if (region.other) fill(*region.other, ui_text("другая"));
    table_->resizeColumnsToContents();
    pages_->setCurrentIndex(2);
}
