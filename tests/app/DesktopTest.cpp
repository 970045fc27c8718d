// What an installed program on a desktop does beyond its menus: the user's
// own store, files named on the command line and files dropped on the list.
#include "app/CommandIds.h"
#include "app/WindowFixture.h"
#include "common/AppFolder.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

ImageListModel& rowsOf(MainWindow& window) {
    return *window.findChild<ImageListModel*>("imageRows");
}

bool allRead(MainWindow& window) {
    auto& list = rowsOf(window);
    for (int row = 0; row < list.rowCount(); ++row)
        if (!list.isRead(row)) return false;
    return !window.findChild<RowLoader*>("rowLoader")->busy();
}

QStringList rowPaths(MainWindow& window) {
    QStringList paths;
    auto& list = rowsOf(window);
    for (int row = 0; row < list.rowCount(); ++row)
        paths << QString::fromStdString(list.entry(row).folder + "/" + list.entry(row).fileName);
    return paths;
}

// Drags data over the list and drops it, as a file manager does; returns the
// action the list took, or IgnoreAction when it refused.
Qt::DropAction dropOnList(ImageListView* list, QMimeData* data,
                          Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction) {
    QWidget* target = list->viewport();
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) return Qt::IgnoreAction;
    QDropEvent drop(at, offered, data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted() ? drop.dropAction() : Qt::IgnoreAction;
}

QMimeData* fileUrls(const QStringList& paths) {
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths) urls << QUrl::fromLocalFile(path);
    data->setUrls(urls);
    return data;
}

}  // namespace

class DesktopTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void usersStoreIsMadeOnceThenEditedAndReused() {
        TempDir dir;
        const std::string app = dir.str("app"), user = dir.str("user");
        writeSchemeStore(app, {"Bundled"}, dir.str("out"));
        const std::string bundledBytes = readBytes(schemeStorePath(app));
        RecordingDialogs dialogs;
        RecordingSecondaryDialogs secondary;
        writePicture(std::filesystem::path(app) / "Preview.jpg", 80, 60);
        {
            MainWindow window(AppFolders(app, user), dialogs, secondary);
            QCOMPARE(readBytes(schemeStorePath(user)), bundledBytes);
            secondary.editorResult = 1;
            secondary.renameTo = "Mine";
            window.runCommand(kEditScheme);
            QVERIFY(QTest::qWaitFor([] { return !QApplication::overrideCursor(); }));
        }
        // The edit went to the user's store; the bundled one is as shipped.
        QCOMPARE(readBytes(schemeStorePath(app)), bundledBytes);
        MainWindow again(AppFolders(app, user), dialogs, secondary);
        const SchemeStore& store = *again.findChild<Session*>("session")->store();
        QCOMPARE(store.size(), size_t(1));
        QCOMPARE(store.at(0)->name, std::string("Mine"));
        QVERIFY(dialogs.messages.isEmpty());
    }

    void damagedUsersStoreIsReportedAndKept() {
        TempDir dir;
        const std::string app = dir.str("app"), user = dir.str("user");
        writeSchemeStore(app, {"Bundled"}, dir.str("out"));
        std::filesystem::create_directories(user + "/Schemes");
        const std::string damaged(7, '\x01');
        writeBytes(schemeStorePath(user), damaged);
        RecordingDialogs dialogs;
        RecordingSecondaryDialogs secondary;
        MainWindow window(AppFolders(app, user), dialogs, secondary);
        QCOMPARE(dialogs.messages, QStringList{"图像处理方案文件已损坏，只加载了 0 个处理方案。"});
        QCOMPARE(readBytes(schemeStorePath(user)), damaged);
    }

    void commandLineFilesAndFoldersAreLoaded() {
        WindowFixture f;
        f.writePictures(3);
        const QString previous = QDir::currentPath();
        QDir::setCurrent(QString::fromStdString(f.app.str()));
        // A file given relative to the working folder, a folder, a file
        // again, a path that is not there and an empty argument.
        f.window->openPaths(
            {"pictures/2.png", "pictures/", f.pictures + "/0.png", "nowhere.jpg", ""});
        QDir::setCurrent(previous);
        QTRY_VERIFY_WITH_TIMEOUT(allRead(*f.window), 20000);
        const QString p = QString::fromStdString(f.pictures);
        // A file named again, alone or in its folder, is listed once.
        QCOMPARE(rowPaths(*f.window), (QStringList{p + "/2.png", p + "/0.png", p + "/1.png"}));
        QCOMPARE(f.list().rowText(0), QString("66 X 48\n2.png"));
        QCOMPARE(f.dialogs.messages, QStringList{"图像 nowhere.jpg 不存在。"});
    }

    void droppedFilesBecomeRowsAndDroppedFoldersLoad() {
        WindowFixture f;
        f.writePictures(2);
        const std::string other = f.app.str("other");
        std::filesystem::create_directories(other);
        writePicture(other + "/a.png", 30, 20);
        writePicture(other + "/b.png", 40, 20);
        const QString o = QString::fromStdString(other), p = QString::fromStdString(f.pictures);
        std::unique_ptr<QMimeData> data(fileUrls({o + "/a.png", p, o + "/b.png"}));
        // A file manager's files are copied, never moved away.
        QCOMPARE(dropOnList(f.listView(), data.get()), Qt::CopyAction);
        QTRY_VERIFY_WITH_TIMEOUT(allRead(*f.window), 20000);
        QCOMPARE(rowPaths(*f.window),
                 (QStringList{o + "/a.png", p + "/0.png", p + "/1.png", o + "/b.png"}));
        QCOMPARE(f.list().rowText(3), QString("40 X 20\nb.png"));
    }

    void otherDropsAreRefused() {
        WindowFixture f;
        f.writePictures(1);
        QMimeData text;
        text.setText(QString::fromStdString(f.pictures + "/0.png"));
        QMimeData web;
        web.setUrls({QUrl("https://example.org/photo.jpg")});
        std::unique_ptr<QMimeData> moveOnly(fileUrls({QString::fromStdString(f.pictures)}));
        QCOMPARE(dropOnList(f.listView(), &text), Qt::IgnoreAction);
        QCOMPARE(dropOnList(f.listView(), &web), Qt::IgnoreAction);
        QCOMPARE(dropOnList(f.listView(), moveOnly.get(), Qt::MoveAction), Qt::IgnoreAction);
        QTest::qWait(50);
        QCOMPARE(f.list().rowCount(), 0);
    }

    void aDropDuringAFolderLoadIsReadAfterIt() {
        WindowFixture f;
        f.writePictures(12);
        const std::string other = f.app.str("other");
        std::filesystem::create_directories(other);
        writePicture(other + "/late.png", 30, 20);
        auto& list = f.list();
        QList<int> readOrder;
        connect(&list, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first, const QModelIndex& last) {
                    for (int row = first.row(); row <= last.row(); ++row)
                        if (list.isRead(row) && !readOrder.contains(row)) readOrder << row;
                });
        // Rows are read once both are listed.
        auto reads = std::make_shared<DiskGate>();
        f.holdDisk(nullptr, reads);
        f.images().loadFolder(f.pictures);
        std::unique_ptr<QMimeData> data(fileUrls({QString::fromStdString(other + "/late.png")}));
        QCOMPARE(dropOnList(f.listView(), data.get()), Qt::CopyAction);
        QVERIFY(QTest::qWaitFor([&] { return list.rowCount() == 13; }, 20000));
        QCOMPARE(list.rowCount(), 13);
        QVERIFY(!list.isRead(12));
        reads->open();
        QTRY_VERIFY_WITH_TIMEOUT(allRead(*f.window), 20000);
        QList<int> expected;
        for (int row = 0; row < 13; ++row) expected << row;
        QCOMPARE(readOrder, expected);
    }
};

VARNETTO_QTEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
