#include "editor/EditorFixture.h"
#include "processing/SchemePipeline.h"
#include "uikit/AccessibleNames.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// Border set files of the fixture's application folder.
void writeBorderFiles(EditorFixture& f, const std::vector<std::string>& names) {
    std::filesystem::create_directories(f.dir.path() / "Borders");
    for (const std::string& name : names) {
        const std::filesystem::path path = f.dir.path() / "Borders" / name;
        if (path.extension() == ".bmp")
            writePicture(path, 12, 12);
        else
            writeBytes(path, "not a piece");
    }
}

std::vector<std::string> setFiles(const std::string& set, int count = 8) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) names.push_back(set + "_" + std::to_string(i) + ".bmp");
    return names;
}

// A scheme writing into the fixture's (existing) output folder.
Scheme schemeFor(EditorFixture& f) {
    std::filesystem::create_directories(f.outputFolder);
    return schemeNamed("Decorated", f.outputFolder);
}

void retype(QLineEdit* edit, const char* typed) {
    edit->clear();
    QTest::keyClicks(edit, typed);
}

// Runs work on the next modal dialog once it shows.
void onNextDialog(std::function<void(QWidget*)> work) {
    QTimer::singleShot(0, [work = std::move(work)] { work(QApplication::activeModalWidget()); });
}

}  // namespace

class DecorationPagesTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void borderSetList() {
        EditorFixture f;
        std::vector<std::string> files = setFiles("Oak");
        files.push_back("Ash_1.bmp");
        files.push_back("notes.txt");
        writeBorderFiles(f, files);
        Scheme scheme = schemeFor(f);
        f.open(EditorMode::EditScheme, &scheme);
        auto* list = f.child<QComboBox>("borderName");
        QCOMPARE(itemsOf(list), (QStringList{"Ash", "Oak", "自定义..."}));
        QVERIFY(!list->isEnabled() && !f.widget("borderPieces")->isEnabled());

        // A set draws its own pieces, in the preview and in the small box.
        auto* box = f.child<PictureBox>("borderPreview");
        // The opening render first, so that only the master's can pass.
        QVERIFY(f.waitForPreview());
        QVERIFY(f.renders([&] { f.child<QCheckBox>("borderEnabled")->setChecked(true); }));
        QVERIFY(f.renders([&] { list->setCurrentIndex(1); }));
        QTRY_VERIFY_WITH_TIMEOUT(!box->picture().isNull(), 20000);
        QCOMPARE(box->picture().size(), f.originalBox()->picture().size());
        QVERIFY(!f.widget("borderPieces")->isEnabled());

        // Choosing one's own pieces keeps the set's until they are chosen.
        list->setCurrentIndex(2);
        QVERIFY(f.widget("borderPieces")->isEnabled());
        const Scheme out = saved(f);
        QCOMPARE(out.borderName, std::string("自定义..."));
        QCOMPARE(out.borderKind, stored(DecorationKind::Custom));
        QCOMPARE(out.borderPieceFiles[7], f.dir.str("Borders/Oak_8.bmp"));
        // Switched on, the border shows the first set, whose missing pieces
        // are named; Oak and one's own pieces then add nothing.
        QStringList missing;
        for (int piece = 2; piece <= 8; ++piece)
            missing << QString("边框图像 %1 不存在。")
                           .arg(QString::fromStdString(
                               f.dir.str("Borders/Ash_" + std::to_string(piece) + ".bmp")));
        QCOMPARE(f.dialogs.messages, missing);

