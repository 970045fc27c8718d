#include "editor/EditorFixture.h"
#include "schemes/SchemeJson.h"
#include "schemes/StoreFormat.h"

#include <cmath>
#include <limits>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// Opens every scheme of the store in the editor and saves it unchanged.
void editAndSaveEach(EditorFixture& f, SchemeStore& store) {
    for (Scheme& scheme : store) {
        f.open(EditorMode::EditScheme, &scheme, &store);
        f.click("saveScheme");
        if (f.dialog->result() != 1)
            qWarning("not saved: %s", qPrintable(f.dialogs.messages.join('|')));
    }
}

// Every field away from its new-record value; codes at the edges of their
// lists or past them, amounts outside their ranges.
Scheme unusualScheme(const std::string& folder, bool codesOutsideTheLists) {
    Scheme s;
    s.name = "  名称 with blanks\tand a tab ";
    s.outputFolder = folder;
    s.namingMode = codesOutsideTheLists ? 7 : 1;
    s.renamePrefix = "前缀 ";
    s.renameStartNumber = codesOutsideTheLists ? -5 : std::numeric_limits<std::int32_t>::max();
    s.resizeEnabled = 1;
    s.resizeMode = codesOutsideTheLists ? 9 : 3;
    s.resizeValue = codesOutsideTheLists ? 100 : 0;  // mode 9 reads back 100
    s.fixedWidth = 1;
    s.fixedHeight = 99999;
    s.resizeIncludesBorder = 0;
    s.resampleEnabled = 0;
    s.jpegQuality = codesOutsideTheLists ? 400 : 1;
    s.resampleFilter = codesOutsideTheLists ? 0 : 6;
    s.tiffCompression = codesOutsideTheLists ? -1 : 2;
    s.textEnabled = 1;
    s.textContent = codesOutsideTheLists ? "windows\r\nline" : "two\nlines";
    s.fontSize = -3;
    s.fontFace = "Noto Serif CJK SC";
    s.fontCharset = 134;
    s.fontWeight = 650;
    s.fontBold = 1;
    s.fontItalic = s.fontUnderline = s.fontStrikeOut = 1;
    s.textColor = 0x00123456;
    s.textPosX = std::numeric_limits<float>::quiet_NaN();
    s.textPosY = 1.5f;
    s.borderEnabled = 1;
    s.borderName = "Gone";
    s.borderKind = 998;
    for (size_t i = 0; i < s.borderPieceFiles.size(); ++i)
        s.borderPieceFiles[i] = "/p/" + std::to_string(i) + ".bmp";
    s.borderAdaptive = s.borderInner = 1;
    s.stampEnabled = 1;
    s.stampKind = 999;
    s.stampName = "自定义...";
    s.stampFile = "x.jpg";
    s.stampPath = "/s/x.jpg";
    s.stampPosX = -0.25f;
    s.stampPosY = 0.999f;
    s.enhanceEnabled = 1;
    s.brightnessEnabled = 1;
    s.brightnessValue = codesOutsideTheLists ? 130 : 100;
    s.brightnessChannel = codesOutsideTheLists ? 12 : 4;
    s.brightnessRed = s.brightnessGreen = s.brightnessBlue = 0;
    s.contrastEnabled = 1;
    s.contrastValue = 0;
    s.contrastChannel = codesOutsideTheLists ? -1 : 6;
    s.contrastRed = s.contrastGreen = s.contrastBlue = 0;
    s.sharpenEnabled = 1;
    s.sharpenValue = codesOutsideTheLists ? 0 : 10;
    s.despeckleEnabled = 1;
    s.despeckleValue = codesOutsideTheLists ? 11 : 10;
    s.redEyeEnabled = 1;
    s.rotateEnabled = 1;
    s.rotateAngle = 33.5f;
    s.flipEnabled = 1;
    s.flipDirection = codesOutsideTheLists ? 7 : 1;
    s.convertEnabled = 1;
    s.colorConvertEnabled = 1;
    s.colorType = codesOutsideTheLists ? 8 : 7;
    s.formatConvertEnabled = 1;
    s.outputFormat = codesOutsideTheLists ? 11 : 8;
    s.effectEnabled = 1;
    s.effectType = codesOutsideTheLists ? 10 : 1;
    for (size_t i = 0; i < s.reservedInts.size(); ++i) {
        s.reservedInts[i] = static_cast<std::int32_t>(i * 1000 + 1);
        s.reservedTexts[i] = "r" + std::to_string(i);
    }
    return s;
}

// Each field of a scheme as the JSON export writes it (floats by their bits
// where needed), by name.
nlohmann::ordered_json fieldsOf(const Scheme& scheme) {
    SchemeStore store("/nonexistent");
    store.append(scheme);
    return storeToJson(store)["schemes"][0];
}

// The names of the fields whose values differ.
QStringList differingFields(const Scheme& a, const Scheme& b) {
    const nlohmann::ordered_json left = fieldsOf(a);
    const nlohmann::ordered_json right = fieldsOf(b);
    QStringList names;
    for (const auto& [name, value] : left.items()) {
        // Fields at their default may be left out of an export.
        const auto other = right.find(name);
        if (other == right.end() || *other != value) names << QString::fromStdString(name);
    }
    return names;
}

}  // namespace

class RoundTripTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void bundledSchemesComeBackAsStored() {
        EditorFixture f;
        // With the bundled border sets and stamps the schemes name.
        f.appFolder = VARNETTO_BIN_DIR;
        SchemeStore store(f.dir.str());
        store.setPath(VARNETTO_BIN_DIR "/Schemes/Schemes.bis");
        SilentReporter silent;
        QVERIFY(store.load(silent));
        QVERIFY(store.size() >= 5);
        // Into folders that exist, so the save asks nothing.
        int folder = 0;
        for (Scheme& scheme : store) {
            scheme.outputFolder = f.dir.str(std::to_string(folder++));
            std::filesystem::create_directories(scheme.outputFolder);
        }
        const std::vector<Scheme> originals(store.begin(), store.end());
        editAndSaveEach(f, store);
        for (size_t i = 0; i < originals.size(); ++i) {
            // A scheme without a caption font gets the one its caption would
            // be drawn with.
            Scheme expected = originals[i];
            if (expected.fontFace.empty()) expected.fontFace = "Arial";
            QCOMPARE(differingFields(*std::next(store.begin(), i), expected).join(" "), QString());
        }
        QCOMPARE(f.dialogs.questions, QStringList());
        QCOMPARE(f.dialogs.messages, QStringList());
    }

    void unusualValuesComeBackAsStored() {
        // Every field differs from a new scheme's, so every one is tried
        // (the export names a reserved setting only when it is not 0).
        for (const bool outside : {false, true}) {
            const Scheme unusual = unusualScheme("/o", outside);
            const QStringList untried = differingFields(unusual, Scheme{});
            QCOMPARE(untried.size(), static_cast<qsizetype>(fieldsOf(unusual).size()));
        }
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        for (const bool outside : {false, true}) {
            // As read from a store written elsewhere: the font's name with a
            // longer length prefix than this program writes, which must
            // survive an edit that does not touch it.
            const SchemeListHeader header;
            std::string bytes =
                writeStoreBytes(header, std::vector{unusualScheme(f.outputFolder, outside)});
            const std::string shortForm = std::string("\x11") + "Noto Serif CJK SC";
            const std::string longForm = std::string("\xFF\x11\x00", 3) + "Noto Serif CJK SC";
            QCOMPARE(bytes.find(shortForm, bytes.find(shortForm) + 1), std::string::npos);
            bytes.replace(bytes.find(shortForm), shortForm.size(), longForm);
            const StoreContents read = readStoreBytes(bytes);
            QVERIFY(read.complete);
            const Scheme original = read.schemes.at(0);
            Scheme edited = original;
            f.open(EditorMode::EditScheme, &edited);
            f.click("saveScheme");
            QCOMPARE(f.dialog->result(), 1);
            // What the pages settle by their own rules: a caption size of
            // none is 80, a listed channel sets its channel flags, and a
            // listed effect without a code of its own is the first.
            Scheme expected = original;
            expected.fontSize = 80;
            if (!outside) {
                expected.brightnessRed = expected.brightnessGreen = 1;  // yellow
                expected.contrastGreen = expected.contrastBlue = 1;     // cyan
            } else {
                expected.effectType = stored(EffectType::Emboss);
            }
            QCOMPARE(differingFields(edited, expected).join(" "), QString());
            const std::string saved = writeStoreBytes(header, std::vector{edited});
            QVERIFY(saved == writeStoreBytes(header, std::vector{expected}));
            QVERIFY(saved.find(longForm) != std::string::npos);
        }
        QVERIFY(f.dialogs.messages.filter("请输入").isEmpty());
        // The missing set and stamp are named, once per dialog.
        QCOMPARE(f.dialogs.messages.filter("边框 Gone 不存在！").size(), 2);
        QCOMPARE(f.dialogs.messages.filter("/s/x.jpg").size(), 2);
    }

    void namedNormalisations() {
        struct Case {
            const char* what;
            std::function<void(Scheme&)> stored;
            std::function<bool(const Scheme&)> saved;
        };
        const Case cases[] = {
            {"trailing slashes", [](Scheme& s) { s.outputFolder += "///"; },
             [](const Scheme& s) { return !s.outputFolder.ends_with('/'); }},
            {"fixed size value", [](Scheme& s) { s.resizeMode = 5, s.resizeValue = 640; },
             [](const Scheme& s) { return s.resizeMode == 5 && s.resizeValue == 100; }},
            {"switch", [](Scheme& s) { s.convertEnabled = 7; },
             [](const Scheme& s) { return s.convertEnabled == 1; }},
            {"caption font never chosen", [](Scheme& s) { s.fontFace.clear(), s.fontSize = 0; },
             [](const Scheme& s) { return s.fontFace == "Arial" && s.fontSize == 80; }},
            {"effect without a code", [](Scheme& s) { s.effectType = 5; },
             [](const Scheme& s) { return s.effectType == 0; }},
            {"rotation off", [](Scheme& s) { s.rotateEnabled = 0, s.rotateAngle = 90; },
             [](const Scheme& s) { return s.rotateEnabled == 0 && s.rotateAngle == 0.0f; }},
            {"flip off", [](Scheme& s) { s.flipEnabled = 0, s.flipDirection = 1; },
             [](const Scheme& s) { return s.flipEnabled == 0 && s.flipDirection == 2; }},
            {"flip without a direction", [](Scheme& s) { s.flipEnabled = 1, s.flipDirection = 2; },
             [](const Scheme& s) { return s.flipEnabled == 0 && s.flipDirection == 2; }},
        };
        for (const Case& c : cases) {
            EditorFixture f;
            std::filesystem::create_directories(f.outputFolder);
            Scheme scheme = schemeNamed("A", f.outputFolder);
            c.stored(scheme);
            f.open(EditorMode::EditScheme, &scheme);
            f.click("saveScheme");
            QVERIFY2(c.saved(scheme), c.what);
        }
    }
};

VARNETTO_QTEST_MAIN(RoundTripTest)
#include "RoundTripTest.moc"
