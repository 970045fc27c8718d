#include "manager/SchemeManagerDialog.h"
#include "schemes/StoreFormat.h"
#include "support/UiTestSupport.h"
#include "uikit/AccessibleNames.h"
#include "uikit/BackgroundJobs.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <functional>
#include <memory>

using namespace varnetto;
using namespace varnetto::testing;
namespace fs = std::filesystem;

namespace {

const QString kChooseOne = "   请选择一个处理方案。   ";
const QString kSaveChanges = "处理方案已经修改，是否保存？";

Scheme scheme(const std::string& name, bool grey = false) {
    Scheme s;
    s.name = name;
    s.outputFolder = "/tmp/out-" + name;
    s.textContent = "说明 " + name;
    s.rotateAngle = 12.5f;
    s.reservedTexts[3] = "r" + name;
    if (grey) {
        s.convertEnabled = 1;
        s.colorConvertEnabled = 1;
        s.colorType = stored(ColorType::Gray256);
    }
    return s;
}

// The view reacts to a double click only after a press on the same place.
void doubleClick(QListWidget* list, QPoint at) {
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
}

bool isGrey(const QColor& c) {
    return std::abs(c.red() - c.green()) <= 2 && std::abs(c.green() - c.blue()) <= 2;
}
bool isRed(const QColor& c) {
    return c.red() > 150 && c.green() < 80 && c.blue() < 80;
}

// A manager on a temporary application folder whose store holds the given
// schemes, previewing a plain red picture. The editor and the viewer are
// stand-ins that record their requests.
struct ManagerFixture {
    explicit ManagerFixture(const std::vector<Scheme>& schemes) {
        fs::create_directories(app.path() / "Schemes");
        writeBytes(storeFile(), "");
        SchemeStore store(app.str());
        store.header().ints[5] = 77;
        store.header().texts[1] = "头";
        for (const Scheme& s : schemes) store.append(s);
        SilentReporter silent;
        store.save(silent);
        picture = app.str("Preview.png");
        vips::VImage::black(120, 90, vips::VImage::option()->set("bands", 3))
            .new_from_image(std::vector<double>{200, 40, 40})
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .write_to_file(picture.c_str());
    }

    SchemeManagerDialog& open() {
        ManagerRequest request;
        request.appFolder = app.str();
        request.imagePath = picture;
        request.openEditor = [this](QWidget*, const EditorRequest& r) {
            editorRequests.push_back(r);
            return editor ? editor(r) : 2;
        };
        request.openViewer = [this](QWidget*, const ViewerRequest& r) {
            viewerRequests.push_back(r);
            return 2;
        };
        dialog = std::make_unique<SchemeManagerDialog>(dialogs, request);
        dialog->show();
        settle();
        return *dialog;
    }

    std::string storeFile() const { return app.str("Schemes/Schemes.bis"); }
    template <class Widget>
    Widget* child(const char* name) const {
        Widget* found = dialog->findChild<Widget*>(name);
        if (!found) qFatal("no widget %s", name);
        return found;
    }
    QListWidget* list() const { return child<QListWidget>("schemeList"); }
    void click(const char* button) {
        child<QPushButton>(button)->click();
        settle();
    }
    QStringList rows() const {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i) names << list()->item(i)->text();
        return names;
    }
    void select(int row) {
        list()->setCurrentRow(row);
        settle();
    }
    // Until the dialog's background work has come back.
    void settle() {
        const auto jobs = dialog->findChildren<BackgroundJobs*>();
        QVERIFY(QTest::qWaitFor(
            [&jobs] {
                return std::none_of(jobs.begin(), jobs.end(),
                                    [](const BackgroundJobs* j) { return j->busy(); });
            },
            20000));
    }
    QColor centre(const char* box) const {
        const QImage image = child<QLabel>(box)->pixmap().toImage();
        return image.pixelColor(image.width() / 2, image.height() / 2);
    }
    QStringList savedNames() const {
        SchemeStore saved(app.str());
        SilentReporter silent;
        saved.load(silent);
        QStringList names;
        for (const Scheme& s : saved) names << QString::fromStdString(s.name);
        return names;
    }

