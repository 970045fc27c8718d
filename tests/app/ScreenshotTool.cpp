// Shows the main window on the running display with a folder of generated
// pictures loaded, some rows locked and one selected, and saves the screen.
// With "viewer" the selected picture (a photograph when one is installed) is
// then shown full-screen, zoomed in and panned; with "scheme-viewer" the
// parameters of a bundled scheme are shown.
#include "app/CommandIds.h"
#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "browser/ImageListView.h"
#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>

using namespace varnetto;

namespace {

class PrintingDialogs final : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
    }
    bool ask(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
        return false;
    }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&) override { return {}; }
    void details(QWidget*, const QString& text, const QString&) override {
        std::cerr << text.toStdString() << "\n";
    }
};

// Landscapes of coloured bands and a sun, in several sizes and aspects.
void writeScene(const std::string& path, int width, int height, int seed) {
    using vips::VImage;
    const VImage xyz = VImage::xyz(width, height);
    const VImage x = xyz[0] / double(width);
    const VImage y = xyz[1] / double(height);
    const double phase = seed * 0.7;
    const VImage hills = (((x * 6.0 + phase).sin() * 0.08 + 0.6) < y).ifthenelse(1.0, 0.0);
    const double cx = 0.25 + 0.08 * (seed % 6);
    const VImage sun = (((x - cx).pow(2) + (y - 0.25).pow(2)) < 0.01).ifthenelse(1.0, 0.0);
    const VImage sky = 255.0 - y * 120.0;
    const VImage r = sky * 0.45 * (1 - hills) + hills * (40 + 20 * (seed % 4)) + sun * 200;
    const VImage g = sky * 0.7 * (1 - hills) + hills * (110 + 10 * (seed % 5)) + sun * 140;
    const VImage b = sky * (1 - hills) + hills * 50;
    r.bandjoin(g)
        .bandjoin(b)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
        .write_to_file(path.c_str());
}

// A photograph of the mate-backgrounds package, when it is installed.
std::string installedPhotograph() {
    const std::filesystem::path photo = "/usr/share/backgrounds/mate/nature/Garden.jpg";
    std::error_code error;
    return std::filesystem::exists(photo, error) ? photo.string() : std::string();
}

// Saves the whole screen and ends the program.
void saveScreen(QApplication& app, QWidget& window, const QString& output) {
    const QPixmap shot = window.screen()->grabWindow(0);
    const bool saved = shot.save(output);
    std::cerr << (saved ? "saved " : "could not save ") << output.toStdString() << "\n";
    app.exit(saved ? 0 : 1);
}

// Zooms the full-screen viewer in twice and drags the picture a little.
void zoomIntoViewer(QWidget* viewer) {
    for (const char* name : {"viewer906", "viewer906"}) {
        if (auto* action = viewer->findChild<QAction*>(name)) action->trigger();
    }
    QWidget* area = viewer->findChild<QWidget*>("imageArea");
    if (!area) return;
    auto send = [area](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), area->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(area, &event);
    };
    const QPoint start = area->rect().center();
    send(QEvent::MouseButtonPress, start, Qt::LeftButton);
    send(QEvent::MouseMove, start + QPoint(-300, -160), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, start + QPoint(-300, -160), Qt::NoButton);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 4 ? argv[1] : "main";
    if ((argc != 3 && argc != 4) ||
        (mode != "main" && mode != "viewer" && mode != "scheme-viewer")) {
        std::cerr << "usage: varnetto-screenshot [main|viewer|scheme-viewer] PICTURE-FOLDER "
                     "OUTPUT.png\n";
        return 2;
    }
    initImaging(argv[0]);
    QApplication app(argc, argv);
    const std::string folder = argv[argc - 2];
    const QString output = QString::fromLocal8Bit(argv[argc - 1]);
    std::filesystem::create_directories(folder);
    const int sizes[][2] = {{1600, 1200}, {1920, 1080}, {900, 1200}, {2000, 1000},
                            {800, 600},   {1200, 1600}, {100, 50},   {1024, 768},
                            {3000, 2000}, {640, 640},   {1500, 900}, {1280, 720}};
    int seed = 0;
    for (const auto& size : sizes) {
        writeScene(folder + "/scene" + std::to_string(seed + 1) + (seed % 3 ? ".jpg" : ".png"),
                   size[0], size[1], seed);
        ++seed;
    }
    std::ofstream(folder + "/damaged.jpg") << "this is not a picture";
    if (const std::string photo = installedPhotograph(); !photo.empty() && mode == "viewer")
        std::filesystem::copy_file(photo, folder + "/photo.jpg",
                                   std::filesystem::copy_options::overwrite_existing);

    PrintingDialogs dialogs;
    DialogRouter secondary(dialogs);
    MainWindow window(applicationFolder(), dialogs, secondary);
    // Xvfb has no window manager to maximize the window.
    window.setGeometry(window.screen()->availableGeometry());
    window.showMaximized();
    window.loadFolder(folder);
    QTimer poll;
    poll.setInterval(200);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto& list = window.imageList();
        for (int row = 0; row < list.rowCount(); ++row)
            if (!list.isRead(row)) return;
        poll.stop();
        auto* selection = window.findChild<ImageListView*>("imageList")->selectionModel();
        for (int row : {1, 4, 5}) selection->select(list.index(row), QItemSelectionModel::Select);
        window.runCommand(kLockSelected);
        int shown = 2;
        for (int row = 0; row < list.rowCount(); ++row)
            if (list.rowPath(row).ends_with("/photo.jpg")) shown = row;
        selection->select(list.index(shown), QItemSelectionModel::ClearAndSelect);
        if (mode == "viewer") {
            // The viewer is modal: it is worked from timers while it runs.
            QTimer::singleShot(1500, [&] {
                if (QWidget* viewer = QApplication::activeModalWidget()) zoomIntoViewer(viewer);
            });
            QTimer::singleShot(3500, [&] { saveScreen(app, window, output); });
            window.runCommand(kFullScreen);
            return;
        }
        if (mode == "scheme-viewer") {
            auto* choice = window.findChild<QComboBox*>("schemeChoice");
            const int framed = choice->findText(QString::fromUtf8("相框打印"));
            if (framed >= 0) choice->setCurrentIndex(framed);
            QTimer::singleShot(1000, [&] { saveScreen(app, window, output); });
            window.runCommand(kQuickView);
            return;
        }
        QTimer::singleShot(1500, [&] { saveScreen(app, window, output); });
    });
    poll.start();
    return QApplication::exec();
}
