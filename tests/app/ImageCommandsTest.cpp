#include "app/CommandIds.h"
#include "app/WindowFixture.h"

#include "uikit/Artwork.h"

#include <QLabel>

#include <algorithm>
#include <cstdio>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

QList<int> imageIndexes(const ImageListModel& model) {
    QList<int> indexes;
    for (int row = 0; row < model.rowCount(); ++row) indexes << model.imageIndex(row);
    return indexes;
}

}  // namespace

class ImageCommandsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void loadFolderThroughTheFolderBrowser() {
        WindowFixture f;
        f.writePictures(5);
        writeBytes(std::filesystem::path(f.pictures) / "notes.txt", "not a picture");
        f.dialogs.folder = QString::fromStdString(f.pictures + "//");
        QVERIFY(f.window->runCommand(kLoadFolder));
        QCOMPARE(f.dialogs.folderTitles, QStringList{"选择图像目录"});
        auto& list = f.list();
        QVERIFY(f.waitUntilRead());
        QCOMPARE(list.rowCount(), 5);
        QTRY_VERIFY_WITH_TIMEOUT(list.isRead(4), 20000);
        QCOMPARE(list.rowText(0), QString("64 X 48\n0.png"));
        QCOMPARE(list.entry(3).folder, f.pictures);
        // A second load adds only the pictures not listed yet: one listed
        // twice would be processed, and written, twice in one batch.
        writePicture(std::filesystem::path(f.pictures) / "5.png", 69, 48);
        QVERIFY(f.loadPictures());
        QCOMPARE(list.rowCount(), 6);
        QCOMPARE(list.rowText(5), QString("69 X 48\n5.png"));
        f.images().addSingleFile(f.pictures, "2.png");
        QVERIFY(f.waitUntilRead());
        QCOMPARE(list.rowCount(), 6);
    }

    void cancelledFolderBrowserLoadsNothing() {
        WindowFixture f;
        f.dialogs.folder.clear();
        f.window->runCommand(kToolbarLoadFolder);
        QCOMPARE(f.list().rowCount(), 0);
    }

    void addOneFileThroughTheOpenFileDialog() {
        WindowFixture f;
        f.writePictures(1, 300, 100);
        f.dialogs.file = QString::fromStdString(f.pictures + "/0.png");
        f.window->runCommand(kAddFile);
        QCOMPARE(f.dialogs.initialName, QString("*.jpg"));
        QVERIFY(f.dialogs.filter.startsWith("JPEG 格式(*.jpg; *jpeg) (*.jpg *.jpeg);;"));
        QVERIFY(f.dialogs.filter.contains("\t\tPhotoshop 格式(*.psd) (*.psd)"));
        QVERIFY(f.dialogs.filter.endsWith(
            "WebP、HEIF、AVIF、JPEG XL 格式(*.webp; *.heic; *.heif; *.avif; *.jxl) "
            "(*.webp *.heic *.heif *.avif *.jxl);;"
            "相机 RAW 格式(*.dng; *.cr2; *.cr3; *.nef; *.nrw; *.arw; *.raf; *.orf; *.rw2; *.pef; "
            "*.srw) (*.dng *.cr2 *.cr3 *.nef *.nrw *.arw *.raf *.orf *.rw2 *.pef *.srw);;"
            "所有文件(*.*) (*)"));
        // The row is there at once; its picture is read in the background.
        QCOMPARE(f.list().rowCount(), 1);
        QVERIFY(f.waitUntilRead());
        QCOMPARE(f.list().entry(0).lockState, kUnlocked);
        QCOMPARE(f.list().entry(0).facts.pictureWidth, 160);
        QCOMPARE(f.list().entry(0).facts.pictureHeight, 53);
    }

    void brokenFileIsARowThatCanBeDeleted() {
        WindowFixture f;
        writeBytes(std::filesystem::path(f.pictures) / "bad.jpg", "no jpeg at all");
        f.images().addSingleFile(f.pictures, "bad.jpg");
        auto& list = f.list();
        QVERIFY(f.waitUntilRead());
        QVERIFY(list.entry(0).facts.broken());
        QCOMPARE(list.rowText(0), QString("0 X 0\nbad.jpg"));
        f.selectRows({0});
        f.window->runCommand(kDeleteSelected);
        QCOMPARE(list.rowCount(), 0);
    }

    void pictureCutShortIsMarkedInTheList() {
        WindowFixture f;
        writePicture(std::filesystem::path(f.pictures) / "whole.jpg", 640, 480);
        const std::string bytes = readBytes(std::filesystem::path(f.pictures) / "whole.jpg");
        writeBytes(std::filesystem::path(f.pictures) / "cut.jpg",
                   bytes.substr(0, bytes.size() / 2));
        QVERIFY(f.loadPictures());
        auto& list = f.list();
        QCOMPARE(list.rowCount(), 2);
        const int cut = list.entry(0).fileName == "cut.jpg" ? 0 : 1;
        const QImage mark = artwork::damageMark();
        const QPoint insideTheSign(2 + 15, 2 + 14);
        // Locked or not, the damaged row carries the sign; the sound one does not.
        f.selectRows({0, 1});
        for (LockState state : {kUnlocked, kLocked}) {
            f.window->runCommand(state == kLocked ? kLockSelected : kUnlockSelected);
            QCOMPARE(list.rowImage(cut).pixelColor(insideTheSign), mark.pixelColor(15, 14));
            QVERIFY(list.rowImage(1 - cut).pixelColor(insideTheSign) != mark.pixelColor(15, 14));
        }
        QCOMPARE(list.entry(cut).facts.dimensionText, std::string("640 X 480"));
        const QString tip = list.data(list.index(cut), Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains("图像数据不完整，只读出了一部分："), qPrintable(tip));
    }

    void lockCommandsKeepTheCounter() {
        WindowFixture f;
        f.writePictures(5);
        QVERIFY(f.loadPictures());
        f.window->runCommand(kSelectAll);
        f.window->runCommand(kToolbarLock);
        QCOMPARE(f.status(StatusPart::LockCount), QString("5 个图像被锁定"));
        f.selectRows({0, 2});
        f.window->runCommand(kUnlockSelected);
        QCOMPARE(f.status(StatusPart::LockCount), QString("3 个图像被锁定"));
        f.window->runCommand(kUnlockAll);
        QCOMPARE(f.status(StatusPart::LockCount), QString("0 个图像被锁定"));
        f.selectRows({1, 3});
        f.window->runCommand(kListLock);
        f.window->runCommand(kInvertLock);
        QCOMPARE(f.status(StatusPart::LockCount), QString("3 个图像被锁定"));
        QCOMPARE(f.list().lockedCount(), 3);
        QCOMPARE(imageIndexes(f.list()), (QList<int>{1, 2, 5, 6, 9}));
        f.window->runCommand(kLockAll);
        QCOMPARE(f.status(StatusPart::LockCount), QString("5 个图像被锁定"));
    }

    void lockCommandsIgnoreAnUnreadFirstSelection() {
        WindowFixture f;
        f.list().appendPlaceholders(f.pictures, {"later.png"});
        f.writePictures(1);
        f.images().addSingleFile(f.pictures, "0.png");
        f.selectRows({0, 1});
        f.window->runCommand(kLockSelected);
        f.window->runCommand(kDeleteSelected);
        QCOMPARE(f.list().lockedCount(), 0);
        QCOMPARE(f.list().rowCount(), 2);
    }

    void deletingKeepsRowsAndPicturesTogether() {
        WindowFixture f;
        f.writePictures(5);
        QVERIFY(f.loadPictures());
        f.selectRows({1, 3});
        f.window->runCommand(kLockSelected);
        f.selectRows({1});
        f.window->runCommand(kToolbarDelete);
        auto& list = f.list();
        QCOMPARE(imageIndexes(list), (QList<int>{0, 2, 5, 6}));
        QCOMPARE(list.entry(2).fileName, std::string("3.png"));
        QCOMPARE(list.rowText(2), QString("67 X 48\n3.png"));
        QCOMPARE(f.status(StatusPart::LockCount), QString("1 个图像被锁定"));
        f.window->runCommand(kSelectAll);
        f.window->runCommand(kDeleteSelected);
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.thumbnailCount(), 0);
        QCOMPARE(f.status(StatusPart::LockCount), QString("0 个图像被锁定"));
    }

    void deleteAllWhileAFolderLoads() {
        WindowFixture f;
        f.writePictures(30, 400, 300);
        f.images().loadFolder(f.pictures);
        QTRY_COMPARE_WITH_TIMEOUT(f.list().rowCount(), 30, 20000);
        f.window->runCommand(kDeleteAll);
        QCOMPARE(f.list().rowCount(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!f.rowLoader().busy(), 20000);
        QCOMPARE(f.list().rowCount(), 0);
        QCOMPARE(f.list().thumbnailCount(), 0);
    }

    void deleteSomeRowsWhileAFolderLoads() {
        WindowFixture f;
        f.writePictures(12, 300, 200);
        f.images().loadFolder(f.pictures);
        QTRY_COMPARE_WITH_TIMEOUT(f.list().rowCount(), 12, 20000);
        f.selectRows({0});
        f.list().removeRowAt(6);
        f.list().removeRowAt(2);
        QTRY_VERIFY_WITH_TIMEOUT(!f.rowLoader().busy(), 20000);
        auto& list = f.list();
        QCOMPARE(list.rowCount(), 10);
        for (int row = 0; row < list.rowCount(); ++row) {
            const int number = std::stoi(list.entry(row).fileName);
            QCOMPARE(list.entry(row).facts.width, 300 + number);
        }
    }

    // Rows deleted one by one or all at once and new loads started while
    // the readers are busy: every row left is read with its own file's facts,
    // and closing the window in the middle of a load is clean.
    void deletingAndLoadingAgainWhileThePoolReads() {
        WindowFixture f;
        f.writePictures(30, 640, 480);
        auto& list = f.list();
        f.images().loadFolder(f.pictures);
        f.images().loadFolder(f.pictures);
        QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 30, 20000);
        list.removeRowAt(25);
        list.removeRowAt(3);
        f.window->runCommand(kDeleteAll);
        f.images().loadFolder(f.pictures);
        QTRY_COMPARE_WITH_TIMEOUT(list.rowCount(), 30, 20000);
        list.removeRowAt(10);
        list.removeRowAt(20);
        f.images().loadFolder(f.pictures);
        QTRY_VERIFY_WITH_TIMEOUT(!f.rowLoader().busy(), 60000);
        QCOMPARE(list.rowCount(), 30);
        for (int row = 0; row < list.rowCount(); ++row) {
            const int number = std::stoi(list.entry(row).fileName);
            QCOMPARE(list.rowText(row), QString("%1 X 480\n%2.png").arg(640 + number).arg(number));
        }
        QCOMPARE(list.thumbnailCount(), 2 * 30);
        f.images().loadFolder(f.pictures);
        f.window->close();
        f.window.reset();
        QTest::qWait(50);
    }

    // After a jump to the end of a long list, the rows there are read before
    // those in the middle; a row waiting shows its file's facts meanwhile.
    void rowsAtTheEndAreReadFirstAfterAJump() {
        WindowFixture f;
        const std::filesystem::path folder = f.pictures;
        writePicture(folder / "p000.jpg", 1600, 1200);
        for (int i = 1; i < 150; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "p%03d.jpg", i);
            std::filesystem::create_hard_link(folder / "p000.jpg", folder / name);
        }
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        auto& list = f.list();
        std::vector<int> readOrder;
        connect(&list, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex& first) { readOrder.push_back(first.row()); });
        f.images().loadFolder(f.pictures);
        int firstAtEnd = -1;
        QTRY_VERIFY([&] {
            f.listView()->scrollToBottom();
            firstAtEnd = f.listView()->visibleRows().first;
            return f.listView()->visibleRows().second == 149;
        }());
        QVERIFY(firstAtEnd > 75);
        QTRY_VERIFY(list.isRead(149) || !list.entry(149).facts.sizeText.empty());
        f.selectRows({149});
        if (!list.isRead(149)) {
            QCOMPARE(f.status(StatusPart::Path), QString::fromStdString(f.pictures + "/p149.jpg"));
            QVERIFY(f.status(StatusPart::FileSize).endsWith("K"));
            QCOMPARE(f.status(StatusPart::FileTime).size(), 19);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!f.rowLoader().busy(), 60000);
        const auto middle = std::find(readOrder.begin(), readOrder.end(), 75);
        for (int row = firstAtEnd; row < 150; ++row) {
            QVERIFY2(std::find(readOrder.begin(), middle, row) != middle,
                     qPrintable(QString("row %1 came after the middle").arg(row)));
        }
    }

    void invertSelection() {
        WindowFixture f;
        f.writePictures(4);
        QVERIFY(f.loadPictures());
        f.selectRows({0, 2});
        f.window->runCommand(kInvertSelection);
        QCOMPARE(f.listView()->selectedRows(), (QList<int>{1, 3}));
    }

    void spaceTogglesOneReadRow() {
        WindowFixture f;
        f.writePictures(3);
        QVERIFY(f.loadPictures());
        auto* view = f.listView();
        f.selectRows({0, 1});
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(f.list().lockedCount(), 0);
        f.selectRows({1});
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(f.list().entry(1).lockState, kLocked);
        QCOMPARE(f.status(StatusPart::LockCount), QString("1 个图像被锁定"));
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(f.list().lockedCount(), 0);
    }

    void deleteAndDDeleteTheSelectionOnlyFromTheList() {
        WindowFixture f;
        f.writePictures(5);
        QVERIFY(f.loadPictures());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        auto& list = f.list();
        const struct {
            Qt::Key key;
            Qt::KeyboardModifiers modifiers;
        } deleteKeys[] = {{Qt::Key_Delete, Qt::NoModifier},
                          {Qt::Key_D, Qt::NoModifier},
                          {Qt::Key_Delete, Qt::MetaModifier}};
        for (const auto& key : deleteKeys) {
            const int before = list.rowCount();
            f.selectRows({0});
            f.listView()->setFocus();
            QTest::keyClick(f.listView(), key.key, key.modifiers);
            QCOMPARE(list.rowCount(), before - 1);
        }
        // Typed elsewhere in the window, D and Delete are the other control's.
        f.selectRows({0});
        f.schemeChoice()->setFocus();
        QTest::keyClick(f.schemeChoice(), Qt::Key_D);
        QTest::keyClick(f.schemeChoice(), Qt::Key_Delete);
        QCOMPARE(list.rowCount(), 2);
        // Ctrl+D deletes every row from anywhere, without a question.
        QTest::keyClick(f.schemeChoice(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(list.rowCount(), 0);
        QVERIFY(f.dialogs.questions.isEmpty());
    }

    void deletedPicturesLeaveNoFactsOrPreview() {
        WindowFixture f;
        f.writePictures(3, 320, 240);
        QVERIFY(f.loadPictures());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        const auto shown = [&f] {
            QStringList parts;
            for (StatusPart part : {StatusPart::LockState, StatusPart::Path, StatusPart::Dimensions,
                                    StatusPart::FileSize, StatusPart::FileTime})
                parts << f.status(part);
            return parts.join("").isEmpty() ? QString() : parts.join("|");
        };
        // Deleting other rows keeps the shown picture's facts.
        f.selectRows({2});
        f.window->runCommand(kLockSelected);
        f.selectRows({1});
        f.selectRows({2});
        QTRY_VERIFY_WITH_TIMEOUT(!f.previewBox()->pixmap().isNull(), 10000);
        f.selectRows({0, 1});
        f.window->runCommand(kDeleteSelected);
        QCOMPARE(f.status(StatusPart::Path), QString::fromStdString(f.pictures + "/2.png"));
        QCOMPARE(f.status(StatusPart::LockState), QString("图像被锁定"));
        // Deleting the shown row takes its facts and preview with it.
        f.selectRows({0});
        f.window->runCommand(kDeleteSelected);
        QCOMPARE(shown(), QString());
        QVERIFY(f.previewBox()->pixmap().isNull());
        QCOMPARE(f.previewPath(), QString());

        // So does deleting every row, even with the preview still on its way.
        QVERIFY(f.loadPictures());
        f.selectRows({1});
        QCOMPARE(f.status(StatusPart::Dimensions), QString("321 X 240"));
        f.window->runCommand(kDeleteAll);
        QCOMPARE(shown(), QString());
        QTest::qWait(500);
        QVERIFY(f.previewBox()->pixmap().isNull());
        // Another folder loaded afterwards shows nothing until a row is chosen.
        QVERIFY(f.loadPictures());
        QCOMPARE(shown(), QString());
        QVERIFY(f.previewBox()->pixmap().isNull());
    }

    void selectingARowShowsItsFactsAndPreview() {
        WindowFixture f;
        f.writePictures(3, 320, 240);
        QVERIFY(f.loadPictures());
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        f.selectRows({2});
        QCOMPARE(f.session().currentRow(), 2);
        QCOMPARE(f.status(StatusPart::Path), QString::fromStdString(f.pictures + "/2.png"));
        QCOMPARE(f.status(StatusPart::Dimensions), QString("322 X 240"));
        QVERIFY(f.status(StatusPart::FileSize).endsWith("K"));
        QCOMPARE(f.status(StatusPart::FileTime).size(), 19);
        QCOMPARE(f.status(StatusPart::LockState), QString());
        QTRY_VERIFY_WITH_TIMEOUT(!f.previewBox()->pixmap().isNull(), 10000);
        QCOMPARE(f.previewPath(), QString::fromStdString(f.pictures + "/2.png"));
        // Several rows selected: the current row stays.
        f.selectRows({0, 1});
        QCOMPARE(f.session().currentRow(), 2);
        f.selectRows({1});
        f.window->runCommand(kLockSelected);
        f.selectRows({0});
        f.selectRows({1});
        QCOMPARE(f.status(StatusPart::LockState), QString("图像被锁定"));
    }

    void placeholderSelectionShowsNoPreview() {
        WindowFixture f;
        f.list().appendPlaceholders(f.pictures, {"x.png"});
        f.selectRows({0});
        QCOMPARE(f.session().currentRow(), 0);
        QCOMPARE(f.previewPath(), QString());
    }

    void missingPreviewFileIsReported() {
        WindowFixture f;
        f.writePictures(2);
        QVERIFY(f.loadPictures());
        std::filesystem::remove(std::filesystem::path(f.pictures) / "1.png");
        f.selectRows({1});
        const QString expected =
            QString("图像 %1 不存在。").arg(QString::fromStdString(f.pictures + "/1.png"));
        QTRY_COMPARE_WITH_TIMEOUT(f.dialogs.messages, QStringList{expected}, 10000);
        QCOMPARE(f.dialogs.kinds.front(), MessageKind::Stop);
    }

    void addAndLockLocksTheNewRow() {
        WindowFixture f;
        f.writePictures(1);
        f.images().addAndLockFile(f.pictures + "/0.png");
        QVERIFY(f.waitUntilRead());
        QCOMPARE(f.list().entry(0).lockState, kLocked);
        QCOMPARE(f.status(StatusPart::LockCount), QString("1 个图像被锁定"));
    }

    void fullScreenNeedsASelectedReadRow() {
        WindowFixture f;
        f.writePictures(3);
        QVERIFY(f.loadPictures());
        f.window->runCommand(kFullScreen);
        QVERIFY(f.secondary.calls.isEmpty());
        f.selectRows({1});
        f.window->runCommand(kListFullScreen);
        QCOMPARE(f.secondary.calls, QStringList{"full 0"});
        // The viewer gets every row, starting at the selected one.
        const ViewerRequest& request = f.secondary.lastViewer;
        QCOMPARE(request.rows.size(), size_t{3});
        QCOMPARE(request.startRow, 1);
        QCOMPARE(request.rows[1].path, f.pictures + "/1.png");
    }

    void treeSelectionShowsTheFileFactsAndPreview() {
        WindowFixture f;
        f.writePictures(1, 200, 100);
        const std::string path = f.pictures + "/0.png";
        f.session().showTreeSelection(path);
        QCOMPARE(f.status(StatusPart::Path), QString::fromStdString(path));
        QCOMPARE(f.status(StatusPart::Dimensions), QString());
        QTRY_VERIFY(f.status(StatusPart::FileSize).endsWith("K"));
        QCOMPARE(f.previewPath(), QString::fromStdString(path));
        QTRY_VERIFY_WITH_TIMEOUT(!f.previewBox()->pixmap().isNull(), 10000);
        f.session().showTreeSelection(f.pictures);
        QCOMPARE(f.status(StatusPart::Path), QString::fromStdString(f.pictures));
        QTRY_VERIFY(!f.status(StatusPart::FileSize).isEmpty());
        QCOMPARE(f.previewPath(), QString::fromStdString(path));
    }

    void treeFileCommandsCheckTheFile() {
        WindowFixture f;
        f.writePictures(1);
        const std::string path = f.pictures + "/0.png";
        f.images().fullScreenPicture(path);
        QVERIFY(f.waitForLooks());
        f.panel().singleImageOf(path);
        QVERIFY(f.waitForLooks());
        QCOMPARE(f.secondary.calls, (QStringList{"picture " + QString::fromStdString(path),
                                                 "editor 2 " + QString::fromStdString(path)}));
        const std::string gone = f.pictures + "/gone.png";
        f.images().fullScreenPicture(gone);
        QVERIFY(f.waitForLooks());
        f.panel().singleImageOf(gone);
        QVERIFY(f.waitForLooks());
        const QString expected = QString("图像文件 %1 不存在！").arg(QString::fromStdString(gone));
        QCOMPARE(f.dialogs.messages, (QStringList{expected, expected}));
    }
};

VARNETTO_QTEST_MAIN(ImageCommandsTest)
#include "ImageCommandsTest.moc"
