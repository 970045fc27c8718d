#include "app/Artwork.h"
#include "app/UiTestSupport.h"
#include "browser/ImageListModel.h"
#include "browser/RowLoader.h"

#include <QSignalSpy>
#include <QTest>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

RowFacts factsOf(int width, int height) {
    RowFacts facts;
    facts.width = width;
    facts.height = height;
    facts.dimensionText = std::to_string(width) + " X " + std::to_string(height);
    facts.cell = QImage(160, 120, QImage::Format_RGB888);
    facts.cell.fill(Qt::darkGreen);
    return facts;
}

// Five read rows named 0.jpg ... 4.jpg.
std::vector<std::uint64_t> fiveReadRows(ImageListModel& model) {
    const auto ids =
        model.appendPlaceholders("/pics", {"0.jpg", "1.jpg", "2.jpg", "3.jpg", "4.jpg"});
    for (auto id : ids) model.fillRow(id, factsOf(640, 480));
    return ids;
}

QList<int> imageIndexes(const ImageListModel& model) {
    QList<int> indexes;
    for (int row = 0; row < model.rowCount(); ++row) indexes << model.imageIndex(row);
    return indexes;
}

}  // namespace

class ImageListModelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void placeholdersBecomeReadRows() {
        ImageListModel model(artwork::thumbnailArt());
        const auto ids = model.appendPlaceholders("/pics", {"a.jpg", "b.png"});
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.rowText(0), QString::fromUtf8("加载中..."));
        QCOMPARE(model.entry(1).lockState, kNotRead);
        QCOMPARE(model.imageIndex(0), -1);
        QVERIFY(model.data(model.index(0), Qt::DecorationRole).isNull());
        QVERIFY(model.fillRow(ids[1], factsOf(300, 200)));
        QCOMPARE(model.rowText(1), QString("300 X 200\nb.png"));
        QCOMPARE(model.entry(1).lockState, kUnlocked);
        QCOMPARE(model.imageIndex(1), 2);
        QCOMPARE(model.thumbnailCount(), 2);
        QCOMPARE(model.rowPath(1), std::string("/pics/b.png"));
        QCOMPARE(model.rowPath(7), std::string());
    }

    void viewModesRelabelReadRows() {
        ImageListModel model(artwork::thumbnailArt());
        const auto ids = model.appendPlaceholders("/pics", {"a.jpg", "b.jpg"});
        model.fillRow(ids[0], factsOf(10, 20));
        for (auto mode : {ListViewMode::SmallIcons, ListViewMode::List, ListViewMode::Details}) {
            model.setViewMode(mode);
            QCOMPARE(model.rowText(0), QString("a.jpg"));
            QCOMPARE(model.rowText(1), QString::fromUtf8("加载中..."));
        }
        model.setViewMode(ListViewMode::LargeIcons);
        QCOMPARE(model.rowText(0), QString("10 X 20\na.jpg"));
    }

    void deletingARowKeepsTheImageInvariant() {
        ImageListModel model(artwork::thumbnailArt());
        fiveReadRows(model);
        model.setLockState(1, kLocked);
        model.setLockState(3, kLocked);
        QCOMPARE(imageIndexes(model), (QList<int>{0, 3, 4, 7, 8}));
        model.removeRowAt(1);
        QCOMPARE(imageIndexes(model), (QList<int>{0, 2, 5, 6}));
        QCOMPARE(model.entry(2).fileName, std::string("3.jpg"));
        QCOMPARE(model.thumbnailCount(), 8);
        QCOMPARE(model.lockedCount(), 1);
        while (model.rowCount() > 0) model.removeRowAt(0);
        QCOMPARE(model.thumbnailCount(), 0);
    }

    void lockingShowsTheMarkedPicture() {
        ImageListModel model(artwork::thumbnailArt());
        fiveReadRows(model);
        const QImage plain = model.data(model.index(2), Qt::DecorationRole).value<QImage>();
        model.toggleLock(2);
        const QImage locked = model.data(model.index(2), Qt::DecorationRole).value<QImage>();
        QCOMPARE(plain.size(), QSize(160, 120));
        QVERIFY(plain != locked);
        QCOMPARE(locked.pixelColor(3, 3), plain.pixelColor(3, 3));
        model.toggleLock(2);
        QCOMPARE(model.data(model.index(2), Qt::DecorationRole).value<QImage>(), plain);
    }

    void invertAndCountLocks() {
        ImageListModel model(artwork::thumbnailArt());
        fiveReadRows(model);
        model.setLockState(0, kLocked);
        model.setLockState(4, kLocked);
        for (int row = 0; row < model.rowCount(); ++row) model.toggleLock(row);
        QCOMPARE(model.lockedCount(), 3);
        QCOMPARE(model.lockedPaths(),
                 (std::vector<std::string>{"/pics/1.jpg", "/pics/2.jpg", "/pics/3.jpg"}));
    }

    void rowsNotReadCannotBeLocked() {
        ImageListModel model(artwork::thumbnailArt());
        const auto ids = model.appendPlaceholders("/pics", {"a.jpg"});
        model.setLockState(0, kLocked);
        model.toggleLock(0);
        QCOMPARE(model.entry(0).lockState, kNotRead);
        QCOMPARE(model.lockedCount(), 0);
        model.fillRow(ids[0], factsOf(1, 1));
        QCOMPARE(model.entry(0).lockState, kUnlocked);
    }

    void rowsAreFoundByIdentityAfterDeletions() {
        ImageListModel model(artwork::thumbnailArt());
        const auto ids = model.appendPlaceholders("/pics", {"a", "b", "c", "d"});
        model.removeRowAt(1);
        QCOMPARE(model.rowOfId(ids[0]), 0);
        QCOMPARE(model.rowOfId(ids[1]), -1);
        QCOMPARE(model.rowOfId(ids[3]), 2);
        QVERIFY(!model.fillRow(ids[1], factsOf(5, 5)));
        QVERIFY(model.fillRow(ids[3], factsOf(5, 5)));
        QCOMPARE(model.entry(2).fileName, std::string("d"));
        model.removeAllRows();
        QVERIFY(!model.fillRow(ids[0], factsOf(5, 5)));
        QCOMPARE(model.rowCount(), 0);
    }

    // The worker follows rows by identity: rows deleted while it reads are
    // skipped and every remaining row gets its own file's facts.
    void loaderFillsTheRowsItWasGiven() {
        TempDir dir;
        std::vector<std::string> names;
        for (int i = 0; i < 8; ++i) {
            names.push_back("p" + std::to_string(i) + ".png");
            writePicture(dir.path() / names.back(), 40 + i, 30);
        }
        ImageListModel model(artwork::thumbnailArt());
        RowLoader loader(artwork::thumbnailArt());
        connect(&loader, &RowLoader::rowRead, &model,
                [&model](quint64 id, const RowFacts& facts) { model.fillRow(id, facts); });
        QSignalSpy done(&loader, &RowLoader::allJobsDone);
        const auto ids = model.appendPlaceholders(dir.str(), names);
        loader.load(dir.str(), names, ids);
        model.removeRowAt(5);
        model.removeRowAt(2);
        QVERIFY(loader.busy());
        QVERIFY(done.wait(20000));
        QCOMPARE(model.rowCount(), 6);
        for (int row = 0; row < model.rowCount(); ++row) {
            const ImageEntry& e = model.entry(row);
            QVERIFY(model.isRead(row));
            const int i = std::stoi(e.fileName.substr(1));
            QCOMPARE(e.facts.width, 40 + i);
        }
    }

    void cancelledLoadLeavesAnEmptyListEmpty() {
        TempDir dir;
        std::vector<std::string> names;
        for (int i = 0; i < 20; ++i) {
            names.push_back(std::to_string(i) + ".png");
            writePicture(dir.path() / names.back(), 64, 48);
        }
        ImageListModel model(artwork::thumbnailArt());
        RowLoader loader(artwork::thumbnailArt());
        int filled = 0;
        connect(&loader, &RowLoader::rowRead, &model,
                [&](quint64 id, const RowFacts& facts) { filled += model.fillRow(id, facts); });
        QSignalSpy done(&loader, &RowLoader::allJobsDone);
        loader.load(dir.str(), names, model.appendPlaceholders(dir.str(), names));
        loader.cancelAll();
        model.removeAllRows();
        QVERIFY(done.wait(20000));
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(filled, 0);
    }
};

VARNETTO_QTEST_MAIN(ImageListModelTest)
#include "ImageListModelTest.moc"
