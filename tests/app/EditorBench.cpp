// The scheme editor's figures for bench/ui-editor.sh: the time to open the
// editor on a picture, how long the preview takes to show a changed resize
// setting, and the longest wait of the UI thread's event loop meanwhile.
#include "EditorBench.h"

#include "editor/SchemeEditorDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace varnetto {

namespace {

// Milliseconds until the dialog's preview shows the newest settings, or -1.
qint64 untilShown(SchemeEditorDialog& dialog, const std::function<void()>& change) {
    QEventLoop loop;
    QElapsedTimer clock;
    bool shown = false;
    const auto connection = QObject::connect(&dialog, &SchemeEditorDialog::previewShown, [&] {
        shown = true;
        loop.quit();
    });
    QTimer::singleShot(20000, &loop, &QEventLoop::quit);
    clock.start();
    change();
    if (!shown) loop.exec();
    QObject::disconnect(connection);
    return shown ? clock.elapsed() : -1;
}

void pause(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

qint64 median(std::vector<qint64> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int editorBench(UserDialogs& dialogs, const std::string& picture, const std::string& appFolder) {
    Scheme scheme;
    scheme.name = "bench";
    scheme.outputFolder = "/tmp";
    scheme.resizeEnabled = 1;
    scheme.resizeMode = stored(ResizeMode::Width);
    scheme.resizeValue = 160;  // smaller than the preview box: the change shows
    scheme.resampleFilter = stored(ResampleFilter::Lanczos);
    EditorRequest request;
    request.mode = EditorMode::EditScheme;
    request.imagePath = picture;
    request.appFolder = appFolder;
    request.scheme = &scheme;

    QElapsedTimer opening;
    opening.start();
    SchemeEditorDialog dialog(request, dialogs);
    qint64 openMs = 0;
    const qint64 firstPreviewMs = untilShown(dialog,
                                             [&] {
                                                 dialog.show();
                                                 QCoreApplication::processEvents();
                                                 openMs = opening.elapsed();
                                             }) +
                                  openMs;

    QElapsedTimer sinceTick;
    qint64 longestWait = 0;
    QTimer heartbeat;
    heartbeat.setInterval(5);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        longestWait = std::max(longestWait, sinceTick.elapsed() - 5);
        sinceTick.restart();
    });
    sinceTick.start();
    heartbeat.start();

    // One change at a time, each waited for.
    auto* resize = dialog.findChild<QCheckBox*>("resizeEnabled");
    std::vector<qint64> single;
    for (int i = 0; i < 20; ++i) {
        single.push_back(untilShown(dialog, [&] { resize->setChecked(!resize->isChecked()); }));
        pause(50);
    }
    // Quick changes 30 ms apart: the time from the last one to its preview.
    std::vector<qint64> burst;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 4; ++i) {
            resize->setChecked(!resize->isChecked());
            pause(30);
        }
        burst.push_back(untilShown(dialog, [&] { resize->setChecked(!resize->isChecked()); }));
        pause(50);
    }
    // The JPEG quality renders nothing: it only matters when a file is written.
    auto* quality = dialog.findChild<QSlider*>("jpegQualitySlider");
    int qualityRenders = 0;
    QObject::connect(&dialog, &SchemeEditorDialog::previewShown, [&] { ++qualityRenders; });
    for (int i = 0; i < 20; ++i) {
        quality->setValue(20 + i * 4);
        pause(20);
    }
    heartbeat.stop();
    std::printf(
        "open_ms=%lld first_preview_ms=%lld change_median_ms=%lld change_max_ms=%lld "
        "burst_median_ms=%lld quality_renders=%d longest_wait_ms=%lld\n",
        static_cast<long long>(openMs), static_cast<long long>(firstPreviewMs),
        static_cast<long long>(median(single)),
        static_cast<long long>(*std::max_element(single.begin(), single.end())),
        static_cast<long long>(median(burst)), qualityRenders, static_cast<long long>(longestWait));
    return 0;
}

}  // namespace varnetto
