// What the window does while its disk is slow or its network mount dead: it
// goes on answering, shows the wait cursor, and once the disk answers the
// rows and messages come as they would have come at once.
#include "app/CommandIds.h"
#include "app/WindowFixture.h"

#include <QApplication>
#include <QPushButton>

using namespace varnetto;
using namespace varnetto::testing;

class SlowDiskTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void windowAnswersWhileAFolderLoadAndAFileOpenWaitForTheDisk() {
        WindowFixture f;
        f.writePictures(3);
        const std::string other = f.app.str("other");
        std::filesystem::create_directories(other);
        writePicture(other + "/a.png", 30, 20);
        auto listings = std::make_shared<DiskGate>();
        auto reads = std::make_shared<DiskGate>();
        f.holdDisk(listings, reads);
        auto& list = f.list();
        int rowsWhenTold = -1;
        f.dialogs.onMessage = [&](const QString&) { rowsWhenTold = list.rowCount(); };
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));

        f.window->openPaths({f.pictures, "nowhere.jpg"});
        f.images().addAndLockFile(other + "/a.png");
        QTRY_COMPARE_WITH_TIMEOUT(listings->waiting(), 1, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(reads->waiting(), 1, 5000);
        // Meanwhile timers fire and clicks are handled, under the wait cursor.
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 3, 5000);
        QTest::mouseClick(f.child<QPushButton>("quickViewButton"), Qt::LeftButton);
        QCOMPARE(f.secondary.calls, QStringList{"viewer"});
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        // The opened file's row shows at once; it is locked once read.
        QCOMPARE(list.rowCount(), 1);
        QCOMPARE(f.status(StatusPart::LockCount), QString("0 个图像被锁定"));
        QVERIFY(f.dialogs.messages.isEmpty());

        // The folder's rows come before the message about the missing path,
        // as when the disk answers at once.
        listings->open();
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.messages, QStringList{"图像 nowhere.jpg 不存在。"},
                                  5000);
        QCOMPARE(rowsWhenTold, 4);
        QCOMPARE(list.thumbnailCount(), 0);
        reads->open();
        QVERIFY(f.waitUntilRead());
        QCOMPARE(list.entry(0).lockState, kLocked);
        QCOMPARE(list.entry(0).fileName, std::string("a.png"));
        QCOMPARE(list.entry(3).fileName, std::string("2.png"));
        QCOMPARE(f.status(StatusPart::LockCount), QString("1 个图像被锁定"));
        QVERIFY(!QApplication::overrideCursor());
    }

    // Deleting every row while a folder is still being listed: its rows
    // never come, the wait cursor goes, and a file opened afterwards does
    // not wait for the listing that is stuck.
    void deletingEverythingLeavesAStuckListingBehind() {
        WindowFixture f;
        f.writePictures(2);
        auto listings = std::make_shared<DiskGate>();
        f.holdDisk(listings, nullptr);
        f.images().loadFolder(f.pictures);
        QTRY_COMPARE_WITH_TIMEOUT(listings->waiting(), 1, 5000);
        f.window->runCommand(kDeleteAll);
        QVERIFY(!QApplication::overrideCursor());
        f.images().addSingleFile(f.pictures, "1.png");
        QVERIFY(f.waitUntilRead());
        QCOMPARE(f.list().rowCount(), 1);
        QCOMPARE(listings->waiting(), 1);
    }

    // A command that looks at the disk before it goes on (a tree item's
    // facts, a file before a window opens on it, the output folder before a
    // run) leaves the window answering while the disk is held, and goes on as
    // it would have gone at once when the disk answers.
    void commandsWaitingForALookAtTheDiskLeaveTheWindowAnswering() {
        WindowFixture f;
        f.writePictures(1);
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        const QString picture = QString::fromStdString(f.pictures + "/0.png");
        const QString gone = QString::fromStdString(f.pictures + "/gone.png");
        const std::string made = f.app.str("made");
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const struct {
            const char* what;
            bool waitCursor;
            std::function<void()> ask;
            QStringList calls;
            QStringList messages;
            std::function<bool()> done;
        } cases[] = {
            {"a tree file's facts and preview",
             false,
             [&] { f.session().showTreeSelection(picture.toStdString()); },
             {},
             {},
             [&] {
                 return f.status(StatusPart::FileSize).endsWith("K") && f.previewPath() == picture;
             }},
            {"a file shown full screen",
             true,
             [&] { f.images().fullScreenPicture(picture.toStdString()); },
             {"picture " + picture},
             {},
             {}},
            {"a file that went, for single-image processing",
             true,
             [&] { f.panel().singleImageOf(gone.toStdString()); },
             {},
             {QString("图像文件 %1 不存在！").arg(gone)},
             {}},
            {"the scheme editor on the sample",
             true,
             [&] { f.window->runCommand(kEditScheme); },
             {"editor 1 " + QString::fromStdString(f.app.str() + "/Preview.jpg")},
             {},
             {}},
            {"an output folder to make before a run",
             true,
             [&] {
                 BatchJob job;
                 job.scheme = *f.panel().currentScheme();
                 job.outputFolder = made;
                 f.batchDialog()->prepare("Plain", 0, [job] { return job; });
                 f.batchDialog()->start();
             },
             {},
             {},
             [&] { return std::filesystem::exists(made) && !f.batchDialog()->running(); }},
        };
        for (const auto& c : cases) {
            f.secondary.calls.clear();
            f.dialogs.messages.clear();
            auto looks = std::make_shared<DiskGate>();
            f.holdLooks(looks);
            c.ask();
            QTRY_COMPARE_WITH_TIMEOUT(looks->waiting(), 1, 5000);
            int ticks = 0;
            QTimer timer;
            connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
            timer.start(10);
            QTRY_VERIFY2_WITH_TIMEOUT(ticks >= 3, c.what, 5000);
            QVERIFY2(bool(QApplication::overrideCursor()) == c.waitCursor, c.what);
            QVERIFY2(f.secondary.calls.isEmpty() && f.dialogs.messages.isEmpty(), c.what);
            QVERIFY2(!c.done || !c.done(), c.what);
            looks->open();
            QTRY_VERIFY2_WITH_TIMEOUT(!c.done || c.done(), c.what, 5000);
            QVERIFY2(f.waitForLooks(), c.what);
            QCOMPARE(f.secondary.calls, c.calls);
            QCOMPARE(f.dialogs.messages, c.messages);
        }
        // The run asked whether to make the folder, once the disk had told.
        QCOMPARE(
            f.dialogs.questions,
            QStringList{
                QString("输出目录： %1  不存在，是否要创建？").arg(QString::fromStdString(made))});
    }
};

VARNETTO_QTEST_MAIN(SlowDiskTest)
#include "SlowDiskTest.moc"
