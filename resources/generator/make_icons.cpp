// Generates the application icon for the desktop from the same drawing as
// the window icon: PNG files in the hicolor sizes and a scalable SVG.
// Usage: make_icons OUTPUT_FOLDER ICON_NAME
// writes OUTPUT_FOLDER/hicolor/SIZExSIZE/apps/ICON_NAME.png and
// OUTPUT_FOLDER/hicolor/scalable/apps/ICON_NAME.svg
#include "uikit/Artwork.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgGenerator>

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: make_icons OUTPUT_FOLDER ICON_NAME\n";
        return 2;
    }
    // Drawing needs no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const fs::path hicolor = fs::path(argv[1]) / "hicolor";
    const std::string name = argv[2];

    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const fs::path folder =
            hicolor / (std::to_string(size) + "x" + std::to_string(size)) / "apps";
        fs::create_directories(folder);
        const fs::path file = folder / (name + ".png");
        if (!varnetto::artwork::applicationIcon(size).save(QString::fromStdString(file))) {
            std::cerr << "make_icons: cannot write " << file << '\n';
            return 1;
        }
    }

    const fs::path scalable = hicolor / "scalable" / "apps";
    fs::create_directories(scalable);
    const int size = 256;
    QSvgGenerator svg;
    svg.setFileName(QString::fromStdString(scalable / (name + ".svg")));
    svg.setSize({size, size});
    svg.setViewBox(QRect(0, 0, size, size));
    svg.setTitle("Varnetto");
    QPainter painter;
    if (!painter.begin(&svg)) {
        std::cerr << "make_icons: cannot write the SVG icon\n";
        return 1;
    }
    varnetto::artwork::paintApplicationIcon(painter, size);
    painter.end();
    return 0;
}
