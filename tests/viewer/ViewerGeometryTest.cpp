#include "viewer/ViewerGeometry.h"

#include <QTest>

using namespace varnetto;

namespace {

const ViewArea kArea{0, 0, 1000, 700};

QString describe(const ViewState& v) {
    return QString("dest %1,%2 %3x%4 source %5,%6-%7,%8 pan %9")
        .arg(v.destX)
        .arg(v.destY)
        .arg(v.destWidth)
        .arg(v.destHeight)
        .arg(v.sourceLeft)
        .arg(v.sourceTop)
        .arg(v.sourceRight)
        .arg(v.sourceBottom)
        .arg(v.panningAllowed);
}

}  // namespace

class ViewerGeometryTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void placementAtActualSize_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QString>("expected");
        QTest::newRow("small, centred")
            << 200 << 100 << "dest 400,300 200x100 source 0,0-200,100 pan 0";
        QTest::newRow("large, top-left part")
            << 2000 << 1500 << "dest 0,0 1000x700 source 0,0-1000,700 pan 1";
        QTest::newRow("wide, centred vertically")
            << 2000 << 300 << "dest 0,200 1000x300 source 0,0-1000,300 pan 1";
        QTest::newRow("tall, centred horizontally")
            << 300 << 2000 << "dest 350,0 300x700 source 0,0-300,700 pan 1";
    }
    void placementAtActualSize() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QString, expected);
        QCOMPARE(describe(shownAtActualSize(kArea, width, height)), expected);
    }

    // Fit shows the whole picture without changing the zoom step, so the next
    // zoom out goes from 100 % to 80 %, centred on the same part.
    void fitThenZoomOut() {
        ViewState view = shownAtActualSize(kArea, 2000, 1500);
        const double fit = fitFactor(kArea, 2000, 1500);
        QCOMPARE(QString::fromStdString(zoomLabel(fit)), QString("46.67%"));
        applyZoom(view, kArea, fit);
        QCOMPARE(view.sourceWidth(), 2000);
        QCOMPARE(view.sourceHeight(), 1500);
        QVERIFY(!view.panningAllowed);
        QCOMPARE(view.destWidth, 933);
        QVERIFY(view.destHeight >= 699 && view.destHeight <= 700);
        QCOMPARE(view.destX, 500 - 933 / 2);
        QCOMPARE(view.zoomStep, 100);

        view.zoomStep = zoomedOut(view.zoomStep);
        QCOMPARE(view.zoomStep, 80);
        QCOMPARE(QString::fromStdString(zoomLabel(view.zoomStep / 100.0)), QString("80.00%"));
        applyZoom(view, kArea, 0.8);
        QCOMPARE(describe(view), QString("dest 0,0 1000x700 source 375,313-1625,1188 pan 1"));
    }

    void zoomSteps_data() {
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("in");
        QTest::addColumn<int>("out");
        QTest::newRow("10") << 10 << 20 << 10;
        QTest::newRow("20") << 20 << 40 << 10;
        QTest::newRow("40") << 40 << 60 << 20;
        QTest::newRow("100") << 100 << 120 << 80;
        QTest::newRow("180") << 180 << 200 << 160;
        QTest::newRow("200") << 200 << 200 << 180;
    }
    void zoomSteps() {
        QFETCH(int, step);
        QFETCH(int, in);
        QFETCH(int, out);
        QCOMPARE(zoomedIn(step), in);
        QCOMPARE(zoomedOut(step), out);
    }

    // A small picture zoomed in stays centred until it outgrows the area.
    void zoomingInUntilPanningIsPossible() {
        ViewState view = shownAtActualSize(kArea, 600, 380);
        QStringList seen;
        while (view.zoomStep < 200) {
            view.zoomStep = zoomedIn(view.zoomStep);
            applyZoom(view, kArea, view.zoomStep / 100.0);
            seen << QString("%1:%2").arg(view.zoomStep).arg(view.panningAllowed);
        }
        QCOMPARE(seen, QStringList({"120:0", "140:0", "160:0", "180:1", "200:1"}));
        // At 180 % the width overflows and is shown from the middle; the
        // height still fits.
        applyZoom(view, kArea, 1.8);
        QCOMPARE(describe(view), QString("dest 0,8 1000x684 source 23,0-578,380 pan 1"));
    }

    // Dragging stops at every edge, column 0 and row 0 included, and a slow
    // drag at 200 % adds up instead of being lost.
    void panningStopsAtTheEdges() {
        ViewState view = shownAtActualSize(kArea, 2000, 1500);
        QVERIFY(panView(view, 30, 40));  // towards the top-left corner
        QCOMPARE(describe(view), QString("dest 0,0 1000x700 source 0,0-1000,700 pan 1"));
        QVERIFY(panView(view, -5000, -5000));
        QCOMPARE(describe(view), QString("dest 0,0 1000x700 source 1000,800-2000,1500 pan 1"));
        QVERIFY(panView(view, 10, 0));
        QCOMPARE(view.sourceLeft, 990);
        QCOMPARE(view.sourceTop, 800);

        view.zoomStep = 200;
        applyZoom(view, kArea, 2.0);
        const ViewState before = view;
        QVERIFY(!panView(view, 1, -1));  // under one picture pixel
        QVERIFY(view == before);
        QVERIFY(panView(view, 2, 0));
        QCOMPARE(view.sourceLeft, before.sourceLeft - 1);
    }

    void steppingThroughRows_data() {
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("expected");
        QTest::newRow("first") << 3 << int(kFirst) << 0;
        QTest::newRow("last") << 1 << int(kLast) << 4;
        QTest::newRow("next") << 1 << int(kNext) << 2;
        QTest::newRow("past the end") << 4 << int(kNext) << 4;
        QTest::newRow("before the start") << 0 << int(kPrevious) << 0;
        QTest::newRow("shown again") << 2 << 0 << 2;
        QTest::newRow("start beyond the rows") << 9 << 0 << 4;
    }
    void steppingThroughRows() {
        QFETCH(int, current);
        QFETCH(int, step);
        QFETCH(int, expected);
        QCOMPARE(stepViewerRow(current, 5, step), expected);
    }

    // Locked rows 2 and 5 of 8: first 2, next 5, next stays 5, previous 2,
    // last 5; without locked rows the cursor stays.
    void walkingTheLockedRows() {
        const std::vector<bool> locked{false, false, true, false, false, true, false, false};
        int cursor = -1;
        QList<int> walk;
        for (int step : {kFirst, kNext, kNext, kPrevious, kLast}) {
            cursor = stepLockedCursor(cursor, locked, step);
            walk << cursor;
        }
        QCOMPARE(walk, QList<int>({2, 5, 5, 2, 5}));
        QCOMPARE(stepLockedCursor(5, locked, kLast), 5);
        QCOMPARE(stepLockedCursor(-1, std::vector<bool>(8, false), kFirst), -1);
        QCOMPARE(likelyNextStep(kLast), int(kPrevious));
        QCOMPARE(likelyNextStep(kFirst), int(kNext));
    }
};

QTEST_APPLESS_MAIN(ViewerGeometryTest)
#include "ViewerGeometryTest.moc"