    TempDir app;
    std::string picture;
    RecordingDialogs dialogs;
    std::function<int(const EditorRequest&)> editor;
    std::vector<EditorRequest> editorRequests;
    std::vector<ViewerRequest> viewerRequests;
    std::unique_ptr<SchemeManagerDialog> dialog;
};

// Acts as the editor in NewScheme mode does when the user types name and
// saves: a taken name is refused, and the user then gives up.
std::function<int(const EditorRequest&)> typeName(const std::string& name) {
    return [name](const EditorRequest& r) {
        if (r.nameExists(name)) return 2;
        *r.scheme = scheme(name);
        return 1;
    };
}

}  // namespace

class SchemeManagerDialogTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void opensOnTheStoreFile() {
        ManagerFixture f({scheme("Zeta"), scheme("Alpha")});
        SchemeManagerDialog& dialog = f.open();
        QCOMPARE(dialog.windowTitle(), QString("  图像处理参数方案管理"));
        QCOMPARE(f.rows(), (QStringList{"Zeta", "Alpha"}));
        QVERIFY(f.child<QCheckBox>("livePreviewCheck")->isChecked());
        QVERIFY(isRed(f.centre("originalBox")));
        QVERIFY(isRed(f.centre("previewBox")));
        QCOMPARE(controlsWithoutAccessibleName(&dialog), QStringList());
        // Names are compared byte for byte, letter case included.
        QVERIFY(dialog.schemeNameExists("Alpha"));
        QVERIFY(!dialog.schemeNameExists("alpha"));
        QVERIFY(!dialog.schemeNameExists("Alph"));
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void commandsWithoutASchemeSayChooseOne() {
        ManagerFixture f({scheme("Alpha")});
        SchemeManagerDialog& dialog = f.open();
        f.click("deleteButton");
        f.click("editButton");
        f.click("fullScreenButton");
        QCOMPARE(f.dialogs.messages, (QStringList{kChooseOne, kChooseOne, kChooseOne}));
        for (MessageKind kind : f.dialogs.kinds) QCOMPARE(kind, MessageKind::Stop);
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(f.editorRequests.empty());
        QVERIFY(f.viewerRequests.empty());
        // Enter and Esc never close the dialog, whatever has the focus.
        for (QWidget* focus : {static_cast<QWidget*>(f.list()), static_cast<QWidget*>(&dialog)}) {
            focus->setFocus();
            QTest::keyClick(focus, Qt::Key_Escape);
            QTest::keyClick(focus, Qt::Key_Return);
            QTest::keyClick(focus, Qt::Key_Enter);
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
    }

    void emptyStoreTakesNewSchemesAtTheEnd() {
        ManagerFixture f({});
        SchemeManagerDialog& dialog = f.open();
        QCOMPARE(f.list()->count(), 0);
        QVERIFY(!dialog.schemeNameExists(""));
        for (const char* name : {"Gamma", "Delta", "Gamma"}) {
            f.editor = typeName(name);
            f.click("addButton");
        }
        // The second "Gamma" was refused by the name question.
        QCOMPARE(f.rows(), (QStringList{"Gamma", "Delta"}));
        QCOMPARE(f.editorRequests.size(), size_t(3));
        for (const EditorRequest& r : f.editorRequests) {
            QCOMPARE(r.mode, EditorMode::NewScheme);
            QCOMPARE(r.imagePath, f.picture);
            QCOMPARE(r.appFolder, f.app.str());
            QVERIFY(r.openViewer);
        }
        f.click("saveButton");
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(f.savedNames(), (QStringList{"Gamma", "Delta"}));
    }

    void editWorksInPlaceAndMayRepeatAName() {
        ManagerFixture f({scheme("Alpha"), scheme("Beta")});
        f.open();
        f.editor = [](const EditorRequest& r) {
            r.scheme->name = "Alpha";
            return 1;
        };
        f.select(1);
        f.click("editButton");
        QCOMPARE(f.rows(), (QStringList{"Alpha", "Alpha"}));
        QCOMPARE(f.editorRequests.back().mode, EditorMode::EditScheme);
        QVERIFY(!f.editorRequests.back().nameExists);
        // The editor inherits from the schemes being managed, not the file's.
        const SchemeStore* offered = f.editorRequests.back().store;
        QVERIFY(offered);
        QStringList offeredNames;
        for (const Scheme& s : *offered) offeredNames << QString::fromStdString(s.name);
        QCOMPARE(offeredNames, f.rows());
        // A double click on a row edits it too.
        f.editor = nullptr;
        f.select(0);
        doubleClick(f.list(), f.list()->visualItemRect(f.list()->item(0)).center());
        QCOMPARE(f.editorRequests.size(), size_t(2));
        QCOMPARE(f.editorRequests.back().mode, EditorMode::EditScheme);
    }

    void savedStoreHoldsExactlyTheListedSchemes() {
        const std::vector<Scheme> before{scheme("A"), scheme("B"), scheme("C"), scheme("D")};
        ManagerFixture f(before);
        f.open();
        f.editor = [](const EditorRequest& r) {
            r.scheme->name = "B2";
            r.scheme->jpegQuality = 33;
            return 1;
        };
        f.select(1);
        f.click("editButton");
        f.select(0);
        f.dialogs.answer = false;
        f.click("deleteButton");
        QCOMPARE(f.dialogs.questions, QStringList{"确定要删除图像处理方案 A ?"});
        QCOMPARE(f.dialogs.kinds, std::vector<MessageKind>{MessageKind::Exclamation});
        f.dialogs.answer = true;
        f.click("deleteButton");
        f.editor = typeName("E");
        f.click("addButton");
        QCOMPARE(f.rows(), (QStringList{"B2", "C", "D", "E"}));
        f.click("saveButton");

        SchemeStore saved(f.app.str());
        RecordingReporter reporter;
        QVERIFY(saved.load(reporter));
        QCOMPARE(saved.header().ints[5], 77);
        QCOMPARE(saved.header().texts[1], std::string("头"));
        QCOMPARE(f.savedNames(), f.rows());
        QCOMPARE(saved.at(0)->jpegQuality, 33);
        const auto record = [](const Scheme& s) {
            std::string bytes;
            appendScheme(bytes, s);
            return bytes;
        };
        QCOMPARE(record(*saved.at(1)), record(before[2]));
        QCOMPARE(record(*saved.at(2)), record(before[3]));
        QCOMPARE(record(*saved.at(3)), record(scheme("E")));
    }

    void leavingWithoutSaving_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::addColumn<bool>("change");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("written");
        QTest::newRow("cancel after a change") << false << true << true << 2 << false << false;
        QTest::newRow("close box, no change") << true << false << true << 2 << false << false;
        QTest::newRow("close box, keep changes") << true << true << true << 1 << true << true;
        QTest::newRow("close box, drop changes") << true << true << false << 2 << true << false;
    }
    void leavingWithoutSaving() {
        QFETCH(bool, closeBox);
        QFETCH(bool, change);
        QFETCH(bool, answer);
        QFETCH(int, result);
        QFETCH(bool, asked);
        QFETCH(bool, written);
        ManagerFixture f({scheme("Alpha")});
        SchemeManagerDialog& dialog = f.open();
        const std::string file = readBytes(f.storeFile());
        if (change) {
            f.editor = typeName("Beta");
            f.click("addButton");
        }
        f.dialogs.answer = answer;
        closeBox ? (void)dialog.close() : f.click("cancelButton");
        QCOMPARE(dialog.result(), result);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(f.dialogs.questions, asked ? QStringList{kSaveChanges} : QStringList());
        QCOMPARE(readBytes(f.storeFile()) != file, written);
    }

