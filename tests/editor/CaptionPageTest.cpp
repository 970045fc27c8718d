#include "editor/CaptionPage.h"
#include "editor/EditorFixture.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// The editor on scheme (or a new one), named and writing into an existing
// folder, on the caption page.
SchemeEditorDialog& openCaption(EditorFixture& f, Scheme* scheme = nullptr) {
    std::filesystem::create_directories(f.outputFolder);
    SchemeEditorDialog& dialog =
        f.open(scheme ? EditorMode::EditScheme : EditorMode::NewScheme, scheme);
    f.child<QLineEdit>("schemeName")->setText("Caption");
    f.child<QLineEdit>("outputFolder")->setText(QString::fromStdString(f.outputFolder));
    f.tabs()->setCurrentIndex(2);
    return dialog;
}

void retype(QLineEdit* edit, const char* typed) {
    edit->clear();
    QTest::keyClicks(edit, typed);
}

// The bounding box of the sample's ink (pixels unlike its background).
QRect inkOf(QLabel* sample) {
    const QImage image = sample->grab().toImage();
    const QRect inside = sample->contentsRect().adjusted(sample->margin(), sample->margin(),
                                                         -sample->margin(), -sample->margin());
    const QColor ground = sample->palette().color(QPalette::Window);
    QRect ink;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - ground.red()) + std::abs(c.green() - ground.green()) > 60)
                ink |= QRect(x, y, 1, 1);
        }
    }
    return ink;
}

}  // namespace

class CaptionPageTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void defaultsAndTypedPositions() {
        EditorFixture f;
        SchemeEditorDialog& dialog = openCaption(f);
        auto* text = f.child<QPlainTextEdit>("textContent");
        auto* x = f.child<QLineEdit>("textPosX");
        auto* y = f.child<QLineEdit>("textPosY");
        auto* sample = f.child<QLabel>("textSample");
        QCOMPARE(text->toPlainText(), QString("Processed By Varnetto"));
        QCOMPARE(sample->text(), QString("Processed By Varnetto"));
        QCOMPARE(x->text(), QString("0.00"));
        QCOMPARE(y->text(), QString("0.00"));
        // Until the caption is switched on nothing of it can be typed.
        QVERIFY(text->isReadOnly() && x->isReadOnly() && !f.widget("chooseFont")->isEnabled());
        QVERIFY(f.renders([&] { f.child<QCheckBox>("textEnabled")->setChecked(true); }));
        QVERIFY(!text->isReadOnly() && !x->isReadOnly() && f.widget("chooseFont")->isEnabled());

        // An empty caption shows a stand-in in the sample only.
        text->clear();
        QCOMPARE(sample->text(), QString("Photo By Zeborin\n2005-01-20"));

