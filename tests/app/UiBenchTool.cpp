// Measurements for the bench/ui-*.sh scripts; prints one line of figures.
//   thumbnails FOLDER  load the folder, time until every row is read, the
//                      longest wait of the UI thread's event loop meanwhile,
//                      and the resident memory at the end
//   startup            time from the start of main to a shown main window
#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "browser/RowLoader.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

using namespace varnetto;

namespace {

class QuietDialogs final : public UserDialogs {
  public:
    void message(QWidget*, const QString& text, MessageKind) override {
        std::cerr << text.toStdString() << "\n";
    }
    bool ask(QWidget*, const QString&, MessageKind) override { return false; }
    QString chooseFolder(QWidget*, const QString&) override { return {}; }
    QString chooseOpenFile(QWidget*, const QString&, const QString&) override { return {}; }
    void problemList(QWidget*, const QString&, const std::vector<ProblemEntry>&) override {}
};

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc < 2) {
        std::cerr << "usage: varnetto-ui-bench thumbnails FOLDER | startup\n";
        return 2;
    }
    returnLargeBuffersToTheSystem();
    initImaging(argv[0]);
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    QuietDialogs dialogs;
    DialogRouter secondary(dialogs);
    MainWindow window(VARNETTO_BIN_DIR, dialogs, secondary);
    window.showMaximized();

    if (mode == "startup") {
        QTimer::singleShot(0, [&] {
            std::printf("startup_ms=%lld\n", static_cast<long long>(sinceStart.elapsed()));
            app.quit();
        });
        return QApplication::exec();
    }
    if (mode != "thumbnails" || argc < 3) return 2;

    QElapsedTimer loading;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.elapsed() - 5;
        if (gap > 50) {
            std::fprintf(stderr, "wait of %lld ms at %.1f s\n", static_cast<long long>(gap),
                         loading.elapsed() / 1000.0);
        }
        longestGap = std::max(longestGap, gap);
        sinceTick.restart();
    });
    QObject::connect(&window.rowLoader(), &RowLoader::allJobsDone, [&] {
        const double seconds = loading.elapsed() / 1000.0;
        const int rows = window.imageList().rowCount();
        std::printf("rows=%d seconds=%.2f rows_per_second=%.1f longest_gap_ms=%lld rss_mb=%.0f\n",
                    rows, seconds, rows / seconds, static_cast<long long>(longestGap),
                    residentMegabytes());
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        loading.start();
        sinceTick.start();
        heartbeat.start();
        window.loadFolder(argv[2]);
    });
    return QApplication::exec();
}
