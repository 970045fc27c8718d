#include "browser/RowLoader.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// One picture listed many times: a long load without writing many files.
struct LongLoad {
    LongLoad() {
        writePicture(dir.path() / "photo.jpg", 1600, 1200);
        for (std::uint64_t i = 0; i < 300; ++i) {
            names.push_back("photo.jpg");
            ids.push_back(i + 1);
        }
    }
    TempDir dir;
    std::vector<std::string> names;
    std::vector<std::uint64_t> ids;
};

}  // namespace

class RowLoaderTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // A cancelled load stops between rows; a load started afterwards reads
    // all of its rows.
    void cancelStopsTheRunningLoadAndTheNextOneRuns() {
        LongLoad load;
        RowLoader loader(artwork::thumbnailArt());
        QSignalSpy rows(&loader, &RowLoader::rowRead);
        QSignalSpy done(&loader, &RowLoader::allJobsDone);
        loader.load(load.dir.str(), load.names, load.ids);
        QTRY_VERIFY_WITH_TIMEOUT(rows.size() >= 1, 20000);
        loader.cancelAll();
        loader.load(load.dir.str(), {"photo.jpg", "photo.jpg"}, {1001, 1002});
        QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 20000);
        QVERIFY(!loader.busy());
        QVERIFY2(rows.size() < 100, qPrintable(QString::number(rows.size())));
        QCOMPARE(rows.last().at(0).toULongLong(), quint64(1002));
        QCOMPARE(rows.at(rows.size() - 2).at(0).toULongLong(), quint64(1001));
    }

    // Destroying the loader in the middle of a load waits for the row being
    // read and delivers nothing afterwards.
    void destroyedDuringALoad() {
        LongLoad load;
        auto loader = std::make_unique<RowLoader>(artwork::thumbnailArt());
        int delivered = 0;
        QObject receiver;
        connect(loader.get(), &RowLoader::rowRead, &receiver, [&] { ++delivered; });
        loader->load(load.dir.str(), load.names, load.ids);
        QTRY_VERIFY_WITH_TIMEOUT(delivered >= 1, 20000);
        loader.reset();
        const int atDestruction = delivered;
        QTest::qWait(100);
        QCOMPARE(delivered, atDestruction);
        QVERIFY(delivered < 300);
    }
};

VARNETTO_QTEST_MAIN(RowLoaderTest)
#include "RowLoaderTest.moc"
