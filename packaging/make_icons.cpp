// Writes the program's icon, drawn by the same code as the Qt window's own
// (shell/qt/app_icon.cpp), as a hicolor icon theme tree for the desktop:
// OUT/hicolor/NxN/apps/lumaforge.png at each size desktops look for.
//
// usage: make_icons OUT
#include <QDir>
#include <QImage>
#include <QString>
#include <cstdio>

#include "shell/qt/app_icon.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_icons OUT\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(out).arg(size);
        const QString file = dir + QStringLiteral("/lumaforge.png");
        if (!QDir().mkpath(dir) || !draw_app_icon(size).save(file, "PNG")) {
            std::fprintf(stderr, "make_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
