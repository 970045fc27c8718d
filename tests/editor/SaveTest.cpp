#include "editor/EditorFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <atomic>
#include <future>
#include <memory>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

// Whole decodes of the picture (a save's) wait until the test lets them go,
// as a read on a dead mount would; the previews' reduced ones go on.
struct HangingWholeReads {
    std::shared_ptr<PreviewCache> cache() {
        const PictureReader real = imagingReader();
        return std::make_shared<PreviewCache>(
            PictureReader{[real, released = released, started = wholeReadsStarted,
                           ended = wholeReadsEnded](const std::string& path, int reduction) {
                              if (reduction != 1) return real.decode(path, reduction);
                              ++*started;
                              released.wait();
                              ReducedPicture whole = real.decode(path, reduction);
                              ++*ended;
                              return whole;
                          },
                          real.probe});
    }
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::shared_ptr<std::atomic<int>> wholeReadsStarted = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<std::atomic<int>> wholeReadsEnded = std::make_shared<std::atomic<int>>(0);
};

}  // namespace

class SaveTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void schemeSaveChecksNameAndFolder() {
        EditorFixture f;
        QStringList asked;
        f.nameExists = [&](const std::string& name) {
            asked << q(name);
            return name == "Taken";
        };
        Scheme scheme;
        SchemeEditorDialog& dialog = f.open(EditorMode::NewScheme, &scheme);
        auto* name = f.child<QLineEdit>("schemeName");
        auto* folder = f.child<QLineEdit>("outputFolder");

