// Measurements for the bench/ui-*.sh scripts; prints one line of figures.
//   thumbnails FOLDER  load the folder in a 1366 x 768 window: time until the
//                      rows first in view are read, then jump to the end of
//                      the list and time until the rows there are read; time
//                      until every row is read, the longest wait of the UI
//                      thread's event loop meanwhile, and the resident memory
//                      at the end
//   startup            time from the start of main to a shown main window
//   batch APP SCHEME FILE...
//                      run the scheme of the application folder APP over the
//                      files through the batch dialog, as "开始" does; time
//                      until the run has ended
#include "app/BatchDialog.h"
#include "app/DialogRouter.h"
#include "app/MainWindow.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "schemes/SchemeStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <ctime>
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
    void details(QWidget*, const QString&, const QString&) override {}
};

double residentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// The batch dialog's own path: its runner, workers and thread policy.
int batch(int argc, char** argv, UserDialogs& dialogs) {
    if (argc < 5) return 2;
    const std::string appFolder = argv[2];
    SilentReporter silent;
    SchemeStore store(appFolder);
    store.load(silent);
    const Scheme* scheme = store.findByName(argv[3]);
    if (!scheme) {
        std::cerr << "no scheme " << argv[3] << "\n";
        return 2;
    }
    BatchJob job;
    job.scheme = *scheme;
    job.outputFolder = scheme->outputFolder;
    job.sources.assign(argv + 4, argv + argc);
    BatchDialog dialog(dialogs, appFolder);
    QElapsedTimer running;
    int failed = 0;
    QObject::connect(&dialog, &BatchDialog::batchFinished, [&] {
        for (const BatchOutcome& outcome : dialog.lastOutcomes()) failed += outcome.ok() ? 0 : 1;
        std::printf("images=%zu seconds=%.2f failed=%d\n", job.sources.size(),
                    running.elapsed() / 1000.0, failed);
        QApplication::quit();
    });
    dialog.prepare(QString::fromStdString(scheme->name), int(job.sources.size()),
                   [job] { return job; });
    dialog.show();
    QTimer::singleShot(0, [&] {
        running.start();
        dialog.start();
    });
    QApplication::exec();
    return failed == 0 ? 0 : 1;
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
    if (mode == "batch") return batch(argc, argv, dialogs);
    DialogRouter secondary(dialogs);
    MainWindow window(applicationFolder(), dialogs, secondary);
    if (mode == "thumbnails") {
        window.resize(1366, 768);
        window.show();
    } else {
        window.showMaximized();
    }

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
    // The UI thread's own work between two ticks: on a busy machine a long
    // wait may be time spent waiting for a core, not work that blocked.
    double cpuAtTick = threadCpuMs();
    double longestBusy = 0;
    ImageListView& view = *window.findChild<ImageListView*>("imageList");
    ImageListModel& list = window.imageList();
    auto inViewRead = [&] {
        const auto [first, last] = view.visibleRows();
        for (int row = first; row <= last; ++row)
            if (!list.isRead(row)) return false;
        return last >= first;
    };
    // First the rows in view when the folder is chosen, then those at the end
    // of the list after a jump there.
    qint64 firstScreen = -1;
    qint64 jumpStart = -1;
    qint64 jump = -1;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 gap = sinceTick.elapsed() - 5;
        if (gap > 50) {
            std::fprintf(stderr, "wait of %lld ms at %.1f s\n", static_cast<long long>(gap),
                         loading.elapsed() / 1000.0);
        }
        const double cpu = threadCpuMs();
        if (gap > 50) {
            std::fprintf(stderr, "  of which the UI thread worked %.0f ms\n", cpu - cpuAtTick);
        }
        longestGap = std::max(longestGap, gap);
        longestBusy = std::max(longestBusy, cpu - cpuAtTick);
        cpuAtTick = cpu;
        sinceTick.restart();
        if (firstScreen < 0) {
            if (inViewRead()) {
                firstScreen = loading.elapsed();
                jumpStart = loading.elapsed();
            }
        } else if (jump < 0) {
            // The end can be reached once the batched layout has got there.
            if (view.visibleRows().second < list.rowCount() - 1) {
                view.scrollToBottom();
            } else if (inViewRead()) {
                jump = loading.elapsed() - jumpStart;
            }
        }
    });
    QObject::connect(&window.rowLoader(), &RowLoader::allJobsDone, [&] {
        const double seconds = loading.elapsed() / 1000.0;
        const int rows = list.rowCount();
        std::printf(
            "rows=%d seconds=%.2f rows_per_second=%.1f first_screen_ms=%lld jump_ms=%lld "
            "longest_gap_ms=%lld longest_busy_ms=%.0f rss_mb=%.0f\n",
            rows, seconds, rows / seconds, static_cast<long long>(firstScreen),
            static_cast<long long>(jump), static_cast<long long>(longestGap), longestBusy,
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
