#include "browser/ImageListModel.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"

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
};

VARNETTO_QTEST_MAIN(ImageListModelTest)
#include "ImageListModelTest.moc"