        f.tabs()->setCurrentIndex(1);
        name->setText("   ");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.last(), QString("请输入处理方案名称！"));
        QCOMPARE(f.tabs()->currentIndex(), 0);
        QCOMPARE(dialog.focusWidget(), name);

        name->setText("  Taken ");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.last(), QString("请输入图像处理的输出路径！"));
        QCOMPARE(dialog.focusWidget(), folder);

        // A missing folder is offered for creation; No stops the save.
        folder->setText(q(f.outputFolder + "//"));
        f.dialogs.answer = false;
        f.click("saveScheme");
        QCOMPARE(f.dialogs.questions,
                 QStringList{
                     QString("输出目录： %1  不存在，是否要创建？").arg(q(f.outputFolder + "//"))});
        QVERIFY(!std::filesystem::exists(f.outputFolder));

        // The name is checked without its blanks.
        f.dialogs.answer = true;
        f.click("saveScheme");
        QVERIFY(std::filesystem::is_directory(f.outputFolder));
        QCOMPARE(asked, QStringList{"Taken"});
        QCOMPARE(f.dialogs.messages.last(), QString("处理方案名称已经存在，请重新输入！"));
        QCOMPARE(dialog.result(), 0);

        // ... and stored as typed, the folder without its trailing slashes.
        name->setText(" Fresh  ");
        f.click("saveScheme");
        QCOMPARE(dialog.result(), 1);
        QCOMPARE(scheme.name, std::string(" Fresh  "));
        QCOMPARE(scheme.outputFolder, f.outputFolder);
    }

    void badNumbersStopTheOperation() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.resizeEnabled = 1;
        scheme.resizeMode = stored(ResizeMode::Percent);
        const Scheme before = scheme;
        SchemeEditorDialog& dialog = f.open(EditorMode::EditScheme, &scheme);
        auto* percent = f.child<QLineEdit>("resizePercent");
        percent->clear();
        const QString refused = "缩放比例: 请输入 1 到 100000 之间的整数。";
        // A refresh, the full-screen preview, both saves: each is refused.
        f.child<QCheckBox>("livePreview")->setChecked(false);
        f.child<QCheckBox>("livePreview")->setChecked(true);
        f.click("fullScreenPreview");
        f.click("saveImage");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages, QStringList(4, refused));
        QCOMPARE(f.tabs()->currentIndex(), 1);
        QCOMPARE(dialog.focusWidget(), percent);
        QVERIFY(!f.viewed.has_value());
        QVERIFY(std::filesystem::is_empty(f.outputFolder));
        QCOMPARE(dialog.result(), 0);
        QVERIFY(scheme == before);

        // The validators keep letters out; a number too large is refused.
        QTest::keyClicks(percent, "12a-3");
        QCOMPARE(percent->text(), QString("123"));
        percent->setText("100001");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.size(), 5);
        f.child<QComboBox>("namingMode")->setCurrentIndex(1);
        f.child<QLineEdit>("renameStartNumber")->setText("99999999999");
        percent->setText("25");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.last(),
                 QString("后缀起始编号: 请输入 0 到 2147483647 之间的整数。"));
    }

    void prefixMayNotLeaveTheFolder() {
        EditorFixture f;
        std::filesystem::create_directories(f.outputFolder);
        Scheme scheme = schemeNamed("A", f.outputFolder);
        scheme.namingMode = stored(NamingMode::Rename);
        SchemeEditorDialog& dialog = f.open(EditorMode::EditScheme, &scheme);
        f.child<QLineEdit>("renamePrefix")->setText("../elsewhere");
        f.click("saveImage");
        f.click("saveScheme");
        QCOMPARE(f.dialogs.messages.size(), 2);
        for (const QString& message : f.dialogs.messages) QVERIFY(message.contains("../elsewhere"));
        QCOMPARE(dialog.result(), 0);
        QVERIFY(std::filesystem::is_empty(f.outputFolder));
        QVERIFY(!std::filesystem::exists(f.dir.path() / "elsewhere_1.png"));
    }

    void saveImage() {
        EditorFixture f;
        SchemeEditorDialog& dialog = f.open(EditorMode::SingleImage);
        auto* folder = f.child<QLineEdit>("outputFolder");
        f.tabs()->setCurrentIndex(6);
        folder->setText("  ");
        f.click("saveImage");
        QCOMPARE(f.dialogs.messages, QStringList{"请选择图像的目标路径！"});
        QCOMPARE(f.tabs()->currentIndex(), 0);
        QCOMPARE(dialog.focusWidget(), folder);

        // Written under the naming rule, through the pipeline.
        folder->setText(q(f.outputFolder));
        f.child<QComboBox>("namingMode")->setCurrentIndex(1);
        f.child<QLineEdit>("renamePrefix")->setText("shot");
        f.child<QCheckBox>("resizeEnabled")->setChecked(true);
        f.child<QRadioButton>("resizeWidthMode")->setChecked(true);
        f.child<QLineEdit>("resizeWidth")->setText("120");
        f.click("saveImage");
        const std::string output = f.outputFolder + "/shot_1.png";
        QCOMPARE(f.dialogs.messages.last(), QString("图像已经保存至 %1 。").arg(q(output)));
        QCOMPARE(vips::VImage::new_from_file(output.c_str()).width(), 120);

        // An existing file is replaced only when the user agrees.
        writeBytes(output, "keep");
        f.dialogs.answer = false;
        f.click("saveImage");
        QCOMPARE(f.dialogs.questions.last(),
                 QString("文件 %1 已经存在，是否要覆盖？").arg(q(output)));
        QCOMPARE(f.dialogs.kinds.back(), MessageKind::Exclamation);
        QCOMPARE(readBytes(output), std::string("keep"));
        f.dialogs.answer = true;
        f.click("saveImage");
        QCOMPARE(vips::VImage::new_from_file(output.c_str()).width(), 120);
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(f.outputFolder))
            names.push_back(entry.path().filename().string());
        QCOMPARE(names, std::vector<std::string>{"shot_1.png"});
    }

    // While a save's read hangs the dialog answers: its pages change, its
    // preview follows the settings. The question comes before, the saved
    // message after; closing the dialog does not wait for the hanging read.
    void saveWithAHangingReadKeepsTheDialogAnswering() {
        EditorFixture f(1600, 1200);
        HangingWholeReads reads;
        f.previewCache = reads.cache();
        SchemeEditorDialog& dialog = f.open(EditorMode::SingleImage);
        f.child<QLineEdit>("outputFolder")->setText(q(f.outputFolder));
        std::filesystem::create_directories(f.outputFolder);
        const std::string output = f.outputFolder + "/picture.png";
        writeBytes(output, "keep");
        auto* save = f.child<QPushButton>("saveImage");
        save->click();
        QTRY_COMPARE(f.dialogs.questions,
                     QStringList{QString("文件 %1 已经存在，是否要覆盖？").arg(q(output))});
        QVERIFY(!save->isEnabled());
        QCOMPARE(dialog.cursor().shape(), Qt::WaitCursor);

        f.tabs()->setCurrentIndex(1);
        QCOMPARE(f.tabs()->currentIndex(), 1);
        QVERIFY(f.renders([&] { f.child<QCheckBox>("resizeEnabled")->setChecked(true); }));
        QCOMPARE(f.previewBox()->picture().width(), 220);
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(readBytes(output), std::string("keep"));

        reads.release.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(
            f.dialogs.messages, QStringList{QString("图像已经保存至 %1 。").arg(q(output))}, 20000);
        QVERIFY(save->isEnabled());
        QCOMPARE(dialog.cursor().shape(), Qt::ArrowCursor);
        // Saved as the settings stood when the button was pressed.
        QCOMPARE(vips::VImage::new_from_file(output.c_str()).width(), 1600);

        // A dialog closed while its save hangs goes at once and hears nothing.
        EditorFixture g(1600, 1200);
        HangingWholeReads hanging;
        g.previewCache = hanging.cache();
        g.open(EditorMode::SingleImage);
        g.child<QLineEdit>("outputFolder")->setText(q(g.outputFolder));
        std::filesystem::create_directories(g.outputFolder);
        g.child<QPushButton>("saveImage")->click();
        QTRY_COMPARE_WITH_TIMEOUT(hanging.wholeReadsStarted->load(), 1, 20000);
        g.dialog.reset();
        hanging.release.set_value();
        QTRY_COMPARE_WITH_TIMEOUT(hanging.wholeReadsEnded->load(), 1, 20000);
        // Time for a write that must not come.
        QTest::qWait(300);
        QVERIFY(g.dialogs.messages.isEmpty());
        QVERIFY(std::filesystem::is_empty(g.outputFolder));
    }
};

VARNETTO_QTEST_MAIN(SaveTest)
#include "SaveTest.moc"