    void failedSaveKeepsTheDialogAndItsSchemes_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("store deleted") << 0 << "图像处理方案文件不存在，无法保存。%1";
        QTest::newRow("store read-only") << 1 << "无法保存图像处理方案文件 %1：文件是只读的";
        QTest::newRow("store unwritable") << 2 << "无法保存图像处理方案文件 %1：";
    }
    void failedSaveKeepsTheDialogAndItsSchemes() {
        QFETCH(int, fault);
        QFETCH(QString, message);
        ManagerFixture f({scheme("Alpha")});
        SchemeManagerDialog& dialog = f.open();
        f.editor = typeName("Beta");
        f.click("addButton");
        const std::string file = f.storeFile();
        fs::remove(file);
        if (fault == 1) {
            writeBytes(file, "");
            fs::permissions(file, fs::perms::owner_read);
        } else if (fault == 2) {
            fs::create_directory(file);  // a folder cannot be replaced by a file
        }
        f.click("saveButton");
        dialog.close();  // answered Yes: saving again fails again
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.result(), 0);
        QCOMPARE(f.dialogs.messages.size(), 2);
        QVERIFY(f.dialogs.messages[0].startsWith(
            message.arg(fault ? QString::fromStdString(file) : "")));
        QCOMPARE(f.rows(), (QStringList{"Alpha", "Beta"}));

        fs::remove_all(file);
        writeBytes(file, "");
        f.click("saveButton");
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(f.savedNames(), (QStringList{"Alpha", "Beta"}));
    }

    void previewFollowsTheSelectedScheme() {
        ManagerFixture f({scheme("Plain"), scheme("Grey", true)});
        f.open();
        f.select(1);
        QVERIFY(isGrey(f.centre("previewBox")));
        QVERIFY(isRed(f.centre("originalBox")));
        f.select(0);
        QVERIFY(isRed(f.centre("previewBox")));
        // Without live preview a selection shows the picture unprocessed.
        f.child<QCheckBox>("livePreviewCheck")->setChecked(false);
        f.select(1);
        QVERIFY(isRed(f.centre("previewBox")));
        f.child<QCheckBox>("livePreviewCheck")->setChecked(true);

        // After a refill the same row number renders the scheme it now holds.
        f.select(0);
        f.editor = [](const EditorRequest& r) {
            *r.scheme = scheme("Plain now grey", true);
            return 1;
        };
        f.click("editButton");
        f.settle();
        QVERIFY(isRed(f.centre("previewBox")));
        f.select(0);
        QVERIFY(isGrey(f.centre("previewBox")));
    }

    void undecodablePictureIsNamedOnce() {
        ManagerFixture f({scheme("Plain"), scheme("Grey", true)});
        writeBytes(f.picture, "not a picture");
        f.open();
        f.select(1);
        f.select(0);
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages[0].contains(QString::fromStdString(f.picture)));
        // The schemes can still be managed.
        f.editor = typeName("New");
        f.click("addButton");
        QCOMPARE(f.rows(), (QStringList{"Plain", "Grey", "New"}));
    }

    void fullScreenPreviewShowsTheProcessedPicture() {
        ManagerFixture f({scheme("Grey", true)});
        f.open();
        f.child<QCheckBox>("livePreviewCheck")->setChecked(false);
        f.select(0);
        f.click("fullScreenButton");
        QCOMPARE(f.viewerRequests.size(), size_t(1));
        const ViewerRequest& shown = f.viewerRequests[0];
        QCOMPARE(shown.mode, ViewerMode::ShowBitmap);
        QVERIFY(shown.bitmap.has_value());
        QCOMPARE(shown.bitmap->width(), 120);
        const std::vector<double> pixel = shown.bitmap->getpoint(60, 45);
        QCOMPARE(pixel.front(), pixel.back());
        QVERIFY(f.dialogs.messages.isEmpty());

        // A picture that has gone is named, and no viewer opens.
        fs::remove(f.picture);
        f.click("fullScreenButton");
        QCOMPARE(f.viewerRequests.size(), size_t(1));
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY(f.dialogs.messages[0].contains(QString::fromStdString(f.picture)));
    }
};

VARNETTO_QTEST_MAIN(SchemeManagerDialogTest)
#include "SchemeManagerDialogTest.moc"