        // A position beyond 100 is refused and nothing is saved.
        retype(x, "100.5");
        f.tabs()->setCurrentIndex(0);
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.last(), QString("X(％): 请输入 0 到 100 之间的数值。"));
        QCOMPARE(f.tabs()->currentIndex(), 2);
        QCOMPARE(dialog.focusWidget(), x);
        QCOMPARE(dialog.result(), 0);

        retype(x, "100");
        retype(y, "12.5");
        f.click("saveScheme");
        QCOMPARE(dialog.result(), 1);
        const Scheme& out = dialog.savedScheme();
        QCOMPARE(out.textEnabled, 1);
        QCOMPARE(out.textContent, std::string());
        QCOMPARE(out.textPosX, 1.0f);
        QCOMPARE(out.textPosY, 0.125f);
        // Saved without opening the font dialog.
        QCOMPARE(out.fontFace, std::string("Arial"));
        QCOMPARE(out.fontSize, 80);
    }

    void pickedPositionFillsBothEdits() {
        EditorFixture f(400, 300);
        SchemeEditorDialog& dialog = openCaption(f);
        f.child<QCheckBox>("textEnabled")->setChecked(true);
        f.click("pickTextPosition");
        QCOMPARE(dialog.positionPick(), PositionPick::TextPosition);
        PictureBox* box = f.previewBox();
        QVERIFY(f.renders(
            [&] { QTest::mouseClick(box, Qt::LeftButton, {}, box->contentsRect().center()); }));
        // The centre within a pixel, shown with two decimals.
        for (const char* name : {"textPosX", "textPosY"}) {
            const QString shown = f.child<QLineEdit>(name)->text();
            QVERIFY2(QRegularExpression("^\\d+\\.\\d\\d$").match(shown).hasMatch(),
                     qPrintable(shown));
            QVERIFY2(std::abs(shown.toDouble() - 50.0) < 0.7, qPrintable(shown));
        }
        f.click("saveScheme");
        QVERIFY(std::abs(dialog.savedScheme().textPosX - 0.5f) < 0.01f);
        QVERIFY(std::abs(dialog.savedScheme().textPosY - 0.5f) < 0.01f);
    }

    // The sample shows what a batch draws: the characters of any markup, and
    // a large font shrunk into its frame rather than widening the editor.
    void sampleShowsTheCaptionAsABatchDrawsIt() {
        EditorFixture f;
        Scheme scheme = schemeNamed("Sample", f.outputFolder);
        scheme.textEnabled = 1;
        SchemeEditorDialog& dialog = openCaption(f, &scheme);
        auto* text = f.child<QPlainTextEdit>("textContent");
        auto* sample = f.child<QLabel>("textSample");
        text->setPlainText("x");
        const int oneLetter = inkOf(sample).width();
        text->setPlainText("<i>x</i>");
        QVERIFY(inkOf(sample).width() > 4 * oneLetter);

        const int width = dialog.width();
        const int m = sample->margin();
        const QRect inside = sample->contentsRect().adjusted(m, m, -m, -m);
        // An empty caption shows the two-line stand-in.
        for (const char* caption : {"Processed By Varnetto", ""}) {
            text->setPlainText(caption);
            for (const double points : {48.0, 72.0}) {
                QFont large("Liberation Sans");
                large.setPointSizeF(points);
                f.dialogs.font = large;
                QVERIFY(f.renders([&] { f.click("chooseFont"); }));
                QApplication::processEvents();
                QCOMPARE(dialog.width(), width);
                const QRect ink = inkOf(sample);
                QVERIFY2(!ink.isEmpty() && ink.right() < inside.right() &&
                             ink.bottom() < inside.bottom(),
                         qPrintable(QString("%1 pt \"%2\": ink to %3, %4 in %5 x %6")
                                        .arg(points)
                                        .arg(caption)
                                        .arg(ink.right())
                                        .arg(ink.bottom())
                                        .arg(inside.right())
                                        .arg(inside.bottom())));
            }
        }
    }

    void fontAndColourPickers() {
        EditorFixture f;
        Scheme scheme = schemeNamed("Fonts", f.outputFolder);
        scheme.textEnabled = 1;
        scheme.textColor = 0x00336699;
        SchemeEditorDialog& dialog = openCaption(f, &scheme);

        // Cancelling changes nothing; the picker starts with the caption's
        // font, "Arial" before one was chosen.
        f.click("chooseFont");
        QCOMPARE(f.dialogs.fontsOffered.size(), size_t(1));
        QCOMPARE(f.dialogs.fontsOffered[0].family(), QString("Arial"));

        QFont bold("Liberation Serif");
        bold.setPointSizeF(14);
        bold.setWeight(QFont::Bold);
        bold.setItalic(true);
        f.dialogs.font = bold;
        QVERIFY(f.renders([&] { f.click("chooseFont"); }));
        QCOMPARE(f.child<QLabel>("textSample")->font().family(), QString("Liberation Serif"));
        f.dialogs.color = QColor(255, 0, 0);
        QVERIFY(f.renders([&] { f.click("chooseColor"); }));
        QCOMPARE(f.dialogs.colorsOffered.back(), QColor(0x99, 0x66, 0x33));
        QCOMPARE(f.child<QLabel>("textSample")->palette().color(QPalette::WindowText),
                 QColor(255, 0, 0));
        f.click("saveScheme");
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(dialog.savedScheme().fontFace, std::string("Liberation Serif"));
        QCOMPARE(dialog.savedScheme().fontSize, 140);
        QCOMPARE(dialog.savedScheme().fontWeight, 700);
        QCOMPARE(dialog.savedScheme().fontBold, 1);
        QCOMPARE(dialog.savedScheme().fontItalic, 1);
        QCOMPARE(dialog.savedScheme().textColor, 0x000000FF);

        // A semi-bold weight is kept as it is, and is not bold.
        EditorFixture g;
        Scheme semi = schemeNamed("Semi", g.outputFolder);
        semi.textEnabled = 1;
        SchemeEditorDialog& second = openCaption(g, &semi);
        QFont demi("Liberation Sans");
        demi.setWeight(QFont::DemiBold);
        g.dialogs.font = demi;
        g.click("chooseFont");
        g.click("saveScheme");
        QCOMPARE(second.savedScheme().fontWeight, 600);
        QCOMPARE(second.savedScheme().fontBold, 0);
    }

    void characterSetFollowsTheFace() {
        const QStringList cyrillicFaces = QFontDatabase::families(QFontDatabase::Cyrillic);
        QVERIFY2(!cyrillicFaces.isEmpty(), "no installed face writes Cyrillic");
        const QByteArray cyrillicFace = cyrillicFaces.first().toUtf8();
        const char* const cyrillic = cyrillicFace.constData();
        struct Case {
            const char* family;
            std::int32_t kept;
            std::int32_t chosen;
        };
        const Case cases[] = {
            {"Liberation Sans", 134, 0},     // a western face cannot write Chinese
            {"Noto Sans CJK SC", 0, 0},      // a CJK face writes Latin too
            {"Noto Sans CJK JP", 128, 128},  // Japanese kept
            {"Noto Sans CJK SC", 177, 134},  // no Hebrew: its first CJK script
            {cyrillic, 204, 204},           {cyrillic, 1, 1},  // whatever the face writes
        };
        for (const Case& c : cases) {
            QCOMPARE(charsetForFamily(c.family, c.kept), c.chosen);
        }
    }

    void sampleShowsTheFaceInUse() {
        EditorFixture f;
        Scheme scheme = schemeNamed("Faces", f.outputFolder);
        scheme.textEnabled = 1;
        scheme.fontFace = "No Such Face 8431";
        scheme.fontSize = 400;
        scheme.textContent = "一";
        openCaption(f, &scheme);
        auto* note = f.child<QLabel>("fontInUse");
        QVERIFY(note->text().startsWith("字体 No Such Face 8431 未安装，使用 "));
        QVERIFY(!note->text().contains("使用 No Such Face"));

        // "一" is one horizontal stroke: drawn with a CJK face it is wide and
        // flat, as a missing-glyph box it would not be.
        const QRect stroke = inkOf(f.child<QLabel>("textSample"));
        QVERIFY2(stroke.width() > stroke.height() * 4,
                 qPrintable(QString("%1 x %2").arg(stroke.width()).arg(stroke.height())));

        EditorFixture g;
        Scheme installed = schemeNamed("Installed", g.outputFolder);
        installed.fontFace = QFontDatabase::families().first().toStdString();
        openCaption(g, &installed);
        QCOMPARE(g.child<QLabel>("fontInUse")->text(), QString());
    }
};

VARNETTO_QTEST_MAIN(CaptionPageTest)
#include "CaptionPageTest.moc"
