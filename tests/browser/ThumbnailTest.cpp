#include "browser/RowReader.h"
#include "support/UiTestSupport.h"
#include "uikit/Artwork.h"

#include <QTest>

using namespace varnetto;
using namespace varnetto::testing;

class ThumbnailTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void pictureSizeFollowsTheCellRules_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("exact 4:3 is brought to the cell") << 200 << 150 << QSize(160, 120);
        QTest::newRow("small 4:3 is enlarged") << 40 << 30 << QSize(160, 120);
        QTest::newRow("small wide keeps its size") << 100 << 50 << QSize(100, 50);
        QTest::newRow("wide shrinks to the width") << 2000 << 1000 << QSize(160, 80);
        QTest::newRow("tall shrinks to the height") << 600 << 1200 << QSize(60, 120);
        QTest::newRow("thin line keeps one pixel") << 5000 << 2 << QSize(160, 1);
        QTest::newRow("nothing to show") << 0 << 0 << QSize(0, 0);
    }
    void pictureSizeFollowsTheCellRules() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, expected);
        QCOMPARE(thumbnailPictureSize(width, height), expected);
    }

    // On a high-density screen the cell holds as many pixels as the screen
    // shows there, and keeps its size in the window's units.
    void cellsAreDrawnAtTheScreensDensity() {
        TempDir dir;
        writePicture(dir.path() / "wide.png", 1200, 600);
        for (const qreal density : {1.0, 2.0}) {
            const ThumbnailArt art = artwork::thumbnailArt(density);
            const RowFacts facts = readRow(dir.str(), "wide.png", art);
            QCOMPARE(facts.cell.size(), QSize(160, 120) * density);
            QCOMPARE(facts.cell.deviceIndependentSize(), QSizeF(160, 120));
            QCOMPARE(QSize(facts.pictureWidth, facts.pictureHeight), QSize(160, 80));
            // The picture fills its band: the frame shows only above and below.
            const int middle = facts.cell.height() / 2;
            QVERIFY(facts.cell.pixelColor(0, middle) != art.frame.pixelColor(0, middle));
            QCOMPARE(facts.cell.pixelColor(0, 0), art.frame.pixelColor(0, 0));
            const QImage locked = withLockMark(facts.cell, art.lockMark);
            QCOMPARE(locked.size(), facts.cell.size());
            QVERIFY(locked.pixelColor(locked.width() - int(20 * density),
                                      locked.height() - int(10 * density)) !=
                    facts.cell.pixelColor(facts.cell.width() - int(20 * density),
                                          facts.cell.height() - int(10 * density)));
        }
    }

    void readRowMakesTheCellAndTheFacts_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("picture");
        QTest::newRow("png 4:3") << "a.png" << 200 << 150 << QSize(160, 120);
        QTest::newRow("jpeg small") << "b.jpg" << 100 << 50 << QSize(100, 50);
        QTest::newRow("tiff wide") << "c.tif" << 2000 << 1000 << QSize(160, 80);
        QTest::newRow("bmp tall") << "d.bmp" << 600 << 1200 << QSize(60, 120);
    }
    void readRowMakesTheCellAndTheFacts() {
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, picture);
        TempDir dir;
        writePicture(dir.path() / name.toStdString(), width, height);
        const RowFacts facts = readRow(dir.str(), name.toStdString(), artwork::thumbnailArt());
        QVERIFY2(!facts.broken(), facts.error.c_str());
        QCOMPARE(facts.width, width);
        QCOMPARE(facts.height, height);
        QCOMPARE(QSize(facts.pictureWidth, facts.pictureHeight), picture);
        QCOMPARE(facts.cell.size(), QSize(160, 120));
        QCOMPARE(QString::fromStdString(facts.dimensionText),
                 QString("%1 X %2").arg(width).arg(height));
        QCOMPARE(QString::fromStdString(facts.typeText), name.section('.', -1).toUpper());
        QVERIFY(QString::fromStdString(facts.sizeText).endsWith('K'));
        QCOMPARE(facts.timeText.size(), size_t(19));
    }

    void pictureIsCentredOnTheFrame() {
        TempDir dir;
        writePicture(dir.path() / "wide.png", 100, 50);
        const ThumbnailArt art = artwork::thumbnailArt();
        const RowFacts facts = readRow(dir.str(), "wide.png", art);
        // Corners show the frame, the centre shows the picture.
        QCOMPARE(facts.cell.pixelColor(1, 1), art.frame.pixelColor(1, 1));
        QVERIFY(facts.cell.pixelColor(80, 60) != art.frame.pixelColor(80, 60));
        QCOMPARE(facts.cell.pixelColor(20, 60), art.frame.pixelColor(20, 60));
    }

    void undecodableFileIsABrokenRowWithItsFacts() {
        TempDir dir;
        writeBytes(dir.path() / "junk.jpg", std::string(1023, 'x'));
        const ThumbnailArt art = artwork::thumbnailArt();
        const RowFacts facts = readRow(dir.str(), "junk.jpg", art);
        QVERIFY(facts.broken());
        QVERIFY(QString::fromStdString(facts.error).contains("junk.jpg"));
        QCOMPARE(facts.sizeText, std::string("0K"));
        QCOMPARE(facts.typeText, std::string("JPG"));
        QCOMPARE(facts.dimensionText, std::string("0 X 0"));
        QCOMPARE(facts.cell, art.brokenPicture);
    }

    void pictureCutShortIsMarkedDamaged() {
        TempDir dir;
        const ThumbnailArt art = artwork::thumbnailArt();
        writePicture(dir.path() / "whole.jpg", 800, 600);
        const std::string bytes = readBytes(dir.str("whole.jpg"));
        writeBytes(dir.path() / "cut.jpg", bytes.substr(0, bytes.size() / 2));
        const RowFacts cut = readRow(dir.str(), "cut.jpg", art);
        QVERIFY2(!cut.broken(), cut.error.c_str());
        QVERIFY(cut.damaged());
        QCOMPARE(cut.dimensionText, std::string("800 X 600"));
        // The warning sign sits in the upper left corner of the cell.
        const QPoint insideTheSign(2 + 15, 2 + 14);
        QCOMPARE(cut.cell.pixelColor(insideTheSign), art.damageMark.pixelColor(15, 14));
        const RowFacts whole = readRow(dir.str(), "whole.jpg", art);
        QVERIFY(!whole.damaged());
        QVERIFY(whole.cell.pixelColor(insideTheSign) != art.damageMark.pixelColor(15, 14));
    }

    void fileFactsOfOddNames() {
        TempDir dir;
        writeBytes(dir.path() / "noext", std::string(2048, 'x'));
        RowFacts facts;
        readFileFacts(dir.str(), "noext", facts);
        QCOMPARE(facts.typeText, std::string());
        QCOMPARE(facts.sizeText, std::string("2K"));
        RowFacts missing;
        readFileFacts(dir.str(), "gone.Jpeg", missing);
        QCOMPARE(missing.typeText, std::string("JPEG"));
        QCOMPARE(missing.sizeText, std::string());
    }
};

VARNETTO_QTEST_MAIN(ThumbnailTest)
#include "ThumbnailTest.moc"
