// Measurements of the full-screen viewer for bench/viewer-*.sh, on a 1920 x
// 1080 window; prints one line of figures per measurement.
//   steps FOLDER PAUSE_MS  step through the folder's JPEGs with Page Down,
//                          PAUSE_MS after each picture is on screen; the time
//                          from the key to the first paint of the new picture
//                          and to the paint with every tile sharp
//   zoom FILE              open a large picture, zoom in and out and pan by
//                          dragging; the time from each mouse move to the
//                          repaint, and the peak resident memory
#include "imaging/ImagingRuntime.h"
#include "support/QuietDialogs.h"
#include "viewer/FullScreenViewer.h"
#include "viewer/ViewerCanvas.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

using namespace varnetto;
using varnetto::testing::QuietDialogs;

namespace {

double statusMegabytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) return std::stod(line.substr(std::strlen(field))) / 1024.0;
    }
    return 0;
}

struct Figures {
    std::vector<double> values;
    void add(double value) { values.push_back(value); }
    double median() {
        if (values.empty()) return 0;
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    double worst() const {
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
};

double milliseconds(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

int steps(const std::string& folder, int pauseMs) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".jpg") paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    if (paths.size() < 2) return 2;
    ViewerRequest request;
    for (const std::string& path : paths) request.rows.push_back({path, false, "", "", ""});
    request.startRow = 0;
    QuietDialogs dialogs;
    FullScreenViewer viewer(request, dialogs);
    viewer.setGeometry(0, 0, 1920, 1080);
    viewer.show();
    auto* canvas = viewer.findChild<ViewerCanvas*>("imageArea");

    size_t shown = 0;
    bool waiting = true;
    bool firstSeen = false;
    QElapsedTimer sincePress;
    sincePress.start();
    Figures firstPaint, sharp;
    auto press = [&] {
        ++shown;
        waiting = true;
        firstSeen = false;
        sincePress.start();
        QKeyEvent key(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QApplication::sendEvent(&viewer, &key);
    };
    QObject::connect(canvas, &ViewerCanvas::painted, [&](bool complete) {
        if (!waiting || !canvas->picture() || canvas->picture()->path() != paths[shown]) return;
        const double elapsed = milliseconds(sincePress);
        if (!firstSeen && shown > 0) firstPaint.add(elapsed);
        firstSeen = true;
        if (!complete) return;
        waiting = false;
        if (shown > 0) sharp.add(elapsed);
        if (shown + 1 == paths.size()) {
            QTimer::singleShot(0, qApp, &QApplication::quit);
            return;
        }
        QTimer::singleShot(shown == 0 ? 1000 : pauseMs, press);
    });
    QApplication::exec();
    std::printf(
        "pictures=%zu pause_ms=%d first_paint_median_ms=%.0f sharp_median_ms=%.0f "
        "sharp_worst_ms=%.0f rss_mb=%.0f\n",
        paths.size(), pauseMs, firstPaint.median(), sharp.median(), sharp.worst(),
        statusMegabytes("VmRSS:"));
    return 0;
}

int zoom(const std::string& path) {
    ViewerRequest request;
    request.mode = ViewerMode::ShowBitmap;
    request.picturePath = path;
    QuietDialogs dialogs;
    FullScreenViewer viewer(request, dialogs);
    viewer.setGeometry(0, 0, 1920, 1080);
    viewer.show();
    auto* canvas = viewer.findChild<ViewerCanvas*>("imageArea");

    // Each stage runs when the previous one is on screen with every tile sharp.
    QElapsedTimer clock;
    clock.start();
    std::function<void()> next;
    bool waitingSharp = false;
    QObject::connect(canvas, &ViewerCanvas::painted, [&](bool complete) {
        if (!waitingSharp || !complete || !canvas->hasPicture()) return;
        waitingSharp = false;
        QTimer::singleShot(0, [&] {
            const std::function<void()> stage = next;
            stage();
        });
    });
    // Runs then once the view is sharp, printing how long that took.
    auto whenSharp = [&](const char* what, std::function<void()> then) {
        waitingSharp = true;
        next = [&clock, what, then] {
            std::printf("%s_ms=%.0f ", what, milliseconds(clock));
            std::fflush(stdout);
            then();
        };
    };
    auto trigger = [&](const char* action) {
        clock.start();
        viewer.findChild<QAction*>(action)->trigger();
    };

    Figures repaint;
    int frames = 0, sharpFrames = 0;
    bool measuring = false;
    QElapsedTimer sinceMove;
    QObject::connect(canvas, &ViewerCanvas::painted, [&](bool complete) {
        if (!measuring) return;
        measuring = false;
        repaint.add(milliseconds(sinceMove));
        ++frames;
        if (complete) ++sharpFrames;
    });
    // Drags across the picture at about 60 moves a second.
    auto pan = [&](int moves, QPoint step, std::function<void()> then) {
        auto point = std::make_shared<QPoint>(canvas->rect().center());
        auto left = std::make_shared<int>(moves);
        QMouseEvent press(QEvent::MouseButtonPress, QPointF(*point),
                          canvas->mapToGlobal(QPointF(*point)), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QApplication::sendEvent(canvas, &press);
        auto* timer = new QTimer(canvas);
        timer->setInterval(16);
        QObject::connect(timer, &QTimer::timeout, [=, &measuring, &sinceMove] {
            if (--*left < 0) {
                timer->deleteLater();
                QMouseEvent release(QEvent::MouseButtonRelease, QPointF(*point),
                                    canvas->mapToGlobal(QPointF(*point)), Qt::LeftButton,
                                    Qt::NoButton, Qt::NoModifier);
                QApplication::sendEvent(canvas, &release);
                then();
                return;
            }
            *point += step;
            measuring = true;
            sinceMove.start();
            QMouseEvent move(QEvent::MouseMove, QPointF(*point),
                             canvas->mapToGlobal(QPointF(*point)), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(canvas, &move);
            canvas->repaint();
        });
        timer->start();
    };
    auto finish = [&] {
        std::printf(
            "pan_moves=%d pan_repaint_median_ms=%.1f pan_repaint_worst_ms=%.1f "
            "pan_sharp_frames=%d peak_rss_mb=%.0f\n",
            frames, repaint.median(), repaint.worst(), sharpFrames, statusMegabytes("VmHWM:"));
        QApplication::quit();
    };
    std::function<void()> zoomIn, zoomOut, zoomOutAgain;
    zoomIn = [&] {
        whenSharp("zoom_in_with_full_decode", [&] {
            // The tiles around the view arrive while the user looks.
            QTimer::singleShot(800, [&] { pan(120, QPoint(-12, -8), zoomOut); });
        });
        trigger("viewer906");  // 120 %
    };
    zoomOut = [&] {
        whenSharp("zoom_out", zoomOutAgain);
        trigger("viewer907");  // 100 %
    };
    zoomOutAgain = [&] {
        whenSharp("zoom_out_again",
                  [&] { QTimer::singleShot(800, [&] { pan(120, QPoint(10, 8), finish); }); });
        trigger("viewer907");  // 80 %
    };
    whenSharp("open", zoomIn);
    QApplication::exec();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: varnetto-viewer-bench steps FOLDER PAUSE_MS | zoom FILE\n";
        return 2;
    }
    returnLargeBuffersToTheSystem();
    initImaging(argv[0]);
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    if (mode == "steps" && argc == 4) return steps(argv[2], std::atoi(argv[3]));
    if (mode == "zoom") return zoom(argv[2]);
    return 2;
}
