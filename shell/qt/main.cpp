// lumaforge: the program people start. The main window shown maximised,
// every command through the menu or its shortcut; one optional argument, a
// picture file (BMP, PNG, JPEG, GIF, TIFF, WebP) to open at start as the
// open command would.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "lumaforge_version.h"
#include "shell/qt/app_icon.h"
#include "shell/qt/main_window.h"

namespace {

// Without a display Qt would abort with its own message; say what is wrong.
bool display_available()
{
#if defined(__unix__) && !defined(__APPLE__)
    const auto set = [](const char* name) {
        const char* v = std::getenv(name);
        return v != nullptr && v[0] != '\0';
    };
    return set("DISPLAY") || set("WAYLAND_DISPLAY") || set("QT_QPA_PLATFORM");
#else
    return true;
#endif
}

}  // namespace

int main(int argc, char** argv)
{
    // Answered before looking for a display, so that they work anywhere.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("lumaforge " LUMAFORGE_VERSION "\n");
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: lumaforge [PICTURE]\n"
                    "Opens the image processing window, with the picture if one is given.\n");
        return 0;
    }
    if (!display_available()) {
        std::fprintf(stderr,
                     "lumaforge: no display to show the window on (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Start it from a desktop session, or use lumaforge-cli for work without a window.\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lumaforge"));
    QApplication::setWindowIcon(make_app_icon());
    load_qt_translations();

    const QStringList args = QApplication::arguments();
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: lumaforge [PICTURE]\n");
        return 2;
    }

    MainWindow window;
    QObject::connect(&window, &MainWindow::finished, &app, &QCoreApplication::exit);
    window.showMaximized();
    if (args.size() == 2) {
        const QString picture = args[1];
        QTimer::singleShot(0, &window, [&window, picture] { window.open_file(picture); });
    }
    return QApplication::exec();
}
