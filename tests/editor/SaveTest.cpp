#include "editor/EditorFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

QString q(const std::string& text) {
    return QString::fromStdString(text);
}

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
};

VARNETTO_QTEST_MAIN(SaveTest)
#include "SaveTest.moc"
