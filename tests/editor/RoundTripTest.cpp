#include "editor/EditorFixture.h"

#include <cmath>
#include <limits>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// Opens every scheme of the store in the editor, saves it unchanged, and
// returns the store file's bytes before and after.
std::pair<std::string, std::string> editAndSaveEach(EditorFixture& f, SchemeStore& store) {
    SilentReporter silent;
    std::filesystem::create_directories(f.dir.path() / "Schemes");
    writeBytes(store.path(), "");
    store.save(silent);
    const std::string before = readBytes(store.path());
    for (Scheme& scheme : store) {
        f.open(EditorMode::EditScheme, &scheme, &store);
        f.click("saveScheme");
        if (f.dialog->result() != 1)
            qWarning("not saved: %s", qPrintable(f.dialogs.messages.join('|')));
    }
    store.save(silent);
    return {before, readBytes(store.path())};
}

// Every field away from its new-record value; codes at the edges of their
// lists or past them.
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
    s.textContent = "two\nlines";
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
    s.brightnessChannel = codesOutsideTheLists ? 12 : 4;
    s.brightnessRed = 0;
    s.contrastValue = 0;
    s.rotateEnabled = 1;
    s.rotateAngle = 33.5f;
    s.flipDirection = 1;
    s.convertEnabled = 1;
    s.colorConvertEnabled = 0;
    s.colorType = codesOutsideTheLists ? 8 : 7;
    s.formatConvertEnabled = 1;
    s.outputFormat = codesOutsideTheLists ? 9 : 8;
    s.effectEnabled = 1;
    s.effectType = codesOutsideTheLists ? 10 : 1;
    for (size_t i = 0; i < s.reservedInts.size(); ++i) {
        s.reservedInts[i] = static_cast<std::int32_t>(i * 1000 + 1);
        s.reservedTexts[i] = "r" + std::to_string(i);
    }
    return s;
}

}  // namespace

class RoundTripTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void bundledSchemesComeBackByteForByte() {
        EditorFixture f;
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
        store.setPath(f.dir.str("Schemes/Schemes.bis"));
        const auto [before, after] = editAndSaveEach(f, store);
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(before == after);
    }

    void unusualValuesComeBackByteForByte() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        SchemeStore store(f.dir.str());
        store.append(unusualScheme(f.outputFolder, false));
        store.append(unusualScheme(f.outputFolder, true));
        const auto [before, after] = editAndSaveEach(f, store);
        QVERIFY(f.dialogs.messages.filter("请输入").isEmpty());
        QVERIFY(before == after);
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
