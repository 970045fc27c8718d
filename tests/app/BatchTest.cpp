#include "app/BatchDialog.h"
#include "app/CommandIds.h"
#include "app/WindowFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

namespace {

// Pictures 0.png ... in folder; returns their paths in order.
std::vector<std::string> writeSources(const std::string& folder, int count, int width = 64,
                                      int height = 48) {
    fs::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < count; ++i) {
        paths.push_back(folder + "/" + std::to_string(i) + ".png");
        writePicture(paths.back(), width, height);
    }
    return paths;
}

BatchJob jobFor(const std::string& outputFolder, std::vector<std::string> sources) {
    BatchJob job;
    Scheme scheme;
    scheme.name = "Plain";
    scheme.outputFolder = outputFolder;
    job.scheme = scheme;
    job.outputFolder = outputFolder;
    job.sources = std::move(sources);
    return job;
}

int filesIn(const std::string& folder) {
    std::error_code error;
    if (!fs::exists(folder, error)) return 0;
    return static_cast<int>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

struct DialogFixture {
    DialogFixture() : dialog(dialogs, app.str()) {}
    void prepare(BatchJob job) {
        const int count = static_cast<int>(job.sources.size());
        dialog.prepare("Plain", count, [job] { return job; });
        dialog.show();
    }
    TempDir app;
    RecordingDialogs dialogs;
    BatchDialog dialog;
};

// Runs the prepared three pictures, which all get written with one warning,
// and opens the list of that warning.
void runToOneWarning(DialogFixture& f) {
    f.dialog.start();
    QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                              QString("处理完成。"), 30000);
    QVERIFY(f.dialog.isVisible());
    QCOMPARE(filesIn(f.app.str("out")), 3);
    QCOMPARE(f.dialog.findChild<QPushButton*>("failuresButton")->text(),
             QString("1 个图像有警告，点击查看原因。"));
    f.dialog.findChild<QPushButton*>("failuresButton")->click();
    QCOMPARE(f.dialogs.problemSummaries, QStringList{"1 个图像有警告。"});
    QCOMPARE(f.dialogs.problems.size(), size_t(1));
}

}  // namespace

class BatchTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void controlsWhenOpened() {
        DialogFixture f;
        f.prepare(jobFor(f.app.str("out"), {}));
        QCOMPARE(f.dialog.windowTitle(), QString("  执行批量处理"));
        QCOMPARE(f.dialog.findChild<QLabel*>("schemeNameLabel")->text(), QString("Plain"));
        QCOMPARE(f.dialog.findChild<QLabel*>("imageCountLabel")->text(), QString("0"));
        QCOMPARE(f.dialog.findChild<QCheckBox*>("autoCloseBox")->text(),
                 QString("处理结束后自动关闭本窗口"));
        QVERIFY(f.dialog.findChild<QCheckBox*>("autoCloseBox")->isChecked());
        QCOMPARE(f.dialog.findChild<QPushButton*>("startButton")->text(), QString("开始"));
        QCOMPARE(f.dialog.findChild<QPushButton*>("abortButton")->text(), QString("中断"));
        QCOMPARE(f.dialog.findChild<QPushButton*>("closeButton")->text(), QString("关闭"));
        QVERIFY(f.dialog.findChild<QPushButton*>("startButton")->isEnabled());
        QVERIFY(!f.dialog.findChild<QPushButton*>("abortButton")->isEnabled());
        QVERIFY(f.dialog.findChild<QPushButton*>("closeButton")->isEnabled());
        QCOMPARE(f.dialog.animationFrame(), 2);
        const int w = f.dialog.width();
        QCOMPARE(f.dialog.findChild<QProgressBar*>("progressBar")->geometry(),
                 QRect(10, 167, w - 20, 25));
        QCOMPARE(f.dialog.findChild<QLabel*>("animationLabel")->geometry(),
                 QRect(w / 2 - 40, 50, 80, 80));
    }

    void missingOutputFolderIsOfferedAndRefused() {
        DialogFixture f;
        const std::string out = f.app.str("new-out");
        f.prepare(jobFor(out, writeSources(f.app.str("in"), 1)));
        f.dialogs.answer = false;
        f.dialog.start();
        QTRY_COMPARE(
            f.dialogs.questions,
            QStringList{
                QString("输出目录： %1  不存在，是否要创建？").arg(QString::fromStdString(out))});
        QVERIFY(!fs::exists(out));
        QVERIFY(!f.dialog.running());
        QVERIFY(f.dialog.findChild<QPushButton*>("startButton")->isEnabled());
    }

    void emptyOutputFolderCannotBeCreated() {
        DialogFixture f;
        f.prepare(jobFor("", writeSources(f.app.str("in"), 1)));
        f.dialog.start();
        QTRY_COMPARE(f.dialogs.questions, QStringList{"输出目录：   不存在，是否要创建？"});
        QTRY_COMPARE(f.dialogs.messages, QStringList{"无法创建输出目录： ，批量处理中止。"});
        QVERIFY(!f.dialog.running());
    }

    void missingParentIsNotCreated() {
        DialogFixture f;
        const std::string out = f.app.str("a/b");
        f.prepare(jobFor(out, writeSources(f.app.str("in"), 1)));
        f.dialog.start();
        QTRY_COMPARE(
            f.dialogs.messages,
            QStringList{
                QString("无法创建输出目录： %1，批量处理中止。").arg(QString::fromStdString(out))});
        QVERIFY(!fs::exists(f.app.str("a")));
    }

    void runWithoutAutoCloseStaysOpen() {
        DialogFixture f;
        const std::string out = f.app.str("out");
        f.prepare(jobFor(out, writeSources(f.app.str("in"), 4)));
        f.dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
        f.dialog.start();
        // Looked at before the event loop runs again: four small pictures
        // may be written by the time the folder is seen.
        QVERIFY(f.dialog.running());
        QVERIFY(!f.dialog.findChild<QPushButton*>("startButton")->isEnabled());
        QVERIFY(f.dialog.findChild<QPushButton*>("abortButton")->isEnabled());
        QVERIFY(!f.dialog.findChild<QPushButton*>("closeButton")->isEnabled());
        QTRY_VERIFY(fs::exists(out));
        QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 30000);
        QVERIFY(f.dialog.isVisible());
        QCOMPARE(f.dialog.findChild<QProgressBar*>("progressBar")->value(), 4);
        QCOMPARE(f.dialog.animationFrame(), 2);
        QVERIFY(!f.dialog.findChild<QPushButton*>("failuresButton")->isVisible());
        for (int i = 0; i < 4; ++i) QVERIFY(fs::exists(out + "/" + std::to_string(i) + ".png"));
        QVERIFY(f.dialog.findChild<QPushButton*>("startButton")->isEnabled());
        // A second run replaces the same files.
        fs::remove(out + "/2.png");
        f.dialog.start();
        QTRY_VERIFY_WITH_TIMEOUT(!f.dialog.running(), 30000);
        QVERIFY(fs::exists(out + "/2.png"));
        QCOMPARE(filesIn(out), 4);
    }

    // The drop-down's choice reaches the run: an output there already is
    // left as it is under "跳过已有文件", and the picture counts as skipped.
    void existingOutputChoiceReachesTheRun() {
        DialogFixture f;
        const std::string out = f.app.str("out");
        fs::create_directories(out);
        writeBytes(out + "/0.png", "made before");
        f.prepare(jobFor(out, writeSources(f.app.str("in"), 2)));
        auto* choice = f.dialog.findChild<QComboBox*>("existingOutputChoice");
        QCOMPARE(choice->accessibleName(), QString("已有的输出文件"));
        QCOMPARE(choice->currentText(), QString("替换已有文件"));
        choice->setCurrentIndex(choice->findText("跳过已有文件"));
        QCOMPARE(f.dialog.existingOutput(), ExistingOutput::Skip);
        f.dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
        f.dialog.start();
        QVERIFY(!choice->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(
            f.dialog.findChild<QLabel*>("statusLabel")->text().startsWith("处理完成。"), 30000);
        QVERIFY(choice->isEnabled());
        QCOMPARE(readBytes(out + "/0.png"), std::string("made before"));
        QVERIFY(fs::exists(out + "/1.png"));
        QCOMPARE(f.dialog.skippedCount(), 1);
        QCOMPARE(filesIn(out), 2);
    }

    // "更多方案…" adds schemes to the run; the end of the run counts what it
    // did, offers the report and opens the output folder.
    void checkedSchemesReachTheRunAndTheEndCountsThem() {
        DialogFixture f;
        RecordingSecondaryDialogs secondary;
        BatchJob job = jobFor(f.app.str("out"), writeSources(f.app.str("in"), 2));
        writeBytes(f.app.str("in/bad.png"), "not a picture");
        job.sources.push_back(f.app.str("in/bad.png"));
        Scheme small = *job.scheme;
        small.name = "Small";
        small.outputFolder = f.app.str("small");
        small.resizeEnabled = 1;
        small.resizeMode = stored(ResizeMode::Width);
        small.resizeValue = 16;
        Scheme other = *job.scheme;
        other.name = "Other";
        other.outputFolder = f.app.str("other");
        f.dialog.setMoreSchemes(secondary, [=] {
            return std::vector<Scheme>{*job.scheme, other, small};
        });
        f.prepare(job);
        secondary.chosenSchemes = std::vector<std::string>{"Plain", "Small"};
        f.dialog.findChild<QPushButton*>("moreSchemesButton")->click();
        QCOMPARE(secondary.lastSchemeChoice.names,
                 (std::vector<std::string>{"Plain", "Other", "Small"}));
        QCOMPARE(secondary.lastSchemeChoice.checked, std::vector<std::string>{"Plain"});
        QCOMPARE(f.dialog.findChild<QLabel*>("schemeNameLabel")->text(), QString("Plain，Small"));

        f.dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 30000);
        const QString summary = f.dialog.findChild<QLabel*>("runSummaryLabel")->text();
        QVERIFY2(summary.startsWith("4 个已处理，0 个已跳过，2 个失败，用时 "),
                 qPrintable(summary));
        QCOMPARE(filesIn(f.app.str("out")), 2);
        QCOMPARE(filesIn(f.app.str("small")), 2);
        QCOMPARE(filesIn(f.app.str("other")), 0);
        QCOMPARE(QImage(QString::fromStdString(f.app.str("small/0.png"))).width(), 16);

        auto* save = f.dialog.findChild<QPushButton*>("saveReportButton");
        QVERIFY(save->isVisible());
        f.dialogs.saveFile = QString::fromStdString(f.app.str("report.jsonl"));
        save->click();
        const std::string report = readBytes(f.app.str("report.jsonl"));
        QCOMPARE(std::count(report.begin(), report.end(), '\n'), 7);
        QVERIFY(report.find("\"failed\":2") != std::string::npos);

        f.dialog.findChild<QPushButton*>("openOutputFolderButton")->click();
        QCOMPARE(f.dialogs.openedFolders, QStringList{QString::fromStdString(f.app.str("out"))});
    }

    // Every checked scheme's missing folder gets the current scheme's
    // question; a "no" to any of them writes nothing.
    void missingFoldersOfCheckedSchemesAreAskedEachInTurn() {
        for (const bool agree : {false, true}) {
            DialogFixture f;
            RecordingSecondaryDialogs secondary;
            fs::create_directories(f.app.str("out"));
            BatchJob job = jobFor(f.app.str("out"), writeSources(f.app.str("in"), 2));
            std::vector<Scheme> schemes{*job.scheme};
            for (const char* name : {"Small", "Other"}) {
                schemes.push_back(*job.scheme);
                schemes.back().name = name;
                schemes.back().outputFolder = f.app.str(name);
            }
            f.dialog.setMoreSchemes(secondary, [=] { return schemes; });
            f.prepare(job);
            secondary.chosenSchemes = std::vector<std::string>{"Other", "Plain", "Small"};
            f.dialog.findChild<QPushButton*>("moreSchemesButton")->click();
            f.dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
            f.dialogs.answer = agree;
            f.dialog.start();
            const auto asked = [&](const char* name) {
                return QString("输出目录： %1  不存在，是否要创建？").arg(f.app.str(name).c_str());
            };
            if (!agree) {
                QTRY_COMPARE(f.dialogs.questions, QStringList{asked("Other")});
                QTRY_VERIFY(!f.dialog.running());
                QVERIFY(!fs::exists(f.app.str("Other")));
                QVERIFY(!fs::exists(f.app.str("Small")));
                QCOMPARE(filesIn(f.app.str("out")), 0);
                continue;
            }
            QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                      QString("处理完成。"), 30000);
            QCOMPARE(f.dialogs.questions, (QStringList{asked("Other"), asked("Small")}));
            for (const char* folder : {"out", "Small", "Other"})
                QCOMPARE(filesIn(f.app.str(folder)), 2);
        }
    }

    void autoCloseEndsTheDialog() {
        DialogFixture f;
        f.prepare(jobFor(f.app.str("out"), writeSources(f.app.str("in"), 3)));
        f.dialog.start();
        QTRY_VERIFY_WITH_TIMEOUT(!f.dialog.isVisible(), 30000);
        QCOMPARE(f.dialog.result(), 1);
        QCOMPARE(filesIn(f.app.str("out")), 3);
    }

    void emptySourceFinishesAtOnce() {
        DialogFixture f;
        fs::create_directories(f.app.str("out"));
        f.prepare(jobFor(f.app.str("out"), {}));
        f.dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
        f.dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 10000);
    }

    void failuresAreCountedAndListed() {
        DialogFixture f;
        auto sources = writeSources(f.app.str("in"), 2);
        writeBytes(f.app.str("in/bad.png"), "not a picture");
        sources.insert(sources.begin() + 1, f.app.str("in/bad.png"));
        f.prepare(jobFor(f.app.str("out"), sources));
        f.dialog.start();
        // Auto-close is on, but failures keep the dialog open.
        QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 30000);
        QVERIFY(f.dialog.isVisible());
        QVERIFY(f.dialog.findChild<QPushButton*>("failuresButton")->isVisible());
        QCOMPARE(f.dialog.findChild<QPushButton*>("failuresButton")->text(),
                 QString("1 个图像处理失败，点击查看原因。"));
        f.dialog.findChild<QPushButton*>("failuresButton")->click();
        QCOMPARE(f.dialogs.problemSummaries, QStringList{"1 个图像处理失败。"});
        QCOMPARE(f.dialogs.problems.size(), size_t(1));
        QCOMPARE(f.dialogs.problems[0].file, QString::fromStdString(f.app.str("in/bad.png")));
        QVERIFY(f.dialogs.problems[0].reason.contains("bad.png"));
        QVERIFY(f.dialogs.problems[0].kind == ProblemKind::Failed);
        QCOMPARE(filesIn(f.app.str("out")), 2);
    }

    // A picture with damaged data is written, but the run says so: the
    // dialog stays open and lists the warning with the failures.
    void warningsKeepTheDialogOpenAndAreListed() {
        DialogFixture f;
        auto sources = writeSources(f.app.str("in"), 2);
        const std::string damaged = f.app.str("in/damaged.jpg");
        const QImage noise = [] {
            QImage image(300, 200, QImage::Format_RGB32);
            quint32 seed = 14;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, seed = seed * 1664525u + 1013904223u);
            return image;
        }();
        QVERIFY(noise.save(QString::fromStdString(damaged), "JPG", 90));
        std::string bytes = readBytes(damaged);
        bytes.replace(bytes.size() / 2, 2, "\xFF\xD3");  // a restart marker where none belongs
        writeBytes(damaged, bytes);
        sources.push_back(damaged);
        f.prepare(jobFor(f.app.str("out"), sources));
        runToOneWarning(f);
        if (QTest::currentTestFailed()) return;
        QVERIFY(f.dialogs.problems[0].file.endsWith("damaged.jpg"));
        QCOMPARE(f.dialogs.problems[0].kind, ProblemKind::Warning);
    }

    // A caption that runs off one small picture: every picture is written,
    // and that one is counted with a warning naming the caption and the cut.
    void cutCaptionIsCountedAndListedAsAWarning() {
        DialogFixture f;
        auto sources = writeSources(f.app.str("in"), 2);
        const std::string small = f.app.str("in/small.png");
        writePicture(small, 30, 30);
        sources.insert(sources.begin() + 1, small);
        BatchJob job = jobFor(f.app.str("out"), sources);
        job.scheme->textEnabled = 1;
        job.scheme->textContent = "HH";
        job.scheme->textPosX = 0.5f;
        job.scheme->textPosY = 0.1f;
        f.prepare(job);
        runToOneWarning(f);
        if (QTest::currentTestFailed()) return;
        QCOMPARE(f.dialogs.problems[0].file, QString::fromStdString(small));
        QVERIFY2(f.dialogs.problems[0].reason.contains("文字超出图像范围（“HH”，右边超出 "),
                 qPrintable(f.dialogs.problems[0].reason));
        QCOMPARE(f.dialogs.problems[0].kind, ProblemKind::Warning);
    }

    // Each opening starts as a new dialog would: auto-close checked and an
    // empty progress bar, whatever the last run left.
    void eachOpeningStartsAfresh() {
        DialogFixture f;
        f.prepare(jobFor(f.app.str("out"), writeSources(f.app.str("in"), 3)));
        f.dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
        f.dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 30000);
        QCOMPARE(f.dialog.findChild<QProgressBar*>("progressBar")->value(), 3);
        f.dialog.findChild<QPushButton*>("closeButton")->click();
        QVERIFY(!f.dialog.isVisible());

        f.prepare(jobFor(f.app.str("out"), writeSources(f.app.str("in"), 2)));
        QVERIFY(f.dialog.findChild<QCheckBox*>("autoCloseBox")->isChecked());
        QCOMPARE(f.dialog.findChild<QProgressBar*>("progressBar")->value(), 0);
        QCOMPARE(f.dialog.findChild<QLabel*>("statusLabel")->text(), QString());
    }

    void abortStopsBeforeTheNextImagesAndSaysWhatWasDone() {
        DialogFixture f;
        const std::string out = f.app.str("out");
        auto sources = writeSources(f.app.str("in"), 39, 1200, 900);
        writeBytes(f.app.str("in/bad.png"), "not a picture");
        sources.insert(sources.begin(), f.app.str("in/bad.png"));
        f.prepare(jobFor(out, sources));
        f.dialog.setWorkerCount(1);
        f.dialog.start();
        QTRY_VERIFY_WITH_TIMEOUT(f.dialog.findChild<QProgressBar*>("progressBar")->value() >= 3,
                                 30000);
        f.dialog.abort();
        QVERIFY(!f.dialog.running());
        QCOMPARE(f.dialog.findChild<QLabel*>("statusLabel")->text(), QString());
        QCOMPARE(f.dialog.findChild<QProgressBar*>("progressBar")->value(), 0);
        QVERIFY(f.dialog.findChild<QPushButton*>("closeButton")->isEnabled());
        QVERIFY(!f.dialog.findChild<QPushButton*>("abortButton")->isEnabled());
        // "开始" waits for the aborted workers.
        if (f.dialog.workersActive())
            QVERIFY(!f.dialog.findChild<QPushButton*>("startButton")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(f.dialog.findChild<QPushButton*>("startButton")->isEnabled(),
                                 30000);
        QVERIFY(!f.dialog.workersActive());
        const int written = filesIn(out);
        QVERIFY2(written >= 1 && written < 39, std::to_string(written).c_str());
        // Once the workers have ended, the user learns what was done.
        QCOMPARE(f.dialog.findChild<QLabel*>("statusLabel")->text(),
                 QString("处理已中断：已写出 %1 个图像，1 个处理失败，%2 个未处理。")
                     .arg(written)
                     .arg(39 - written));
        QVERIFY(f.dialog.isVisible());
        QVERIFY(f.dialog.findChild<QPushButton*>("failuresButton")->isVisible());
        f.dialog.findChild<QPushButton*>("failuresButton")->click();
        QCOMPARE(f.dialogs.problems.size(), size_t(1));
        QCOMPARE(f.dialogs.problems[0].file, QString::fromStdString(f.app.str("in/bad.png")));
    }

    void closingWaitsForTheRun() {
        DialogFixture f;
        f.prepare(jobFor(f.app.str("out"), writeSources(f.app.str("in"), 20, 1200, 900)));
        f.dialog.setWorkerCount(1);
        f.dialog.start();
        f.dialog.reject();
        f.dialog.close();
        QVERIFY(f.dialog.isVisible());
        f.dialog.abort();
        f.dialog.reject();
        QVERIFY(!f.dialog.isVisible());
    }

    void animationAlternatesWhileRunning() {
        DialogFixture f;
        BatchJob job = jobFor(f.app.str("out"), writeSources(f.app.str("in"), 2));
        // The missing stamp holds the worker at its message, so the run
        // cannot end while the frames are watched, however fast it is.
        job.scheme->stampEnabled = 1;
        job.scheme->stampFile = "nowhere.bmp";
        QList<int> frames;
        int frameAfterAbort = 0;
        f.dialogs.onMessage = [&](const QString&) {
            if (!frames.isEmpty()) return;
            for (int i = 0; i < 12; ++i) {
                QTest::qWait(100);
                frames << f.dialog.animationFrame();
            }
            f.dialog.abort();
            frameAfterAbort = f.dialog.animationFrame();
        };
        f.prepare(job);
        f.dialog.setWorkerCount(1);
        f.dialog.start();
        QTRY_VERIFY_WITH_TIMEOUT(!frames.isEmpty() && !f.dialog.workersActive(), 30000);
        QVERIFY(frames.contains(1) && frames.contains(2));
        QCOMPARE(frameAfterAbort, 2);
    }

    void missingStampDuringABatchIsShownByTheUiThread() {
        TempDir app;
        RecordingDialogs dialogs;
        BatchDialog dialog(dialogs, app.str());
        const std::string in = app.str("in");
        std::filesystem::create_directories(in);
        writePicture(in + "/a.png", 40, 30);
        writePicture(in + "/b.png", 40, 30);
        BatchJob job;
        Scheme scheme;
        scheme.name = "Stamped";
        scheme.outputFolder = app.str("out");
        scheme.stampEnabled = 1;
        scheme.stampFile = "nowhere.bmp";
        job.scheme = scheme;
        job.outputFolder = scheme.outputFolder;
        job.sources = {in + "/a.png", in + "/b.png"};
        bool allOnUiThread = true;
        dialogs.onMessage = [&](const QString&) {
            allOnUiThread = allOnUiThread && QThread::currentThread() == qApp->thread();
        };
        dialog.prepare("Stamped", 2, [job] { return job; });
        dialog.findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
        dialog.show();
        dialog.start();
        QTRY_COMPARE_WITH_TIMEOUT(dialog.findChild<QLabel*>("statusLabel")->text(),
                                  QString("处理完成。"), 30000);
        const QString expected =
            QString("印章图像 %1 不存在。")
                .arg(QString::fromStdString(app.str() + "/Stamps/nowhere.bmp"));
        QCOMPARE(dialogs.messages, (QStringList{expected, expected}));
        QVERIFY(allOnUiThread);
    }
    void lockedRowsBatchFromTheWindow() {
        WindowFixture f;
        f.writePictures(4);
        QVERIFY(f.loadPictures());
        f.selectRows({1, 3});
        f.window->runCommand(kLockSelected);
        QString shownCount;
        BatchDialog* dialog = f.batchDialog();
        QTimer::singleShot(0, [&] {
            shownCount = dialog->findChild<QLabel*>("imageCountLabel")->text();
            QVERIFY(dialog->isVisible());
            dialog->start();
        });
        f.window->runCommand(kBatchRun);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(shownCount, QString("2"));
        QCOMPARE(filesIn(f.outputFolder), 2);
        QVERIFY(fs::exists(f.outputFolder + "/1.png"));
        QVERIFY(fs::exists(f.outputFolder + "/3.png"));
    }

    void folderBatchLeavesTheListAlone() {
        WindowFixture f;
        f.writePictures(3);
        const QString shownCount =
            f.runBatchToTheEnd([&] { f.panel().startFolderBatch(f.pictures); });
        QCOMPARE(shownCount, QString("3"));
        QCOMPARE(f.list().rowCount(), 0);
        QCOMPARE(filesIn(f.outputFolder), 3);
    }
};

VARNETTO_QTEST_MAIN(BatchTest)
#include "BatchTest.moc"
