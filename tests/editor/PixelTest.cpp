#include "editor/EditorFixture.h"
#include "imaging/FitToBox.h"
#include "uikit/QtImage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

void selectItem(EditorFixture& f, const char* list, const char* item) {
    auto* combo = f.child<QComboBox>(list);
    const int index = combo->findText(QString::fromUtf8(item));
    if (index < 0) qFatal("no %s in %s", item, list);
    combo->setCurrentIndex(index);
}

// Clicks the preview at fractions of the picture it shows.
void clickPreviewAt(EditorFixture& f, double x, double y) {
    PictureBox* box = f.previewBox();
    const QRect inside = box->contentsRect();
    const QSize picture = box->picture().size();
    const QPoint at(inside.left() + (inside.width() - picture.width()) / 2 +
                        static_cast<int>(picture.width() * x),
                    inside.top() + (inside.height() - picture.height()) / 2 +
                        static_cast<int>(picture.height() * y));
    QTest::mouseClick(box, Qt::LeftButton, {}, at);
}

// The largest difference between two pictures of one size, or -1 when
// their sizes or bands differ.
double largestDifference(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height() || a.bands() != b.bands()) return -1;
    return (a.cast(VIPS_FORMAT_INT) - b.cast(VIPS_FORMAT_INT)).abs().max();
}

}  // namespace

class PixelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    // A scheme set up through the pages draws in the editor exactly what
    // the command-line tool writes for it.
    void editorDrawsWhatTheToolWrites() {
        EditorFixture f(640, 400);
        f.appFolder = VARNETTO_BIN_DIR;  // the bundled borders and stamps
        std::filesystem::create_directories(f.outputFolder);
        f.open(EditorMode::NewScheme);
        f.child<QLineEdit>("schemeName")->setText("Pixel");
        f.child<QLineEdit>("outputFolder")->setText(QString::fromStdString(f.outputFolder));

        // Turned a quarter, so the positions are picked on the turned picture.
        f.tabs()->setCurrentIndex(5);
        f.child<QCheckBox>("enhanceEnabled")->setChecked(true);
        f.child<QCheckBox>("rotateEnabled")->setChecked(true);
        QVERIFY(f.renders([&] { f.click("rotate90"); }));

        f.tabs()->setCurrentIndex(2);
        f.child<QCheckBox>("textEnabled")->setChecked(true);
        f.child<QPlainTextEdit>("textContent")->setPlainText("样张 Proof");
        QFont font("Liberation Sans");
        font.setPointSize(28);
        font.setWeight(QFont::Bold);
        f.dialogs.font = font;
        f.click("chooseFont");
        f.dialogs.color = QColor(250, 220, 40);
        f.click("chooseColor");
        f.click("pickTextPosition");
        QVERIFY(f.renders([&] { clickPreviewAt(f, 0.2, 0.7); }));

        f.tabs()->setCurrentIndex(4);
        f.child<QCheckBox>("stampEnabled")->setChecked(true);
        selectItem(f, "stampName", "Seal");
        f.click("pickStampPosition");
        QVERIFY(f.renders([&] { clickPreviewAt(f, 0.55, 0.3); }));

        f.tabs()->setCurrentIndex(3);
        f.child<QCheckBox>("borderEnabled")->setChecked(true);
        QVERIFY(f.renders([&] { selectItem(f, "borderName", "Wood"); }));
        const QImage preview = f.previewBox()->picture();
        f.click("fullScreenPreview");
        QVERIFY(f.viewed && f.viewed->bitmap);
        const Bitmap fullScreen = *f.viewed->bitmap;
        QVERIFY(f.dialogs.messages.isEmpty());

        f.click("saveScheme");
        QCOMPARE(f.dialog->result(), 1);
        const Scheme scheme = f.dialog->savedScheme();
        QCOMPARE(scheme.rotateAngle, 90.0f);
        QCOMPARE(scheme.stampFile, std::string("Seal.bmp"));
        QCOMPARE(scheme.borderName, std::string("Wood"));
        QVERIFY(std::abs(scheme.textPosX - 0.2f) < 0.02f &&
                std::abs(scheme.textPosY - 0.7f) < 0.02f);

        // The tool runs the saved scheme from a store of its own.
        const std::string storePath = f.dir.str("store.bis");
        writeBytes(storePath, "");
        SchemeStore store(f.dir.str());
        store.setPath(storePath);
        store.append(scheme);
        SilentReporter silent;
        store.save(silent);
        QProcess cli;
        cli.start(
            VARNETTO_BIN_DIR "/varnetto-cli",
            {"run", "--scheme", "Pixel", "--store", QString::fromStdString(storePath),
             "--app-folder", VARNETTO_BIN_DIR, "--jobs", "1", QString::fromStdString(f.picture)});
        QVERIFY(cli.waitForFinished(60000));
        QVERIFY2(cli.exitCode() == 0, cli.readAllStandardError().constData());
        CImageBox control;
        control.LoadFromFile(f.outputFolder + "/picture.png");
        const Bitmap written = control.GetBitmap();
        control.Clear();

        // Turned, and larger by the border around it.
        QVERIFY(written.width() > 400 && written.height() > 640);
        QCOMPARE(largestDifference(fullScreen, written), 0.0);
        // The preview box shows that picture fitted to it. (Fitted from the
        // pipeline's picture, as the preview is: fitting the decoded file
        // rounds a few pixels the other way.)
        const QSize box = f.previewBox()->contentsSize();
        const QImage fitted = toQImage(FitToBox(control, fullScreen, box.width(), box.height()));
        QCOMPARE(preview.size(), fitted.size());
        QVERIFY(preview == fitted);
    }
};

VARNETTO_QTEST_MAIN(PixelTest)
#include "PixelTest.moc"
