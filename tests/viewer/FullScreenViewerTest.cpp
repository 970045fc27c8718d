#include "support/UiTestSupport.h"
#include "uikit/AccessibleNames.h"
#include "viewer/FullScreenViewer.h"
#include "viewer/ViewerCanvas.h"

#include <QAction>
#include <QLabel>
#include <QTimer>
#include <QToolBar>
#include <QWheelEvent>

#include <memory>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

using vips::VImage;

VImage solid(int width, int height, std::vector<double> colour) {
    return (VImage::black(width, height, VImage::option()->set("bands", 3)) + colour)
        .cast(VIPS_FORMAT_UCHAR)
        .copy(VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
}

// Four quarters: red, green / blue, yellow.
VImage quarters(int width, int height) {
    const int w = width / 2, h = height / 2;
    const VImage top =
        solid(w, h, {255, 0, 0}).join(solid(width - w, h, {0, 255, 0}), VIPS_DIRECTION_HORIZONTAL);
    const VImage bottom =
        solid(w, height - h, {0, 0, 255})
            .join(solid(width - w, height - h, {255, 255, 0}), VIPS_DIRECTION_HORIZONTAL);
    return top.join(bottom, VIPS_DIRECTION_VERTICAL);
}

const std::vector<std::vector<double>> kColours{{255, 0, 0},   {0, 160, 0},   {0, 0, 255},
                                                {255, 255, 0}, {0, 255, 255}, {255, 0, 255},
                                                {128, 64, 0},  {40, 40, 40}};

ViewerCanvas* canvasOf(const QWidget& viewer) {
    auto* canvas = viewer.findChild<ViewerCanvas*>("imageArea");
    if (!canvas) qFatal("no image area");
    return canvas;
}

QString labelText(const QWidget& viewer, const char* name) {
    auto* label = viewer.findChild<QLabel*>(name);
    return label ? label->text() : QString("<no %1>").arg(name);
}

// The colour the image area shows at a point of the window (its centre by
// default); the grab holds as many pixels as the screen, at any density.
QColor shown(const QWidget& viewer, QPoint at = {-1, -1}) {
    ViewerCanvas* canvas = canvasOf(viewer);
    const QImage image = canvas->grab().toImage();
    return image.pixelColor(at.x() < 0 ? image.rect().center()
                                       : (QPointF(at) * image.devicePixelRatio()).toPoint());
}

bool near(const QColor& colour, const std::vector<double>& expected) {
    return std::abs(colour.red() - expected[0]) < 12 &&
           std::abs(colour.green() - expected[1]) < 12 &&
           std::abs(colour.blue() - expected[2]) < 12;
}

void trigger(QWidget& viewer, const char* action) {
    auto* found = viewer.findChild<QAction*>(action);
    if (!found) qFatal("no action %s", action);
    found->trigger();
}

// Rows of solid pictures 300 x 200, row i in kColours[i].
struct Pictures {
    explicit Pictures(int count) {
        for (int i = 0; i < count; ++i) {
            const std::string path = dir.str(std::to_string(i) + ".png");
            solid(300, 200, kColours[size_t(i)]).pngsave(path.c_str());
            rows.push_back({path, false, "300 X 200", "1K", "2024-05-01 10:00:00"});
        }
    }
    // Browsing the rows from startRow.
    ViewerRequest browse(int startRow) const {
        ViewerRequest request;
        request.rows = rows;
        request.startRow = startRow;
        return request;
    }

    TempDir dir;
    std::vector<ViewerRow> rows;
};

}  // namespace

class FullScreenViewerTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // Stepping goes through the rows, stays at both ends and does not load
    // the row on screen again.
    void browsingStepsThroughTheRows() {
        Pictures pictures(3);
        RecordingDialogs dialogs;
        const ViewerRequest request = pictures.browse(1);
        FullScreenViewer viewer(request, dialogs);
        // Each picture is sharp from its first paint, at any density: its
        // first view comes with it.
        QStringList firstPaints;
        connect(canvasOf(viewer), &ViewerCanvas::painted, [&](bool complete) {
            const auto& picture = canvasOf(viewer)->picture();
            const QString path = QString::fromStdString(picture->path());
            if (firstPaints.isEmpty() || !firstPaints.last().startsWith(path))
                firstPaints << path + (complete ? "" : " incomplete");
        });
        viewer.show();
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[1]), 10000);
        QCOMPARE(labelText(viewer, "infoText913"),
                 QString::fromStdString(pictures.rows[1].path) +
                     QString::fromUtf8(
                         "\n图像大小：300 X 200     文件大小：1K     日期：2024-05-01 10:00:00"));
        QCOMPARE(labelText(viewer, "zoomLabel914"), QString("100% "));

        QTest::keyClick(&viewer, Qt::Key_PageDown);
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[2]), 10000);
        // The last row changes on disk; stepping past the end does not
        // reload it.
        solid(300, 200, {255, 255, 255}).pngsave(pictures.rows[2].path.c_str());
        QTest::keyClick(&viewer, Qt::Key_PageDown);
        QTest::keyClick(&viewer, Qt::Key_End);
        QTest::qWait(300);
        QVERIFY(near(shown(viewer), kColours[2]));

        QTest::keyClick(&viewer, Qt::Key_Home);
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[0]), 10000);
        QCOMPARE(firstPaints, (QStringList{QString::fromStdString(pictures.rows[1].path),
                                           QString::fromStdString(pictures.rows[2].path),
                                           QString::fromStdString(pictures.rows[0].path)}));
        QTest::keyClick(&viewer, Qt::Key_PageUp);
        trigger(viewer, "viewer903");  // the toolbar's next
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[1]), 10000);
        // The wheel turned towards the user steps on, away from the user back.
        // (A wheel event the image area ignores reaches the window; one sent
        // by hand would not travel, so it goes to the window directly.)
        auto wheel = [&](int delta) {
            const QPointF at = viewer.rect().center();
            QWheelEvent event(at, viewer.mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton,
                              Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(&viewer, &event);
        };
        wheel(-120);  // the last row, now white on disk, is read again
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), {255, 255, 255}), 10000);
        wheel(120);
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[1]), 10000);
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(controlsWithoutAccessibleName(&viewer), QStringList());
    }

    // A missing file is reported once and the previous picture stays; a
    // damaged one is explained in the window, and stepping goes on.
    void missingAndDamagedFiles() {
        Pictures pictures(3);
        std::filesystem::remove(pictures.rows[1].path);
        writeBytes(pictures.rows[2].path, "not a picture");
        RecordingDialogs dialogs;
        const ViewerRequest request = pictures.browse(0);
        FullScreenViewer viewer(request, dialogs);
        viewer.show();
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[0]), 10000);

        QTest::keyClick(&viewer, Qt::Key_PageDown);
        QCOMPARE(dialogs.messages,
                 QStringList{QString::fromUtf8("图像 %1 不存在。")
                                 .arg(QString::fromStdString(pictures.rows[1].path))});
        QVERIFY(near(shown(viewer), kColours[0]));
        QTest::keyClick(&viewer, Qt::Key_PageDown);
        auto* message = viewer.findChild<QLabel*>("pictureMessage");
        QVERIFY(message);
        QTRY_VERIFY_WITH_TIMEOUT(message->isVisible(), 10000);
        QVERIFY(message->text().contains(QString::fromStdString(pictures.rows[2].path)));
        QCOMPARE(dialogs.messages.size(), 1);

        QTest::keyClick(&viewer, Qt::Key_Home);
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer), kColours[0]), 10000);
        QVERIFY(!message->isVisible());
    }

    // The effect preview walks the locked rows 2 and 5 of 8, each processed
    // with the scheme (here: 256 grey levels).
    void lockedPreviewWalksTheLockedRows() {
        Pictures pictures(8);
        pictures.rows[2].locked = pictures.rows[5].locked = true;
        Scheme grey;
        grey.convertEnabled = grey.colorConvertEnabled = 1;
        grey.colorType = stored(ColorType::Gray256);
        RecordingDialogs dialogs;
        ViewerRequest request;
        request.mode = ViewerMode::LockedPreview;
        request.rows = pictures.rows;
        request.scheme = grey;
        FullScreenViewer viewer(request, dialogs);
        viewer.show();
        auto greyOf = [](int row) {
            const double y =
                solid(1, 1, kColours[size_t(row)]).colourspace(VIPS_INTERPRETATION_B_W).avg();
            return std::vector<double>{y, y, y};
        };
        // Blue and magenta differ in grey by far more than the tolerance.
        QVERIFY(std::abs(greyOf(2)[0] - greyOf(5)[0]) > 40);
        QList<int> walk;
        auto showing = [&] {
            for (int row : {2, 5})
                if (near(shown(viewer), greyOf(row))) return row;
            return -1;
        };
        QTRY_COMPARE_WITH_TIMEOUT(showing(), 2, 10000);
        for (auto [key, row] : {std::pair{Qt::Key_PageDown, 5},
                                {Qt::Key_PageDown, 5},
                                {Qt::Key_PageUp, 2},
                                {Qt::Key_End, 5}}) {
            QTest::keyClick(&viewer, key);
            QTRY_COMPARE_WITH_TIMEOUT(showing(), row, 10000);
            walk << row;
        }
        QCOMPARE(walk, QList<int>({5, 5, 2, 5}));
        QCOMPARE(labelText(viewer, "infoText913"), QString());
    }

    // A 2000 x 1500 picture in a 1000 x 700 area: the top-left part at
    // 100 %, fit at 46.67 %, then 80 %; dragging stops at the far corner.
    void zoomAndPanALargePicture() {
        TempDir dir;
        const std::string path = dir.str("large.jpg");
        quarters(2000, 1500).jpegsave(path.c_str());
        RecordingDialogs dialogs;
        ViewerRequest request;
        request.mode = ViewerMode::ShowBitmap;
        request.picturePath = path;
        FullScreenViewer viewer(request, dialogs);
        ViewerCanvas* canvas = canvasOf(viewer);
        viewer.resize(1000, canvas->y() + 700);
        viewer.show();
        QCOMPARE(canvas->size(), QSize(1000, 700));
        // All red: the top-left 1000 x 700 of the red quarter.
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer, {990, 690}), {255, 0, 0}), 10000);
        QVERIFY(near(shown(viewer, {5, 5}), {255, 0, 0}));

        trigger(viewer, "viewer3123");
        QCOMPARE(labelText(viewer, "zoomLabel914"), QString("46.67%"));
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer, {300, 200}), {255, 0, 0}), 10000);
        QVERIFY(near(shown(viewer, {700, 500}), {255, 255, 0}));
        QVERIFY(near(shown(viewer, {20, 350}), {255, 255, 255}));  // beside the picture

        trigger(viewer, "viewer907");
        QCOMPARE(labelText(viewer, "zoomLabel914"), QString("80.00%"));
        // Centred on the picture's middle, where the four quarters meet.
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer, {400, 250}), {255, 0, 0}), 10000);
        QVERIFY(near(shown(viewer, {600, 450}), {255, 255, 0}));

        QTest::mousePress(canvas, Qt::LeftButton, {}, QPoint(900, 600));
        for (int i = 1; i <= 20; ++i) {
            QMouseEvent move(QEvent::MouseMove, QPointF(900 - i * 40, 600 - i * 30),
                             canvas->mapToGlobal(QPointF(900 - i * 40, 600 - i * 30)), Qt::NoButton,
                             Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(canvas, &move);
        }
        QTest::mouseRelease(canvas, Qt::LeftButton, {}, QPoint(100, 0));
        QCOMPARE(canvas->view().sourceRight, 2000);
        QCOMPARE(canvas->view().sourceBottom, 1500);
        QTRY_VERIFY_WITH_TIMEOUT(near(shown(viewer, {500, 350}), {255, 255, 0}), 10000);
    }

    // The caller's picture is shown and never changed, whatever the viewer
    // does with it; stepping does nothing.
    void aCallersBitmapIsLeftAlone() {
        const VImage bitmap = quarters(400, 300).copy_memory();
        const VImage before = bitmap.copy().copy_memory();
        RecordingDialogs dialogs;
        FullScreenViewer viewer(showBitmapRequest(bitmap), dialogs);
        viewer.show();
        QTRY_VERIFY_WITH_TIMEOUT(canvasOf(viewer)->hasPicture(), 10000);
        trigger(viewer, "viewer906");
        trigger(viewer, "viewer3123");
        trigger(viewer, "viewer909");  // hidden: auto levels on the shown picture
        QTest::keyClick(&viewer, Qt::Key_PageDown);
        QTest::qWait(300);
        QTRY_VERIFY_WITH_TIMEOUT(!canvasOf(viewer)->rendering(), 10000);
        QCOMPARE((bitmap == before).min(), 255.0);
        QCOMPARE(bitmap.bands(), 3);
        QVERIFY(dialogs.messages.isEmpty());
        QVERIFY(!viewer.findChild<QAction*>("viewer909")->isVisible());
        QCOMPARE(viewer.findChild<QToolBar*>("toolbar911")->actions().size(), 12);
    }

    void escAndDoubleClickCloseWithTheirResults() {
        Pictures pictures(1);
        RecordingDialogs dialogs;
        const ViewerRequest request = pictures.browse(0);
        {
            FullScreenViewer viewer(request, dialogs);
            QTimer::singleShot(100, &viewer, [&] { QTest::keyClick(&viewer, Qt::Key_Escape); });
            QCOMPARE(viewer.exec(), 2);
        }
        FullScreenViewer viewer(request, dialogs);
        QTimer::singleShot(100, &viewer,
                           [&] { QTest::mouseDClick(canvasOf(viewer), Qt::LeftButton); });
        QCOMPARE(viewer.exec(), 1);
    }

    // Closing while a picture is still being decoded or processed neither
    // crashes nor paints into the closed window.
    void closingDuringALoadOrRender() {
        TempDir dir;
        const std::string path = dir.str("big.png");
        quarters(3000, 2400).pngsave(path.c_str());
        ViewerRow row{path, true, "3000 X 2400", "1K", ""};
        Scheme sharpen;
        sharpen.enhanceEnabled = sharpen.sharpenEnabled = 1;
        sharpen.sharpenValue = 5;
        RecordingDialogs dialogs;
        for (ViewerMode mode : {ViewerMode::BrowseRows, ViewerMode::LockedPreview}) {
            ViewerRequest request;
            request.mode = mode;
            request.rows = {row, row, row};
            request.startRow = 0;
            request.scheme = sharpen;
            auto viewer = std::make_unique<FullScreenViewer>(request, dialogs);
            viewer->show();
            QTest::keyClick(viewer.get(), Qt::Key_PageDown);
            viewer.reset();
            QTest::qWait(200);
        }
        QVERIFY(dialogs.messages.isEmpty());
    }
};

VARNETTO_QTEST_MAIN(FullScreenViewerTest)
#include "FullScreenViewerTest.moc"
