// zn_icon_export FOLDER SIZE...: writes the icons that the console and the seat client draw for
// themselves as FOLDER/<size>x<size>/apps/<name>.png, the desktop's icon theme layout, so that
// menus and session lists show the programs as their windows do.
#include <QDir>
#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>

#include <cstdio>
#include <utility>

#include "ClientIcon.h"
#include "NotifierSkin.h"

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: zn_icon_export FOLDER SIZE...\n");
        return 2;
    }
    const std::pair<const char*, QIcon> icons[] = {
        {"zentrova-nubra-console", zn::console::DrawConsoleIcon()},
        {"zentrova-nubra-client", zn::client::DrawClientIcon()},
    };
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = QByteArray(argv[i]).toInt();
        const QString apps = QStringLiteral("%1x%1/apps").arg(size);
        if (size <= 0 || !folder.mkpath(apps)) {
            std::fprintf(stderr, "zn_icon_export: cannot make %s\n", qPrintable(apps));
            return 1;
        }
        for (const auto& [name, icon] : icons) {
            const QString file = folder.filePath(apps + '/' + name + ".png");
            if (!icon.pixmap(size, size).save(file, "PNG")) {
                std::fprintf(stderr, "zn_icon_export: cannot write %s\n", qPrintable(file));
                return 1;
            }
        }
    }
    return 0;
}
