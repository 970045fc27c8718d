#include "editor/EditorFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QSpinBox>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// The editor on a scheme writing into an existing folder.
SchemeEditorDialog& openOn(EditorFixture& f, Scheme& scheme) {
    std::filesystem::create_directories(f.outputFolder);
    scheme.name = "Enhanced";
    scheme.outputFolder = f.outputFolder;
    return f.open(EditorMode::EditScheme, &scheme);
}

void check(EditorFixture& f, const char* name) {
    f.child<QCheckBox>(name)->setChecked(true);
}

}  // namespace

class EnhancementPageTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void rotationAndFlipChoices() {
        struct Case {
            const char* what;
            std::vector<const char*> checks;
            std::vector<const char*> buttons;
            std::int32_t rotateEnabled;
            float rotateAngle;
            std::int32_t flipEnabled;
            std::int32_t flipDirection;
        };
        const Case cases[] = {
            {"-90", {"rotateEnabled"}, {"rotate90", "rotate270"}, 1, 270.0f, 0, 2},
            {"180", {"rotateEnabled"}, {"rotate180"}, 1, 180.0f, 0, 2},
            {"rotation without a button", {"rotateEnabled"}, {}, 1, 0.0f, 0, 2},
            {"flip without a direction", {"flipEnabled"}, {}, 0, 0.0f, 0, 2},
            {"vertical flip", {"flipEnabled"}, {"flipVertical"}, 0, 0.0f, 1, 1},
            // A button chosen and then switched off leaves nothing.
            {"switched off again", {}, {}, 0, 0.0f, 0, 2},
        };
        for (const Case& c : cases) {
            EditorFixture f;
            Scheme scheme;
            openOn(f, scheme);
            check(f, "enhanceEnabled");
            for (const char* name : c.checks) check(f, name);
            for (const char* name : c.buttons) {
                QVERIFY2(f.widget(name)->isEnabled(), name);
                QVERIFY(f.renders([&] { f.click(name); }));
            }
            if (c.checks.empty()) {
                check(f, "rotateEnabled");
                f.click("rotate90");
                f.child<QCheckBox>("rotateEnabled")->setChecked(false);
            }
            const Scheme out = saved(f);
            QVERIFY2(out.rotateEnabled == c.rotateEnabled, c.what);
            QVERIFY2(out.rotateAngle == c.rotateAngle, c.what);
            QVERIFY2(out.flipEnabled == c.flipEnabled, c.what);
            QVERIFY2(out.flipDirection == c.flipDirection, c.what);
        }
    }

    void loadedSchemeShowsItsChoices() {
        EditorFixture f;
        Scheme scheme;
        scheme.enhanceEnabled = 1;
        scheme.rotateEnabled = 1;
        scheme.rotateAngle = 90.0f;
        scheme.flipEnabled = 1;
        scheme.flipDirection = stored(FlipDirection::Horizontal);
        scheme.brightnessEnabled = 1;
        scheme.brightnessValue = 130;  // beyond the slider's range
        scheme.sharpenValue = 4;
        openOn(f, scheme);
        QCOMPARE(f.child<QLabel>("enhanceHint")->text(),
                 QString("提示：图像增强处理可能较慢，请勿频繁\n操作，或取消左下角的实时浏览。"));
        QCOMPARE(f.child<QSlider>("sharpenSlider")->value(), 4);
        QVERIFY(!f.widget("sharpenSlider")->isEnabled());
        // The stored choices stand, but no button shows as pressed.
        for (const char* name : {"rotate90", "rotate180", "rotate270", "flipHorizontal"}) {
            auto* button = f.child<QAbstractButton>(name);
            QVERIFY2(button->isEnabled() && !button->isChecked(), name);
            QVERIFY2(!button->icon().isNull(), name);
        }
        // Switched off, the picture buttons lose their pictures.
        f.child<QCheckBox>("enhanceEnabled")->setChecked(false);
        QVERIFY(f.child<QAbstractButton>("rotate90")->icon().isNull());
        QVERIFY(!f.widget("rotate90")->isEnabled());
        f.child<QCheckBox>("enhanceEnabled")->setChecked(true);
        const Scheme out = saved(f);
        QCOMPARE(out.rotateAngle, 90.0f);
        QCOMPARE(out.flipEnabled, 1);
        QCOMPARE(out.flipDirection, 0);
        QCOMPARE(out.brightnessValue, 130);
        QCOMPARE(out.sharpenValue, 4);
    }

    void amountsAndChannels() {
        EditorFixture f;
        Scheme scheme;
        openOn(f, scheme);
        check(f, "enhanceEnabled");
        auto* slider = f.child<QSlider>("brightnessSlider");
        auto* value = f.child<QSpinBox>("brightnessValue");
        auto* channel = f.child<QComboBox>("brightnessChannel");
        QVERIFY(!slider->isEnabled() && value->isReadOnly());
        QVERIFY(f.renders([&] { check(f, "brightnessEnabled"); }));
        QVERIFY(slider->isEnabled() && !value->isReadOnly() && channel->isEnabled());
        QCOMPARE(itemsOf(channel), (QStringList{"白", "红", "绿", "蓝", "黄", "紫", "青"}));
        // Read out by what it is for, not by its current entry.
        QVERIFY(channel->toolTip().endsWith("的颜色通道"));
        QCOMPARE(channel->accessibleName(), channel->toolTip());

        // The slider and the value follow each other; a new value renders.
        QVERIFY(f.renders([&] { slider->setValue(70); }));
        QCOMPARE(value->value(), 70);
        QVERIFY(f.renders([&] { value->setValue(20); }));
        QCOMPARE(slider->value(), 20);
        QVERIFY(f.renders([&] { channel->setCurrentIndex(4); }));
        QVERIFY(f.renders([&] { check(f, "redEyeEnabled"); }));
        const Scheme out = saved(f);
        QCOMPARE(out.brightnessEnabled, 1);
        QCOMPARE(out.brightnessValue, 20);
        QCOMPARE(out.brightnessChannel, stored(ChannelChoice::Yellow));
        QCOMPARE(out.brightnessRed, 1);
        QCOMPARE(out.brightnessGreen, 1);
        QCOMPARE(out.brightnessBlue, 0);
        QCOMPARE(out.redEyeEnabled, 1);
    }

    void clicksMapOntoTheTurnedPicture() {
        EditorFixture f(400, 200);
        Scheme scheme;
        scheme.textEnabled = 1;
        SchemeEditorDialog& dialog = openOn(f, scheme);
        QVERIFY(f.waitForPreview());
        check(f, "enhanceEnabled");
        check(f, "rotateEnabled");
        QVERIFY(f.renders([&] { f.click("rotate90"); }));
        PictureBox* box = f.previewBox();
        const QSize turned = box->picture().size();
        QVERIFY2(turned.height() > turned.width(), qPrintable(QString::number(turned.width())));

        // Near the right edge of the turned picture, half way down.
        f.tabs()->setCurrentIndex(2);
        f.click("pickTextPosition");
        const QRect inside = box->contentsRect();
        const QPoint nearRight(inside.center().x() + turned.width() / 2 - 3, inside.center().y());
        QVERIFY(f.renders([&] { QTest::mouseClick(box, Qt::LeftButton, {}, nearRight); }));
        const double x = f.child<QLineEdit>("textPosX")->text().toDouble();
        const double y = f.child<QLineEdit>("textPosY")->text().toDouble();
        QVERIFY2(x > 90 && x < 100, qPrintable(QString::number(x)));
        QVERIFY2(std::abs(y - 50) < 1, qPrintable(QString::number(y)));
        QCOMPARE(dialog.positionPick(), PositionPick::None);
    }

    void effectsPassThrough() {
        struct Case {
            std::int32_t enabled;
            std::int32_t storedType;
            std::int32_t savedType;
        };
        const Case cases[] = {{1, 0, 0}, {0, 1, 1}, {1, 2, 0}, {1, 10, 0}, {0, 11, 11}};
        for (const Case& c : cases) {
            EditorFixture f;
            Scheme scheme;
            scheme.effectEnabled = c.enabled;
            scheme.effectType = c.storedType;
            openOn(f, scheme);
            const Scheme out = saved(f);
            QCOMPARE(out.effectEnabled, c.enabled);
            QCOMPARE(out.effectType, c.savedType);
        }
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        f.open(EditorMode::NewScheme);
        QStringList effects;
        auto* list = f.child<QComboBox>("effectType");
        for (int i = 0; i < list->count(); ++i) effects << list->itemText(i);
        QCOMPARE(effects, (QStringList{"浮雕化", "雕刻化", "百叶窗", "龙卷风", "飓风", "毛毛雨",
                                       "暴雨", "玻璃水帘", "黑洞", "底片", "波纹"}));
        f.child<QLineEdit>("schemeName")->setText("New");
        f.child<QLineEdit>("outputFolder")->setText(QString::fromStdString(f.outputFolder));
        const Scheme out = saved(f);
        QCOMPARE(out.effectEnabled, 0);
        QCOMPARE(out.effectType, 0);
    }
};

VARNETTO_QTEST_MAIN(EnhancementPageTest)
#include "EnhancementPageTest.moc"
