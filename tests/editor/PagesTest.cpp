#include "common/OutputChoices.h"
#include "editor/EditorFixture.h"
#include "schemes/ReservedSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>

using namespace varnetto;
using namespace varnetto::testing;

class PagesTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void renameFieldsFollowTheNamingRule() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.renamePrefix = "img";
        scheme.renameStartNumber = 7;
        f.open(EditorMode::EditScheme, &scheme);
        auto* prefix = f.child<QLineEdit>("renamePrefix");
        auto* start = f.child<QLineEdit>("renameStartNumber");
        auto* naming = f.child<QComboBox>("namingMode");
        QCOMPARE(itemsOf(naming), (QStringList{"原文件名称", "重命名"}));
        QVERIFY(!prefix->isEnabled() && prefix->isReadOnly());
        QVERIFY(!start->isEnabled() && start->isReadOnly());
        naming->setCurrentIndex(1);
        QVERIFY(prefix->isEnabled() && !prefix->isReadOnly());
        QVERIFY(start->isEnabled() && !start->isReadOnly());
        naming->setCurrentIndex(0);
        // Kept while they cannot be edited.
        const Scheme out = saved(f);
        QCOMPARE(out.renamePrefix, std::string("img"));
        QCOMPARE(out.renameStartNumber, 7);
    }

    void inheritCopiesAnotherScheme() {
        SchemeStore store("/nonexistent");
        Scheme edited = schemeNamed("Edited", "/tmp/a");
        edited.resizeEnabled = 1;
        edited.jpegQuality = 33;
        Scheme other = schemeNamed("Other", "/tmp/b");
        other.jpegQuality = 77;
        other.convertEnabled = 1;
        other.reservedInts[1] = stored(MetadataHandling::RemoveAll);
        store.append(other);
        store.append(edited);
        Scheme* inStore = store.findByName("Edited");

        // Editing: the scheme itself is not offered; "无" goes back to it.
        EditorFixture f;
        f.open(EditorMode::EditScheme, inStore, &store);
        auto* list = f.child<QComboBox>("inheritFrom");
        QCOMPARE(itemsOf(list), (QStringList{"无", "Other"}));
        auto* name = f.child<QLineEdit>("schemeName");
        auto* quality = f.child<QSpinBox>("jpegQuality");
        name->setText("Typed");
        chooseItem(list, 1);
        QCOMPARE(quality->value(), 77);
        QVERIFY(f.child<QCheckBox>("convertEnabled")->isChecked());
        // A setting with a control of its own is inherited like the others.
        QCOMPARE(f.child<QComboBox>("metadata")->currentIndex(), 2);
        QCOMPARE(f.child<QLineEdit>("outputFolder")->text(), QString("/tmp/b"));
        QCOMPARE(name->text(), QString("Typed"));
        chooseItem(list, 0);
        QCOMPARE(quality->value(), 33);
        QVERIFY(!f.child<QCheckBox>("convertEnabled")->isChecked());
        QCOMPARE(name->text(), QString("Typed"));
        // "无" chosen again, while it is shown, reverts what was changed since.
        quality->setValue(12);
        chooseItem(list, 0);
        QCOMPARE(quality->value(), 33);

        // A new scheme: "无" is the defaults, name included.
        EditorFixture g;
        g.open(EditorMode::NewScheme, nullptr, &store);
        auto* newList = g.child<QComboBox>("inheritFrom");
        QCOMPARE(itemsOf(newList), (QStringList{"无", "Other", "Edited"}));
        g.child<QLineEdit>("schemeName")->setText("Mine");
        chooseItem(newList, 2);
        QCOMPARE(g.child<QSpinBox>("jpegQuality")->value(), 33);
        QCOMPARE(g.child<QLineEdit>("schemeName")->text(), QString("Mine"));
        chooseItem(newList, 0);
        QCOMPARE(g.child<QSpinBox>("jpegQuality")->value(), 90);
        QCOMPARE(g.child<QLineEdit>("schemeName")->text(), QString());
        QCOMPARE(g.child<QLineEdit>("outputFolder")->text(), QString());
    }

    void resizeModesWithoutAChoiceKeepTheirMode() {
        struct Case {
            ResizeMode mode;
            const char* checkedRadio;  // "" when none
            std::int32_t savedValue;
        };
        const Case cases[] = {
            {ResizeMode::Percent, "resizePercentMode", 64},
            // The old file-size mode changes nothing and has no radio: kept.
            {ResizeMode::FileSize, "", 64},
            {ResizeMode::Fixed, "", 100},
        };
        for (const Case& c : cases) {
            EditorFixture f;
            std::filesystem::create_directories(f.outputFolder);
            Scheme scheme = schemeNamed("A", f.outputFolder);
            scheme.resizeEnabled = 1;
            scheme.resizeMode = stored(c.mode);
            scheme.resizeValue = 64;
            scheme.fixedWidth = 321;
            scheme.fixedHeight = 123;
            scheme.resampleFilter = stored(ResampleFilter::Mitchell);
            f.open(EditorMode::EditScheme, &scheme);
            for (const char* radio : {"resizePercentMode", "resizeWidthMode", "resizeHeightMode"}) {
                QCOMPARE(f.child<QRadioButton>(radio)->isChecked(),
                         std::string(radio) == c.checkedRadio);
            }
            // The limit is a setting of its own, off in a scheme without it.
            QVERIFY(f.widget("fileSizeLimited")->isEnabled());
            QVERIFY(!f.child<QCheckBox>("fileSizeLimited")->isChecked());
            QVERIFY(!f.widget("resizeIncludesBorder")->isEnabled());
            QCOMPARE(f.child<QComboBox>("resampleFilter")->currentText(), QString("Mitchell"));
            const Scheme out = saved(f);
            QCOMPARE(out.resizeMode, stored(c.mode));
            QCOMPARE(out.resizeValue, c.savedValue);
            QCOMPARE(out.fixedWidth, 321);
            QCOMPARE(out.fixedHeight, 123);
        }
    }

    void resizeControlsFollowTheMasterAndTheMode() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.resizeMode = stored(ResizeMode::Height);
        scheme.resizeValue = 480;
        f.open(EditorMode::EditScheme, &scheme);
        auto* height = f.child<QLineEdit>("resizeHeight");
        auto* width = f.child<QLineEdit>("resizeWidth");
        // Unchecked: read-only, yet still read.
        QVERIFY(!height->isEnabled() && height->isReadOnly());
        // Quality and compression apply to every file written.
        QVERIFY(f.widget("jpegQuality")->isEnabled() && f.widget("tiffCompression")->isEnabled());
        f.child<QCheckBox>("resizeEnabled")->setChecked(true);
        QVERIFY(height->isEnabled() && !height->isReadOnly());
        QVERIFY(!width->isEnabled() && width->isReadOnly());
        QVERIFY(f.widget("resizeWidthMode")->isEnabled());
        f.child<QRadioButton>("resizeWidthMode")->setChecked(true);
        QVERIFY(width->isEnabled() && !height->isEnabled());
        QCOMPARE(width->text(), QString("800"));
        f.child<QRadioButton>("resizeHeightMode")->setChecked(true);
        f.child<QCheckBox>("resizeEnabled")->setChecked(false);
        const Scheme out = saved(f);
        QCOMPARE(out.resizeEnabled, 0);
        QCOMPARE(out.resizeMode, stored(ResizeMode::Height));
        QCOMPARE(out.resizeValue, 480);
    }

    void jpegQualityMirror() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.resizeEnabled = 1;
        scheme.jpegQuality = 85;
        f.open(EditorMode::EditScheme, &scheme);
        auto* slider = f.child<QSlider>("jpegQualitySlider");
        auto* spin = f.child<QSpinBox>("jpegQuality");
        QCOMPARE(slider->value(), 85);
        QCOMPARE(slider->minimum(), 1);
        QCOMPARE(slider->maximum(), 100);
        slider->setValue(40);
        QCOMPARE(spin->value(), 40);
        spin->setValue(70);
        QCOMPARE(slider->value(), 70);
        spin->clear();
        QTest::keyClicks(spin, "65");
        QCOMPARE(slider->value(), 65);
        QCOMPARE(saved(f).jpegQuality, 65);
    }

    void conversionPage() {
        EditorFixture f(400, 200);
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme;
        f.open(EditorMode::NewScheme, &scheme);
        auto* colors = f.child<QComboBox>("colorType");
        auto* formats = f.child<QComboBox>("outputFormat");
        QCOMPARE(itemsOf(colors), (QStringList{"24 位真彩色", "256 色", "256 级灰阶", "16 色",
                                               "16 级灰阶", "8 位单色", "黑白", "无色"}));
        QCOMPARE(itemsOf(formats), (QStringList{"BMP", "GIF", "JPG/JPEG", "PCX", "PNG", "WBMP",
                                                "PSD", "TIF/TIFF", "PDF", "WebP", "AVIF"}));
        QCOMPARE(colors->currentText(), QString("24 位真彩色"));
        QCOMPARE(formats->currentText(), QString("JPG/JPEG"));

        // The master alone enables only the two sub-boxes.
        QVERIFY(f.renders([&] { f.child<QCheckBox>("convertEnabled")->setChecked(true); }));
        QVERIFY(f.widget("colorConvertEnabled")->isEnabled());
        QVERIFY(f.widget("formatConvertEnabled")->isEnabled());
        QVERIFY(!colors->isEnabled() && !formats->isEnabled());

        // A colour type renders the preview; a format does not.
        QVERIFY(f.renders([&] { f.child<QCheckBox>("colorConvertEnabled")->setChecked(true); }));
        QVERIFY(colors->isEnabled());
        QVERIFY(f.renders([&] { colors->setCurrentIndex(2); }));
        const QColor grey = f.previewBox()->picture().pixelColor(200, 50);
        QCOMPARE(grey.red(), grey.blue());
        QSignalSpy shown(f.dialog.get(), &SchemeEditorDialog::previewShown);
        f.child<QCheckBox>("formatConvertEnabled")->setChecked(true);
        QVERIFY(formats->isEnabled());
        formats->setCurrentIndex(8);
        QTest::qWait(300);
        QCOMPARE(shown.count(), 0);

        // The colour profile shows in the preview, metadata only in files;
        // both are usable whatever the conversion switches say.
        auto* profile = f.child<QComboBox>("colorProfile");
        auto* metadata = f.child<QComboBox>("metadata");
        QCOMPARE(itemsOf(profile), (QStringList{"保留图像的配置文件", "转换为 sRGB"}));
        QCOMPARE(itemsOf(metadata),
                 (QStringList{"全部保留", "去除位置和个人信息", "只保留颜色配置文件"}));
        QCOMPARE(profile->accessibleName(), QString("颜色配置文件："));
        QCOMPARE(metadata->accessibleName(), QString("元数据："));
        f.child<QCheckBox>("convertEnabled")->setChecked(false);
        QVERIFY(profile->isEnabled() && metadata->isEnabled());
        QVERIFY(f.renders([&] { profile->setCurrentIndex(1); }));
        const qsizetype rendered = shown.count();
        metadata->setCurrentIndex(1);
        QTest::qWait(300);
        QCOMPARE(shown.count(), rendered);
        f.child<QCheckBox>("convertEnabled")->setChecked(true);

        f.child<QLineEdit>("schemeName")->setText("PDF");
        f.child<QLineEdit>("outputFolder")->setText(QString::fromStdString(f.outputFolder));
        const Scheme out = saved(f);
        QCOMPARE(out.reservedInts[0], stored(ColorHandling::ConvertToSrgb));
        QCOMPARE(out.reservedInts[1], stored(MetadataHandling::RemovePersonal));
        QCOMPARE(out.convertEnabled, 1);
        QCOMPARE(out.colorConvertEnabled, 1);
        QCOMPARE(out.colorType, stored(ColorType::Gray256));
        QCOMPARE(out.formatConvertEnabled, 1);
        QCOMPARE(out.outputFormat, stored(OutputFormat::Pdf));
    }

    // The shares and the size limit as typed, stored per ten thousand and in
    // KB; the limit goes with a pixel mode, and the prediction under the
    // preview follows the settings.
    void sizedDecorationsAndTheSizeLimitAreStored() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.textEnabled = scheme.stampEnabled = 1;
        scheme.resizeEnabled = 1;
        scheme.resizeMode = stored(ResizeMode::Width);
        scheme.resizeValue = 320;
        scheme.convertEnabled = scheme.formatConvertEnabled = 1;
        scheme.outputFormat = stored(OutputFormat::Jpeg);
        f.open(EditorMode::EditScheme, &scheme);
        QSignalSpy predicted(f.dialog.get(), &SchemeEditorDialog::predictionShown);
        struct Case {
            const char* box;
            const char* edit;
            const char* typed;
            ReservedSettingId setting;
            std::int32_t stored;
        };
        const Case cases[] = {
            {"textScaled", "textShare", "12.5", ReservedSettingId::CaptionHeight, 1250},
            {"stampScaled", "stampShare", "33.33", ReservedSettingId::StampWidth, 3333},
            {"fileSizeLimited", "fileSizeLimit", "150", ReservedSettingId::FileSizeLimit, 150},
        };
        for (const Case& c : cases) {
            auto* edit = f.child<QLineEdit>(c.edit);
            QVERIFY(!edit->isEnabled());
            f.child<QCheckBox>(c.box)->setChecked(true);
            QVERIFY(edit->isEnabled());
            QVERIFY(!edit->accessibleName().isEmpty());
            edit->setText(c.typed);
        }
        QVERIFY(f.child<QRadioButton>("resizeWidthMode")->isChecked());
        const Scheme out = saved(f);
        for (const Case& c : cases) QCOMPARE(reservedValue(out, c.setting), c.stored);
        QCOMPARE(out.resizeMode, stored(ResizeMode::Width));
        QCOMPARE(out.resizeValue, 320);

        // The picture is 400 x 300, made 320 wide: 320 x 240, named as the
        // source, a JPEG whose size is measured.
        QVERIFY(predicted.count() > 0 || predicted.wait(20000));
        const QString said = f.child<QLabel>("predictedResult")->text();
        QVERIFY2(said.startsWith("输出：320 × 240 像素，"), qPrintable(said));
        QVERIFY2(said.contains("picture.jpg，约 ") && said.contains(" KB"), qPrintable(said));
        predicted.clear();
        // Typing a width renders nothing; the next change shows it.
        f.child<QLineEdit>("resizeWidth")->setText("160");
        f.child<QCheckBox>("textEnabled")->setChecked(false);
        QVERIFY(predicted.wait(20000));
        QVERIFY2(f.child<QLabel>("predictedResult")->text().startsWith("输出：160 × 120 像素"),
                 qPrintable(f.child<QLabel>("predictedResult")->text()));

        // Unchecked, the settings are 0 again.
        for (const Case& c : cases) f.child<QCheckBox>(c.box)->setChecked(false);
        const Scheme off = saved(f);
        for (const Case& c : cases) QCOMPARE(reservedValue(off, c.setting), 0);
    }
};

VARNETTO_QTEST_MAIN(PagesTest)
#include "PagesTest.moc"
