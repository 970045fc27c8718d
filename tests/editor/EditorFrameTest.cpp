#include "editor/EditorFixture.h"
#include "uikit/AccessibleNames.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

QPoint centreOf(const PictureBox* box) {
    return box->contentsRect().center();
}

}  // namespace

class EditorFrameTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void modesSetTitleAndButtons() {
        struct Case {
            EditorMode mode;
            const char* title;
            bool saveEnabled;
            const char* cancel;
        };
        const Case cases[] = {
            {EditorMode::NewScheme, "  编辑处理参数方案", true, "取消"},
            {EditorMode::EditScheme, "  编辑处理参数方案", true, "取消"},
            {EditorMode::SingleImage, "  处理单张图像", false, "关闭"},
        };
        for (const Case& c : cases) {
            EditorFixture f;
            Scheme scheme = schemeNamed("A", f.outputFolder);
            SchemeEditorDialog& dialog = f.open(c.mode, &scheme);
            QCOMPARE(dialog.windowTitle(), QString::fromUtf8(c.title));
            QCOMPARE(f.widget("saveScheme")->isEnabled(), c.saveEnabled);
            QCOMPARE(f.child<QPushButton>("cancel")->text(), QString::fromUtf8(c.cancel));
            QStringList tabs;
            for (int i = 0; i < f.tabs()->count(); ++i) tabs << f.tabs()->tabText(i);
            QCOMPARE(tabs, (QStringList{"常规设置", "调整大小", "添加文字", "添加边框", "添加印章",
                                        "图像增强", "图像转换"}));
            QVERIFY(f.child<QCheckBox>("livePreview")->isChecked());
            QCOMPARE(controlsWithoutAccessibleName(&dialog), QStringList());
            for (int page = 0; page < SchemeEditorDialog::kPageCount; ++page) {
                QVERIFY2(controlsWithoutAccessibleName(dialog.page(page)).isEmpty(),
                         qPrintable(dialog.page(page)->objectName()));
            }
            f.click("cancel");
            QCOMPARE(dialog.result(), 2);
        }
    }

    void previewFollowsTheSettings() {
        EditorFixture f;
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.resizeEnabled = 1;
        scheme.resizeMode = stored(ResizeMode::Width);
        scheme.resizeValue = 100;
        // A new scheme shows the picture as it is until the first change.
        f.open(EditorMode::NewScheme, &scheme);
        QCOMPARE(f.previewBox()->picture(), f.originalBox()->picture());
        QCOMPARE(f.previewBox()->picture().size(), QSize(220, 165));

        // Editing renders the loaded scheme off the UI thread. (A picture of
        // the box's own shape would be enlarged to fill it.)
        EditorFixture g(400, 200);
        g.open(EditorMode::EditScheme, &scheme);
        QVERIFY(g.waitForPreview());
        QCOMPARE(g.previewBox()->picture().width(), 100);

        // Several quick changes: the preview ends with the newest.
        auto* master = g.child<QCheckBox>("resizeEnabled");
        QVERIFY(g.renders([&] {
            master->setChecked(false);
            master->setChecked(true);
            master->setChecked(false);
        }));
        QCOMPARE(g.previewBox()->picture().size(), QSize(220, 110));
        QTest::qWait(200);
        QCOMPARE(g.previewBox()->picture().size(), QSize(220, 110));

        // Without live preview the box shows the picture as it is, while the
        // full-screen preview still gets the processed one.
        master->setChecked(true);
        QVERIFY(g.renders([&] { g.child<QCheckBox>("livePreview")->setChecked(false); }));
        QCOMPARE(g.previewBox()->picture(), g.originalBox()->picture());
        g.click("fullScreenPreview");
        QVERIFY(g.viewed.has_value());
        QCOMPARE(int(g.viewed->mode), int(ViewerMode::ShowBitmap));
        QVERIFY(g.viewed->bitmap.has_value());
        QCOMPARE(g.viewed->bitmap->width(), 100);
        QCOMPARE(g.viewed->bitmap->height(), 50);
        QVERIFY(g.dialogs.messages.isEmpty());
    }

    void closingDuringARenderIsSafe() {
        EditorFixture f(2400, 1800);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.convertEnabled = scheme.colorConvertEnabled = 1;
        scheme.colorType = stored(ColorType::Palette256);
        for (int i = 0; i < 3; ++i) {
            f.open(EditorMode::EditScheme, &scheme);
            f.child<QCheckBox>("resizeEnabled")->setChecked(i % 2 == 0);
            f.dialog.reset();
        }
        QTest::qWait(100);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void positionPick() {
        // A 2:1 picture leaves bands above and below it in the 4:3 box.
        EditorFixture f(400, 200);
        SchemeEditorDialog& dialog = f.open(EditorMode::NewScheme);
        PictureBox* box = f.previewBox();
        QCOMPARE(box->picture().size(), QSize(220, 110));
        std::vector<QPointF> placed;
        auto place = [&](double x, double y) { placed.emplace_back(x, y); };

        // Nothing armed: a click does nothing.
        QTest::mouseClick(box, Qt::LeftButton, {}, centreOf(box));
        QVERIFY(placed.empty());
        QVERIFY(f.dialogs.messages.isEmpty());

        // Outside the picture: refused, and the pick stays armed.
        dialog.armPositionPick(PositionPick::TextPosition, place);
        QTest::mouseClick(box, Qt::LeftButton, {},
                          QPoint(centreOf(box).x(), box->contentsRect().top() + 5));
        QCOMPARE(f.dialogs.messages, QStringList{"请点击预览图像范围内！"});
        QCOMPARE(dialog.positionPick(), PositionPick::TextPosition);
        QTest::mouseClick(box, Qt::LeftButton, {}, centreOf(box));
        QCOMPARE(placed.size(), size_t(1));
        QVERIFY(std::abs(placed[0].x() - 0.5) < 0.01 && std::abs(placed[0].y() - 0.5) < 0.01);
        QCOMPARE(dialog.positionPick(), PositionPick::None);

        // A tab change disarms it.
        dialog.armPositionPick(PositionPick::StampPosition, place);
        f.tabs()->setCurrentIndex(1);
        QCOMPARE(dialog.positionPick(), PositionPick::None);
        QTest::mouseClick(box, Qt::LeftButton, {}, centreOf(box));
        QCOMPARE(placed.size(), size_t(1));
    }

    void unreadablePictureIsReported() {
        EditorFixture f;
        writeBytes(f.picture, "not a picture");
        Scheme scheme = schemeNamed("A", f.outputFolder);
        f.open(EditorMode::EditScheme, &scheme);
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages[0].contains(QString::fromStdString(f.picture)));
        QVERIFY(f.previewBox()->picture().isNull());
        f.click("fullScreenPreview");
        QVERIFY(!f.viewed.has_value());
    }
};

VARNETTO_QTEST_MAIN(EditorFrameTest)
#include "EditorFrameTest.moc"
