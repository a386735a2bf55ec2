// The program's icon, drawn here: a framed white panel with four bars in
// red, green, blue and grey, like the histograms beside the picture.
#pragma once

#include <QIcon>
#include <QImage>

QImage draw_app_icon(int size);
QIcon make_app_icon();  // 16, 32 and 48 pixels
