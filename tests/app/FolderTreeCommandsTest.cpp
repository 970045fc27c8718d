#include "app/BatchDialog.h"
#include "app/CommandIds.h"
#include "app/WindowFixture.h"
#include "browser/FolderTree.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

namespace {

// The window's tree with the application folder as its only drive, opened
// down to the pictures.
struct TreeWindow {
    explicit TreeWindow(int pictures) {
        f.writePictures(pictures);
        f.window->show();
        tree = f.child<FolderTree>("folderTree");
        tree->setDriveSource([this] {
            return DriveListing{
                false, {{"App(" + QString::fromStdString(f.app.str()) + ")", f.app.str()}}};
        });
        refresh();
    }
    void settle() {
        QVERIFY(QTest::qWaitFor([this] { return !tree->reading(); }, 20000));
    }
    void refresh() {
        f.window->runCommand(kTreeRefresh);
        settle();
        tree->expand(drive());
        settle();
        tree->expand(item("pictures"));
        settle();
    }
    QModelIndex drive() const { return tree->model()->index(0, 0); }
    QModelIndex item(const QString& label) const {
        const auto found = tree->model()->match(drive(), Qt::DisplayRole, label, 1,
                                                Qt::MatchExactly | Qt::MatchRecursive);
        return found.isEmpty() ? QModelIndex() : found.first();
    }
    void select(const QString& label) { tree->setCurrentIndex(item(label)); }
    void rightClick(const QString& label) {
        const QRect cell = tree->visualRect(item(label));
        const QPoint at(cell.left() + 10, cell.center().y());
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(tree->viewport(), &event);
    }
    QMenu* menu() const { return f.child<QMenu>("folderTreeContextMenu"); }
    QAction* action(const QString& text) const {
        for (QAction* action : menu()->actions())
            if (action->text() == text) return action;
        qFatal("no menu item %s", qPrintable(text));
    }
    // The menu's items, a disabled one in brackets, a separator as "-".
    QStringList menuStates() const {
        QStringList states;
        for (QAction* action : menu()->actions()) {
            if (action->isSeparator()) {
                states << "-";
            } else {
                states << (action->isEnabled() ? action->text() : "[" + action->text() + "]");
            }
        }
        return states;
    }
    std::string picture(int i) const { return f.pictures + "/" + std::to_string(i) + ".png"; }

    WindowFixture f;
    FolderTree* tree = nullptr;
};

}  // namespace

class FolderTreeCommandsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void menuItemsAreEnabledForWhatWasClicked() {
        TreeWindow w(2);
        w.rightClick("pictures");
        QVERIFY(w.menu()->isVisible());
        QCOMPARE(w.tree->currentPath(), w.f.pictures);
        const QStringList onFolder = {"加载目录图像",
                                      "批量处理目录图像",
                                      "-",
                                      "[加载图像文件]",
                                      "[加载并锁定图像文件]",
                                      "-",
                                      "[全屏预览图像]",
                                      "-",
                                      "[单张图像处理]",
                                      "-",
                                      "刷新"};
        QCOMPARE(w.menuStates(), onFolder);
        w.menu()->hide();
        w.rightClick("1.png");
        QCOMPARE(w.tree->currentPath(), w.picture(1));
        QCOMPARE(w.menuStates(), (QStringList{"[加载目录图像]", "[批量处理目录图像]", "-",
                                              "加载图像文件", "加载并锁定图像文件", "-",
                                              "全屏预览图像", "-", "单张图像处理", "-", "刷新"}));
        w.menu()->hide();
        w.rightClick(w.drive().data().toString());
        QCOMPARE(w.menuStates(), onFolder);
        w.menu()->hide();
    }

    void fileItemsReachTheListTheStatusBarAndTheViewers() {
        TreeWindow w(2);
        w.select("1.png");
        QCOMPARE(w.f.status(StatusPart::Path), QString::fromStdString(w.picture(1)));
        w.action("加载图像文件")->trigger();
        // Listed already, the file is not added again but its row locked.
        w.action("加载并锁定图像文件")->trigger();
        ImageListModel& list = w.f.list();
        QCOMPARE(list.rowCount(), 1);
        QVERIFY(w.f.waitUntilRead());
        QCOMPARE(list.rowPath(0), w.picture(1));
        QCOMPARE(list.lockedCount(), 1);
        QCOMPARE(w.f.status(StatusPart::LockCount), QString("1 个图像被锁定"));
        w.action("全屏预览图像")->trigger();
        QVERIFY(w.f.waitForLooks());
        w.action("单张图像处理")->trigger();
        QVERIFY(w.f.waitForLooks());
        const QString path = QString::fromStdString(w.picture(1));
        QCOMPARE(w.f.secondary.calls, (QStringList{"picture " + path, "editor 2 " + path}));

        // A double click adds a file, and nothing for a folder.
        auto doubleClick = [&](const QString& label) {
            const QPoint at = w.tree->visualRect(w.item(label)).center();
            QTest::mouseClick(w.tree->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(w.tree->viewport(), Qt::LeftButton, {}, at);
        };
        doubleClick("0.png");
        QCOMPARE(list.rowCount(), 2);
        QCOMPARE(list.rowPath(1), w.picture(0));
        QTRY_COMPARE(w.f.previewsDrawn.value(w.f.previewsDrawn.size() - 1),
                     QString::fromStdString(w.picture(0)));

        // A file that went after it was listed.
        w.select("0.png");
        fs::remove(w.picture(0));
        w.f.window->runCommand(kTreeFullScreen);
        QVERIFY(w.f.waitForLooks());
        QCOMPARE(
            w.f.dialogs.messages,
            QStringList{QString("图像文件 %1 不存在！").arg(QString::fromStdString(w.picture(0)))});
        QCOMPARE(w.f.secondary.calls.size(), 2);
        doubleClick("pictures");
        QCOMPARE(list.rowCount(), 2);
    }

    void folderItemsLoadAndRefreshShowsNewFolders() {
        TreeWindow w(3);
        w.select("pictures");
        // File commands ignore a folder, whatever routes them.
        w.f.window->runCommand(kTreeAddFile);
        w.f.window->runCommand(kTreeFullScreen);
        QVERIFY(w.f.secondary.calls.isEmpty());
        QCOMPARE(w.f.list().rowCount(), 0);
        w.action("加载目录图像")->trigger();
        QVERIFY(QTest::qWaitFor([&] { return !w.f.rowLoader().busy(); }, 20000));
        QCOMPARE(w.f.list().rowCount(), 3);

        fs::create_directories(w.f.app.str("fresh"));
        w.action("刷新")->trigger();
        w.settle();
        w.tree->expand(w.drive());
        w.settle();
        QVERIFY(w.item("fresh").isValid());
    }

    void batchOverAFolderFromTheTreeWritesItsPictures() {
        TreeWindow w(3);
        w.rightClick("pictures");
        w.menu()->hide();
        const QString shownCount =
            w.f.runBatchToTheEnd([&] { w.action("批量处理目录图像")->trigger(); });
        QCOMPARE(shownCount, QString("3"));
        QStringList written;
        for (const auto& entry : fs::directory_iterator(w.f.outputFolder))
            written << QString::fromStdString(entry.path().filename().string());
        written.sort();
        QCOMPARE(written, (QStringList{"0.png", "1.png", "2.png"}));
        QCOMPARE(w.f.list().rowCount(), 0);
    }
};

VARNETTO_QTEST_MAIN(FolderTreeCommandsTest)
#include "FolderTreeCommandsTest.moc"
