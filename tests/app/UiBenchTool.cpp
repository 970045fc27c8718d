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
//   tree FOLDER        open the folder tree down to FOLDER, then expand it:
//                      time to its first and to all of its children, and
//                      the longest wait of the event loop meanwhile
//   tree-peer FOLDER   the same expansion in a QTreeView on Qt's
//                      QFileSystemModel, filtered to the same pictures
//   editor PICTURE     the scheme editor on PICTURE: opening, preview
//                      latency of resize changes, longest event-loop wait
#include "EditorBench.h"
#include "app/BatchDialog.h"
#include "app/DialogRouter.h"
#include "app/ImageCommands.h"
#include "app/MainWindow.h"
#include "app/TreeWalk.h"
#include "browser/FolderTree.h"
#include "browser/ImageListView.h"
#include "browser/RowLoader.h"
#include "imaging/CImageBox.h"
#include "imaging/ImagingRuntime.h"
#include "schemes/SchemeStore.h"
#include "support/QuietDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QTimer>
#include <QTreeView>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <string>

using namespace varnetto;
using varnetto::testing::QuietDialogs;

namespace {

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

// Counts how long the event loop waits between ticks of a 5 ms timer.
class LoopWatch {
  public:
    LoopWatch() {
        heartbeat_.setInterval(5);
        QObject::connect(&heartbeat_, &QTimer::timeout, [this] {
            longest_ = std::max(longest_, sinceTick_.elapsed() - 5);
            sinceTick_.restart();
        });
    }
    void start() {
        sinceTick_.start();
        heartbeat_.start();
    }
    qint64 longestGap() const { return longest_; }
    // A block the heartbeat cannot see: the last one before the loop ends.
    void include(qint64 blockMs) { longest_ = std::max(longest_, blockMs); }

  private:
    QTimer heartbeat_;
    QElapsedTimer sinceTick_;
    qint64 longest_ = 0;
};

// Shown means laid out and painted: the view is drawn once more to be sure.
void printExpansion(QAbstractItemView& view, int children, qint64 firstMs, QElapsedTimer& clock,
                    LoopWatch& watch) {
    const qint64 before = clock.elapsed();
    view.viewport()->grab();
    const qint64 allMs = clock.elapsed();
    watch.include(allMs - before);
    std::printf("children=%d first_ms=%lld all_ms=%lld longest_gap_ms=%lld\n", children,
                static_cast<long long>(firstMs), static_cast<long long>(allMs),
                static_cast<long long>(watch.longestGap()));
}

// Expands folder in the main window's tree once the levels above are open.
int benchTree(QApplication& app, MainWindow& window, const std::string& folder) {
    auto* tree = window.findChild<FolderTree*>("folderTree");
    const QModelIndex target = testing::openTreeDownTo(*tree, folder);
    if (!target.isValid()) return 1;
    LoopWatch watch;
    QElapsedTimer clock;
    qint64 firstMs = -1;
    bool expanding = false;
    QObject::connect(tree->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex& parent) {
                         // The loading item comes with the expansion itself.
                         if (!expanding && parent == target && firstMs < 0)
                             firstMs = clock.elapsed();
                     });
    QObject::connect(tree, &FolderTree::readingFinished, [&] {
        printExpansion(*tree, tree->model()->rowCount(target), firstMs, clock, watch);
        app.quit();
    });
    watch.start();
    clock.start();
    expanding = true;
    tree->expand(target);
    expanding = false;
    return QApplication::exec();
}

int benchPeerTree(QApplication& app, const std::string& folder) {
    QFileSystemModel model;
    QStringList patterns;
    for (const char* extension :
         {"bmp", "gif", "jpg", "jpeg", "png", "wbmp", "wbm", "pcx", "psd", "tif", "tiff"}) {
        patterns << QStringLiteral("*.") + extension;
    }
    model.setNameFilters(patterns);
    model.setNameFilterDisables(false);
    model.setFilter(QDir::AllDirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
    const QString path = QString::fromStdString(folder);
    const QString parent = QFileInfo(path).path();
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(300, 600);
    view.show();
    // The parent is read first, untimed, as the other tree's levels above are.
    QEventLoop parentRead;
    QObject::connect(&model, &QFileSystemModel::directoryLoaded, [&](const QString& loaded) {
        if (loaded == parent) parentRead.quit();
    });
    view.setRootIndex(model.setRootPath(parent));
    parentRead.exec();
    const QModelIndex target = model.index(path);
    const int expected = static_cast<int>(QDir(path).entryList(patterns, QDir::Files).size());
    LoopWatch watch;
    QElapsedTimer clock;
    qint64 firstMs = -1;
    bool done = false;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&](const QModelIndex& at) {
        if (at != target) return;
        if (firstMs < 0) firstMs = clock.elapsed();
        if (!done && model.rowCount(target) >= expected) {
            done = true;
            QTimer::singleShot(0, [&] {
                printExpansion(view, model.rowCount(target), firstMs, clock, watch);
                app.quit();
            });
        }
    });
    watch.start();
    clock.start();
    view.expand(target);
    return QApplication::exec();
}

}  // namespace

int main(int argc, char** argv) {
    startWithHugePages(argv);
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (argc < 2) {
        std::cerr << "usage: varnetto-ui-bench thumbnails FOLDER | startup | batch APP SCHEME "
                     "FILE... | tree FOLDER | tree-peer FOLDER | editor PICTURE\n";
        return 2;
    }
    returnLargeBuffersToTheSystem();
    initImaging(argv[0]);
    QApplication app(argc, argv);
    const std::string mode = argv[1];
    QuietDialogs dialogs;
    if (mode == "batch") return batch(argc, argv, dialogs);
    if (mode == "tree-peer" && argc >= 3) return benchPeerTree(app, argv[2]);
    if (mode == "editor" && argc == 3) return editorBench(dialogs, argv[2], VARNETTO_BIN_DIR);
    DialogRouter secondary(dialogs);
    MainWindow window(VARNETTO_BIN_DIR, dialogs, secondary);
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
    if (mode == "tree" && argc >= 3) return benchTree(app, window, argv[2]);
    if (mode != "thumbnails" || argc < 3) return 2;

    QElapsedTimer loading;
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    // The UI thread's own work between two ticks: on a busy machine a long
    // wait may be time spent waiting for a core, not work that blocked.
    double cpuAtTick = threadCpuMs();
    double longestBusy = 0;
    ImageListView& view = *window.findChild<ImageListView*>("imageList");
    ImageListModel& list = *window.findChild<ImageListModel*>("imageRows");
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
    QObject::connect(window.findChild<RowLoader*>("rowLoader"), &RowLoader::allJobsDone, [&] {
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
        window.findChild<ImageCommands*>("imageCommands")->loadFolder(argv[2]);
    });
    return QApplication::exec();
}
