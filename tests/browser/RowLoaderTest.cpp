#include "browser/RowLoader.h"
#include "browser/RowQueue.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"

#include <QSignalSpy>
#include <QTest>

#include <map>
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

struct Delivered {
    std::vector<std::uint64_t> order;
    std::map<std::uint64_t, RowFacts> rows;
    std::map<std::uint64_t, RowFacts> fileFacts;
    // Rows delivered when the facts of the last row arrived.
    size_t rowsBeforeAllFacts = 0;
};

// Everything a loader with that many readers delivers for one load, with
// rows wanted first.
Delivered loadWith(int readers, const std::string& folder, const std::vector<std::string>& names,
                   const std::vector<std::uint64_t>& ids,
                   const std::vector<std::uint64_t>& wanted = {}) {
    Delivered out;
    RowLoader loader(artwork::thumbnailArt(), readers);
    QObject::connect(&loader, &RowLoader::rowRead, [&](quint64 id, const RowFacts& facts) {
        out.order.push_back(id);
        out.rows[id] = facts;
    });
    QObject::connect(&loader, &RowLoader::fileFactsRead, [&](quint64 id, const RowFacts& facts) {
        out.fileFacts[id] = facts;
        if (out.fileFacts.size() == ids.size()) out.rowsBeforeAllFacts = out.order.size();
    });
    bool done = false;
    QObject::connect(&loader, &RowLoader::allJobsDone, [&] { done = true; });
    loader.setVisibleRows(wanted);
    loader.load(folder, names, ids);
    if (!QTest::qWaitFor([&] { return done; }, 60000)) qFatal("the load did not end");
    return out;
}

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

    // Several readers at once give what one reader gives, row for row and
    // in the same order: facts, texts and thumbnails of every kind of file,
    // broken and missing ones included. Every row's file facts come first.
    void poolReadsWhatOneReaderReads() {
        TempDir dir;
        writePicture(dir.path() / "a.png", 200, 150);
        writePicture(dir.path() / "b.jpg", 100, 50);
        writePicture(dir.path() / "c.tif", 2000, 1000);
        writePicture(dir.path() / "d.bmp", 600, 1200);
        writePicture(dir.path() / "e.gif", 300, 300);
        writeBytes(dir.path() / "junk.jpg", std::string(3000, 'x'));
        std::vector<std::string> names;
        std::vector<std::uint64_t> ids;
        for (int round = 0; round < 4; ++round) {
            for (const char* name :
                 {"a.png", "b.jpg", "c.tif", "d.bmp", "e.gif", "junk.jpg", "gone.png"}) {
                names.push_back(name);
                ids.push_back(ids.size() + 1);
            }
        }
        const Delivered one = loadWith(1, dir.str(), names, ids);
        const Delivered pool = loadWith(3, dir.str(), names, ids);
        QCOMPARE(one.order, ids);
        QCOMPARE(pool.order, ids);
        QCOMPARE(one.rowsBeforeAllFacts, size_t(0));
        for (std::uint64_t id : ids) {
            const RowFacts& a = one.rows.at(id);
            const RowFacts& b = pool.rows.at(id);
            QCOMPARE(b.dimensionText, a.dimensionText);
            QCOMPARE(b.sizeText, a.sizeText);
            QCOMPARE(b.typeText, a.typeText);
            QCOMPARE(b.timeText, a.timeText);
            QCOMPARE(QSize(b.pictureWidth, b.pictureHeight),
                     QSize(a.pictureWidth, a.pictureHeight));
            QCOMPARE(b.broken(), a.broken());
            QVERIFY(b.cell == a.cell);
            for (const Delivered* run : {&one, &pool}) {
                const RowFacts& early = run->fileFacts.at(id);
                QCOMPARE(early.sizeText, a.sizeText);
                QCOMPARE(early.typeText, a.typeText);
                QCOMPARE(early.timeText, a.timeText);
            }
        }
        QCOMPARE(one.rows.at(1).dimensionText, std::string("200 X 150"));
        QVERIFY(one.rows.at(6).broken());
        QVERIFY(one.rows.at(7).broken());
    }

    // Rows in view are read before every other row, in the order wanted,
    // even when they were wanted before their load started; the rest follow
    // in list order.
    void rowsInViewAreReadFirst() {
        LongLoad load;
        load.names.resize(60);
        load.ids.resize(60);
        const Delivered got = loadWith(2, load.dir.str(), load.names, load.ids, {45, 46, 47, 20});
        std::vector<std::uint64_t> expected = {45, 46, 47, 20};
        for (std::uint64_t id = 1; id <= 60; ++id)
            if (id != 20 && (id < 45 || id > 47)) expected.push_back(id);
        QCOMPARE(got.order, expected);
    }

    // The shared queue: facts before rows, wanted rows (also those added
    // later) before the rest, a new wish replacing the old one, rows added
    // ahead before everything, dropped rows never handed out, and readers
    // counted so that work added always has one.
    void queueHandsOutWorkInOrder() {
        RowQueue queue;
        auto next = [&] {
            const std::optional<RowTask> task = queue.take();
            if (!task) return std::string("none");
            std::string text = task->factsOnly ? "facts" : "row";
            for (const auto& [id, name] : task->rows) text += " " + std::to_string(id);
            return text;
        };
        queue.add(0, "/a", {"1", "2", "3", "4", "5"}, {1, 2, 3, 4, 5});
        QCOMPARE(queue.readersWanted(4), 4);
        QCOMPARE(queue.readersWanted(4), 0);
        queue.prefer({4, 9});
        QCOMPARE(next(), std::string("facts 1 2 3 4 5"));
        QCOMPARE(next(), std::string("row 4"));
        queue.add(1, "/b", {"9", "10"}, {9, 10});
        QCOMPARE(next(), std::string("facts 9 10"));
        QCOMPARE(next(), std::string("row 9"));
        queue.prefer({3});
        QCOMPARE(next(), std::string("row 3"));
        queue.add(2, "/c", {"20", "21"}, {20, 21}, true);
        QCOMPARE(next(), std::string("row 20"));
        QCOMPARE(next(), std::string("row 21"));
        QCOMPARE(queue.drop({1, 10, 4}), (std::map<int, int>{{0, 1}, {1, 1}}));
        QCOMPARE(next(), std::string("row 2"));
        QCOMPARE(queue.dropAll(), (std::map<int, int>{{0, 1}}));
        // The readers ask for work in vain and end; new work wants one again.
        for (int reader = 0; reader < 4; ++reader) QCOMPARE(next(), std::string("none"));
        QCOMPARE(queue.readersWanted(8), 0);
        queue.add(3, "/d", {"30"}, {30}, true);
        QCOMPARE(queue.readersWanted(8), 1);
    }
};

VARNETTO_QTEST_MAIN(RowLoaderTest)
#include "RowLoaderTest.moc"
