#include "shell/qt/app_icon.h"

#include <QPainter>
#include <QPixmap>
#include <algorithm>

QImage draw_app_icon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    const int margin = size / 16;
    const QRect panel(margin, margin, size - 2 * margin, size - 2 * margin);
    p.fillRect(panel, Qt::white);
    p.setPen(Qt::black);
    p.drawRect(panel.adjusted(0, 0, -1, -1));

    // Four bars of different heights standing on the panel's floor.
    const QColor colours[4] = {QColor(220, 30, 30), QColor(30, 170, 40), QColor(40, 70, 220), QColor(110, 110, 110)};
    const double heights[4] = {0.55, 0.85, 0.4, 0.7};
    const int inner_left = panel.left() + 2, inner_width = panel.width() - 4;
    const int floor = panel.bottom() - 1, room = panel.height() - 4;
    for (int i = 0; i < 4; ++i) {
        const int left = inner_left + inner_width * i / 4;
        const int right = inner_left + inner_width * (i + 1) / 4;
        const int height = static_cast<int>(room * heights[i] + 0.5);
        p.fillRect(QRect(left, floor - height + 1, std::max(1, right - left - (size >= 32 ? 1 : 0)), height), colours[i]);
    }
    return image;
}

QIcon make_app_icon()
{
    QIcon icon;
    for (int size : {16, 32, 48}) icon.addPixmap(QPixmap::fromImage(draw_app_icon(size)));
    return icon;
}