        // A name of six characters makes a set without a name.
        EditorFixture g;
        writeBorderFiles(g, {"Oak_1.bmp", "ab.bmp"});
        g.open(EditorMode::NewScheme);
        QCOMPARE(itemsOf(g.child<QComboBox>("borderName")), (QStringList{"", "Oak", "自定义..."}));
    }

    void storedSetThatIsGone() {
        EditorFixture f;
        writeBorderFiles(f, setFiles("Oak"));
        Scheme scheme = schemeFor(f);
        scheme.borderEnabled = 1;
        scheme.borderName = "Gone";
        f.open(EditorMode::EditScheme, &scheme);
        QCOMPARE(f.dialogs.messages, QStringList{"边框 Gone 不存在！"});
        QCOMPARE(f.child<QComboBox>("borderName")->currentText(), QString("Oak"));
        const Scheme out = saved(f);
        QCOMPARE(out.borderName, std::string("Oak"));
        QCOMPARE(out.borderPieceFiles[0], f.dir.str("Borders/Oak_1.bmp"));
    }

    void storedSetMissingAPiece() {
        EditorFixture f;
        writeBorderFiles(f, setFiles("Oak", 7));
        Scheme scheme = schemeFor(f);
        scheme.borderEnabled = 1;
        scheme.borderName = "Oak";
        f.open(EditorMode::EditScheme, &scheme);
        QVERIFY(f.waitForPreview());
        QVERIFY(f.renders([&] { f.child<QCheckBox>("borderInner")->toggle(); }));
        const QString lost = QString("边框图像 %1 不存在。")
                                 .arg(QString::fromStdString(f.dir.str("Borders/Oak_8.bmp")));
        QCOMPARE(f.dialogs.messages, QStringList{lost});
    }

    void customPieces() {
        EditorFixture f;
        writeBorderFiles(f, setFiles("Oak"));
        const std::string top = f.dir.str("top.jpg");
        writePicture(top, 30, 8);
        Scheme scheme = schemeFor(f);
        scheme.borderEnabled = 1;
        scheme.borderName = "Oak";
        f.open(EditorMode::EditScheme, &scheme);
        f.child<QComboBox>("borderName")->setCurrentIndex(1);

        // Cancelled: nothing changes.
        onNextDialog([](QWidget* pieces) {
            pieces->findChild<QLineEdit*>("piece1")->clear();
            pieces->findChild<QAbstractButton*>("cancel")->click();
        });
        f.click("borderPieces");

        // The rows start with the pieces held; a picked file replaces its
        // row and rows left empty store empty paths.
        f.dialogs.file = QString::fromStdString(top);
        QStringList shownRows;
        QStringList unnamed{"not checked"};
        onNextDialog([&](QWidget* pieces) {
            for (int row = 1; row <= 8; ++row)
                shownRows << pieces->findChild<QLineEdit*>(QString("piece%1").arg(row))->text();
            unnamed = controlsWithoutAccessibleName(pieces);
            pieces->findChild<QAbstractButton*>("choosePiece1")->click();
            for (int row = 5; row <= 8; ++row)
                pieces->findChild<QLineEdit*>(QString("piece%1").arg(row))->clear();
            pieces->findChild<QAbstractButton*>("ok")->click();
        });
        QVERIFY(f.renders([&] { f.click("borderPieces"); }));
        QCOMPARE(shownRows.size(), 8);
        QCOMPARE(shownRows[0], QString::fromStdString(f.dir.str("Borders/Oak_1.bmp")));
        QCOMPARE(shownRows[1], QString::fromStdString(f.dir.str("Borders/Oak_2.bmp")));
        QCOMPARE(unnamed, QStringList());
        QCOMPARE(f.dialogs.filter, QString("所有图像(*.jpg; *.bmp) (*.jpg *.bmp);;"
                                           "JPG 图像文件(*.jpg) (*.jpg);;"
                                           "BMP 图像文件(*.bmp) (*.bmp);;所有文件(*.*) (*)"));
        const Scheme out = saved(f);
        QCOMPARE(out.borderKind, stored(DecorationKind::Custom));
        QCOMPARE(out.borderPieceFiles[0], top);
        QCOMPARE(out.borderPieceFiles[1], f.dir.str("Borders/Oak_2.bmp"));
        for (size_t piece = 4; piece < 8; ++piece) QCOMPARE(out.borderPieceFiles[piece], "");
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void brokenFilesAreNamedOnceAndLeftOut() {
        EditorFixture f(400, 200);
        const std::string broken = f.dir.str("broken.bmp");
        writeBytes(broken, "BM this is not a picture");
        Scheme scheme = schemeFor(f);
        scheme.borderEnabled = 1;
        scheme.borderKind = stored(DecorationKind::Custom);
        scheme.borderName = "自定义...";
        scheme.borderPieceFiles[0] = broken;
        scheme.borderPieceFiles[1] = f.dir.str("moved.bmp");
        scheme.stampEnabled = 1;
        scheme.stampKind = stored(DecorationKind::Custom);
        scheme.stampPath = f.dir.str("gone.bmp");
        f.open(EditorMode::EditScheme, &scheme);
        QVERIFY(f.waitForPreview());
        for (int i = 0; i < 3; ++i) {
            QVERIFY(f.renders([&] { f.child<QCheckBox>("borderInner")->toggle(); }));
        }
        const QStringList expected{
            QString("边框图像 %1 不存在。").arg(QString::fromStdString(f.dir.str("moved.bmp"))),
            QString("印章图像 %1 不存在。").arg(QString::fromStdString(scheme.stampPath)),
        };
        for (const QString& message : expected)
            QVERIFY2(f.dialogs.messages.count(message) == 1,
                     qPrintable(f.dialogs.messages.join('|')));
        QCOMPARE(f.dialogs.messages.filter(QString::fromStdString(broken)).size(), 1);
        QCOMPARE(f.dialogs.messages.size(), 3);
        // The preview goes on without the border and the stamp.
        QCOMPARE(f.previewBox()->picture(), f.originalBox()->picture());
    }

    void stampList() {
        EditorFixture f;
        std::filesystem::create_directories(f.dir.path() / "Stamps");
        for (const char* name : {"Seal.bmp", "Seal.jpg", "Logo.JPG"})
            writePicture(f.dir.path() / "Stamps" / name, 40, 40);
        writeBytes(f.dir.path() / "Stamps" / "read.me", "not a stamp");
        Scheme scheme = schemeFor(f);
        scheme.stampEnabled = 1;
        scheme.stampName = "Seal";
        scheme.stampFile = "Seal.jpg";
        f.open(EditorMode::EditScheme, &scheme);
        auto* list = f.child<QComboBox>("stampName");
        QCOMPARE(itemsOf(list), (QStringList{"Seal", "Logo", "Seal", "自定义..."}));
        // Of two stamps of one name, the one the scheme stored.
        QCOMPARE(list->currentIndex(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(!f.child<PictureBox>("stampPreview")->picture().isNull(), 20000);
        QVERIFY(!f.widget("chooseStampFile")->isEnabled());

        QVERIFY(f.renders([&] { list->setCurrentIndex(1); }));
        const Scheme out = saved(f);
        QCOMPARE(out.stampName, std::string("Logo"));
        QCOMPARE(out.stampFile, std::string("Logo.JPG"));
        QCOMPARE(out.stampPath, f.dir.str("Stamps/Logo.JPG"));
        QCOMPARE(out.stampKind, stored(DecorationKind::Named));
        QVERIFY(f.dialogs.messages.isEmpty());

        EditorFixture g;
        g.open(EditorMode::NewScheme);
        QCOMPARE(g.child<QLineEdit>("stampPosX")->text(), QString("50.00"));
        QCOMPARE(g.child<QLineEdit>("stampPosY")->text(), QString("50.00"));
    }

    // Under the preview, in a warning's colour, what a run would warn of: a
    // caption and a stamp the picture cuts off; nothing once they fit.
    void previewSaysWhatIsCutOff() {
        EditorFixture f;
        std::filesystem::create_directories(f.dir.path() / "Stamps");
        writePicture(f.dir.path() / "Stamps" / "Seal.bmp", 40, 40);
        Scheme scheme = schemeFor(f);
        scheme.textEnabled = 1;
        scheme.textContent = "HH";
        scheme.textPosY = 0.99f;
        scheme.stampEnabled = 1;
        scheme.stampName = "Seal";
        scheme.stampFile = "Seal.bmp";
        scheme.stampPosX = 0.95f;
        scheme.stampPosY = 0.10f;
        f.open(EditorMode::EditScheme, &scheme);
        auto* warning = f.child<QLabel>("fitWarning");
        QTRY_VERIFY_WITH_TIMEOUT(warning->isVisible(), 20000);
        QVERIFY(!warning->accessibleName().isEmpty());
        QVERIFY(warning->palette().color(QPalette::WindowText) !=
                f.child<QLabel>("predictedResult")->palette().color(QPalette::WindowText));
        // The run's own words, its picture's path aside.
        CImageBox control;
        RecordingReporter reporter;
        const ProcessResult run =
            processFile(control, f.picture, 1, scheme, true, f.appFolder, reporter, false);
        QVERIFY2(run.ok(), run.error.c_str());
        const QStringList lines = warning->text().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[0].startsWith("文字超出图像范围（“HH”，下边超出 "), qPrintable(lines[0]));
        QCOMPARE(lines[1], QString("印章超出图像范围（Seal.bmp，右边超出 20 像素）"));
        QCOMPARE(QString::fromStdString(run.warning),
                 QString::fromStdString(f.picture) + "：" + lines.join("; "));

        retype(f.child<QLineEdit>("textPosY"), "50");
        retype(f.child<QLineEdit>("stampPosX"), "10");
        QTRY_VERIFY_WITH_TIMEOUT(!warning->isVisible(), 20000);
        QCOMPARE(warning->text(), QString());
    }

    // A user's own stamps and border sets are offered beside the bundled
    // ones, and the user's copy of a name wins.
    void usersOwnDecorationsAreListedFirstInTheirPlace() {
        EditorFixture f;
        const std::string user = f.dir.str("user");
        f.appFolder = AppFolders(f.dir.str(), user);
        writeBorderFiles(f, setFiles("Wood"));
        std::filesystem::create_directories(f.dir.path() / "Stamps");
        std::filesystem::create_directories(user + "/Stamps");
        std::filesystem::create_directories(user + "/Borders");
        writePicture(f.dir.path() / "Stamps" / "Seal.bmp", 40, 40);
        writePicture(user + "/Stamps/Mine.bmp", 40, 40);
        writePicture(user + "/Stamps/Seal.bmp", 40, 40);
        for (const std::string& piece : setFiles("Own"))
            writePicture(user + "/Borders/" + piece, 12, 12);
        Scheme scheme = schemeFor(f);
        f.open(EditorMode::EditScheme, &scheme);
        QCOMPARE(itemsOf(f.child<QComboBox>("stampName")),
                 (QStringList{"Mine", "Seal", "自定义..."}));
        QCOMPARE(itemsOf(f.child<QComboBox>("borderName")).mid(0, 2), (QStringList{"Own", "Wood"}));
        auto* stamps = f.child<QComboBox>("stampName");
        QVERIFY(f.renders([&] { stamps->setCurrentIndex(1); }));
        QCOMPARE(saved(f).stampPath, user + "/Stamps/Seal.bmp");
    }

    // A scheme naming no stamp or border keeps the first of each listed, so
    // that switching either on draws it and saving stores its file.
    void emptyNamesKeepTheFirstEntry() {
        const struct {
            EditorMode mode;
            bool stored;  // a scheme without stamp and border, or a new one from "无"
        } cases[] = {{EditorMode::EditScheme, true}, {EditorMode::NewScheme, false}};
        for (const auto& c : cases) {
            EditorFixture f;
            writeBorderFiles(f, setFiles("Oak"));
            std::filesystem::create_directories(f.dir.path() / "Stamps");
            writePicture(f.dir.path() / "Stamps" / "Seal.bmp", 40, 40);
            Scheme scheme = schemeFor(f);
            f.open(c.mode, c.stored ? &scheme : nullptr);
            if (!c.stored) chooseItem(f.child<QComboBox>("inheritFrom"), 0);
            QCOMPARE(f.child<QComboBox>("stampName")->currentText(), QString("Seal"));
            QCOMPARE(f.child<QComboBox>("borderName")->currentText(), QString("Oak"));
            f.child<QCheckBox>("stampEnabled")->setChecked(true);
            f.child<QCheckBox>("borderEnabled")->setChecked(true);
            QTRY_VERIFY_WITH_TIMEOUT(!f.child<PictureBox>("stampPreview")->picture().isNull(),
                                     20000);
            QVERIFY(f.dialogs.messages.isEmpty());
            if (!c.stored) f.child<QLineEdit>("schemeName")->setText("New");
            if (!c.stored)
                f.child<QLineEdit>("outputFolder")->setText(QString::fromStdString(f.outputFolder));
            const Scheme out = saved(f);
            QCOMPARE(out.stampPath, f.dir.str("Stamps/Seal.bmp"));
            QCOMPARE(out.borderPieceFiles[0], f.dir.str("Borders/Oak_1.bmp"));
        }
    }

    // A scheme with a stamp and no caption: every control is named whatever
    // the pages show.
    void everyControlIsNamedInEveryState() {
        EditorFixture f;
        std::filesystem::create_directories(f.dir.path() / "Stamps");
        writePicture(f.dir.path() / "Stamps" / "Seal.bmp", 40, 40);
        Scheme scheme = schemeFor(f);
        scheme.stampEnabled = 1;
        scheme.stampName = "Seal";
        scheme.stampFile = "Seal.bmp";
        f.open(EditorMode::EditScheme, &scheme);
        const std::function<void()> states[] = {
            [] {},
            [&] { f.child<QComboBox>("stampName")->setCurrentIndex(1); },
            [&] { f.child<QCheckBox>("stampEnabled")->setChecked(false); },
            [&] { f.child<QCheckBox>("textEnabled")->setChecked(true); },
        };
        for (const auto& state : states) {
            state();
            f.settle();
            QCOMPARE(controlsWithoutAccessibleName(f.dialog.get()), QStringList());
        }
    }

    void customStamp() {
        EditorFixture f;
        const std::string own = f.dir.str("own stamp.bmp");
        writePicture(own, 30, 20);
        Scheme scheme = schemeFor(f);
        scheme.stampEnabled = 1;
        f.open(EditorMode::EditScheme, &scheme);
        auto* list = f.child<QComboBox>("stampName");
        QCOMPARE(itemsOf(list), QStringList{"自定义..."});
        // No stamp is named yet: the list keeps its only entry.
        QCOMPARE(list->currentIndex(), 0);
        QVERIFY(f.widget("chooseStampFile")->isEnabled());
        f.dialogs.file = QString::fromStdString(own);
        QVERIFY(f.renders([&] { f.click("chooseStampFile"); }));
        QCOMPARE(f.dialogs.filter, QString("BMP 图像文件(*.bmp) (*.bmp);;所有文件(*.*) (*)"));
        QCOMPARE(f.dialogs.initialName, QString("*.bmp"));
        QCOMPARE(f.child<QLineEdit>("stampPath")->text(), QString::fromStdString(own));
        QTRY_VERIFY_WITH_TIMEOUT(!f.child<PictureBox>("stampPreview")->picture().isNull(), 20000);
        Scheme out = saved(f);
        QCOMPARE(out.stampName, std::string("自定义..."));
        QCOMPARE(out.stampKind, 999);
        QCOMPARE(out.stampPath, own);

        // Opened again, the file it holds is shown and saved unchanged.
        EditorFixture g;
        std::filesystem::create_directories(g.outputFolder);
        out.outputFolder = g.outputFolder;
        g.open(EditorMode::EditScheme, &out);
        QCOMPARE(g.child<QLineEdit>("stampPath")->text(), QString::fromStdString(own));
        QCOMPARE(saved(g).stampPath, own);
    }
};

VARNETTO_QTEST_MAIN(DecorationPagesTest)
#include "DecorationPagesTest.moc"
