// lumaforge: the program people start. The main window shown maximised,
// every command through the menu or its shortcut; one optional argument, a
// picture file (BMP, PNG, JPEG, GIF, TIFF, WebP) to open at start as the
// open command would, after an optional --lang CODE.
//
// The texts' language: --lang, else LUMAFORGE_LANG, else the one chosen in
// the view menu last time, else Russian.
#include <QApplication>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lumaforge_version.h"
#include "shell/qt/app_icon.h"
#include "shell/qt/main_window.h"
#include "text/catalogue.h"

namespace {

// "ru, en": the codes --lang takes.
std::string language_codes()
{
    std::string codes;
    for (const text::Language& l : text::languages()) codes += (codes.empty() ? "" : ", ") + l.code;
    return codes;
}

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
        std::printf("usage: lumaforge [--lang CODE] [PICTURE]\n"
                    "Opens the image processing window, with the picture if one is given.\n"
                    "  --lang CODE  the language of the window's texts (%s); without it\n"
                    "               LUMAFORGE_LANG, else the last one chosen, else ru\n",
                    language_codes().c_str());
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

    QStringList args = QApplication::arguments();
    QString language;
    if (args.size() >= 2 && args[1] == QLatin1String("--lang")) {
        if (args.size() < 3) {
            std::fprintf(stderr, "lumaforge: --lang needs a language code (%s)\n", language_codes().c_str());
            return 2;
        }
        language = args[2];
        args.remove(1, 2);
    }
    if (args.size() > 2 || (args.size() == 2 && args[1].startsWith(QLatin1Char('-')))) {
        std::fprintf(stderr, "usage: lumaforge [--lang CODE] [PICTURE]\n");
        return 2;
    }
    if (!language.isEmpty()) {
        if (!text::set_language(language.toStdString())) {
            std::fprintf(stderr, "lumaforge: no language \"%s\"; there are %s\n", qPrintable(language),
                         language_codes().c_str());
            return 2;
        }
    } else if (!text::choose_from_environment()) {
        text::set_language(remembered_language());  // nothing changes for none
    }
    load_qt_translations();

    MainWindow window;
    QObject::connect(&window, &MainWindow::finished, &app, &QCoreApplication::exit);
    window.showMaximized();
    if (args.size() == 2) {
        const QString picture = args[1];
        QTimer::singleShot(0, &window, [&window, picture] { window.open_file(picture); });
    }
    return QApplication::exec();
}
