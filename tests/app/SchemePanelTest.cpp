#include "app/CommandIds.h"
#include "app/DialogRouter.h"
#include "app/WindowFixture.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

using namespace varnetto;
using namespace varnetto::testing;

namespace {}  // namespace

class SchemePanelTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void choiceShowsTheStoreInOrder() {
        WindowFixture f({"Zeta", "Alpha", "Mu"});
        QCOMPARE(itemsOf(f.schemeChoice()), (QStringList{"Zeta", "Alpha", "Mu"}));
        QCOMPARE(f.schemeChoice()->currentIndex(), 0);
        QCOMPARE(f.panel().currentScheme()->name, std::string("Zeta"));
        QCOMPARE(f.panel().currentOutputFolder(), f.outputFolder);
    }

    void flatButtonsShowHoverPressAndFocus() {
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowActive(f.window.get()));
        for (const char* name : {"editSchemeButton", "quickViewButton", "schemeManagerButton",
                                 "effectPreviewButton", "batchRunButton"}) {
            auto* button = f.child<QPushButton>(name);
            f.schemeChoice()->setFocus();
            const QImage plain = button->grab().toImage();
            QTest::mouseMove(button, button->rect().center());
            QTRY_VERIFY(button->underMouse());
            const QImage hover = button->grab().toImage();
            button->setDown(true);
            const QImage pressed = button->grab().toImage();
            button->setDown(false);
            QTest::mouseMove(f.listView(), f.listView()->rect().center());
            QTRY_VERIFY(!button->underMouse());
            button->setFocus(Qt::TabFocusReason);
            QVERIFY(button->hasFocus());
            const QImage focused = button->grab().toImage();
            QVERIFY2(hover != plain, name);
            QVERIFY2(pressed != plain && pressed != hover, name);
            QVERIFY2(focused != plain && focused != hover, name);
        }
    }

    void reloadReselectsByPrefixIgnoringCase() {
        WindowFixture f({"Alpha", "Beta"});
        f.schemeChoice()->setCurrentIndex(1);
        writeSchemeStore(f.app.str(), {"alpha", "BETA two", "beta"}, f.outputFolder);
        f.panel().reloadSchemes();
        QCOMPARE(itemsOf(f.schemeChoice()), (QStringList{"alpha", "BETA two", "beta"}));
        QCOMPARE(f.schemeChoice()->currentText(), QString("BETA two"));
        writeSchemeStore(f.app.str(), {"One", "Two"}, f.outputFolder);
        f.panel().reloadSchemes();
        QCOMPARE(f.schemeChoice()->currentIndex(), 0);
    }

    void emptyStoreMeansNoCurrentScheme() {
        WindowFixture f(std::vector<std::string>{});
        QCOMPARE(f.schemeChoice()->count(), 0);
        f.window->runCommand(kEditSchemeButton);
        f.window->runCommand(kEffectPreview);
        f.window->runCommand(kBatchRun);
        QCOMPARE(f.dialogs.messages, (QStringList{"没有选中的处理方案。",
                                                  "    没有锁定的图像。    ", "没有锁定的图像。"}));
        f.dialogs.messages.clear();
        f.writePictures(1);
        f.images().addAndLockFile(f.pictures + "/0.png");
        QVERIFY(f.waitUntilRead());
        f.window->runCommand(kEffectPreviewButton);
        f.window->runCommand(kBatchRunButton);
        QCOMPARE(f.dialogs.messages, (QStringList{"没有选中的处理方案。", "没有选中的处理方案。"}));
        QVERIFY(f.secondary.calls.isEmpty());
        for (MessageKind kind : f.dialogs.kinds) QCOMPARE(kind, MessageKind::Stop);
    }

    // The manager and the editor preview the first selected row's picture,
    // the first row's when none is selected, and the application folder's
    // sample when that picture is not there.
    void previewImagePathFallsBackToTheSample() {
        WindowFixture f;
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        const std::string sample = f.app.str() + "/Preview.jpg";
        const auto previewed = [&f] {
            f.secondary.calls.clear();
            f.window->runCommand(kSchemeManager);
            f.waitForLooks();
            return f.secondary.calls.join("|");
        };
        QCOMPARE(previewed(), "manager " + QString::fromStdString(sample));
        f.writePictures(3);
        QVERIFY(f.loadPictures());
        QCOMPARE(previewed(), "manager " + QString::fromStdString(f.pictures + "/0.png"));
        f.selectRows({2, 1});
        QCOMPARE(previewed(), "manager " + QString::fromStdString(f.pictures + "/1.png"));
        std::filesystem::remove(f.pictures + "/1.png");
        QCOMPARE(previewed(), "manager " + QString::fromStdString(sample));
    }

    void missingPreviewPicturesAreReported() {
        WindowFixture f;
        const QString sample = QString::fromStdString(f.app.str() + "/Preview.jpg");
        f.window->runCommand(kEditScheme);
        QVERIFY(f.waitForLooks());
        f.window->runCommand(kSchemeManagerButton);
        QVERIFY(f.waitForLooks());
        QCOMPARE(f.dialogs.messages, (QStringList{QString("图像 %1 不存在。").arg(sample),
                                                  QString("预览图像 %1 不存在。").arg(sample)}));
        QVERIFY(f.secondary.calls.isEmpty());
    }

    void editorAndManagerGetThePreviewPicture() {
        WindowFixture f;
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        const QString sample = QString::fromStdString(f.app.str() + "/Preview.jpg");
        f.window->runCommand(kSchemeManager);
        QVERIFY(f.waitForLooks());
        f.window->runCommand(kEditSchemeButton);
        QVERIFY(f.waitForLooks());
        QCOMPARE(f.secondary.calls, (QStringList{"manager " + sample, "editor 1 " + sample}));
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void keptEditIsSavedAndTheChoiceRefilled() {
        WindowFixture f({"Alpha", "Beta"});
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        f.schemeChoice()->setCurrentIndex(1);
        f.secondary.editorResult = 1;
        f.secondary.renameTo = "Better";
        f.window->runCommand(kEditScheme);
        QVERIFY(f.waitForLooks());
        QCOMPARE(itemsOf(f.schemeChoice()), (QStringList{"Alpha", "Better"}));
        // No entry begins with the old name "Beta": the first one is chosen.
        QCOMPARE(f.schemeChoice()->currentIndex(), 0);
        SchemeStore saved(f.app.str());
        SilentReporter silent;
        QVERIFY(saved.load(silent));
        QVERIFY(saved.findByName("Better") != nullptr);
    }

    void managerSaveReloadsTheChoice() {
        WindowFixture f({"Alpha", "Beta"});
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        // The real manager, opened through the router; the user's steps run
        // once it is up, with an editor stand-in that names the new scheme.
        std::function<void(QWidget*)> steps;
        f.secondary.manager = [&](QWidget* owner, const ManagerRequest& request) {
            ManagerRequest withEditor = request;
            withEditor.openEditor = [](QWidget*, const EditorRequest& r) {
                r.scheme->name = "Gamma";
                return 1;
            };
            QTimer::singleShot(0, [&] {
                for (QWidget* top : QApplication::topLevelWidgets())
                    if (top->objectName() == "schemeManager" && top->isVisible()) steps(top);
            });
            DialogRouter router(f.dialogs);
            return router.schemeManager(owner, withEditor);
        };
        const auto click = [](QWidget* manager, const char* button) {
            manager->findChild<QPushButton*>(button)->click();
        };
        const auto deleteAll = [&](QWidget* manager) {
            auto* list = manager->findChild<QListWidget*>("schemeList");
            while (list->count() > 0) {
                list->setCurrentRow(0);
                click(manager, "deleteButton");
            }
        };

        steps = [&](QWidget* manager) {
            click(manager, "addButton");
            click(manager, "saveButton");
        };
        f.window->runCommand(kSchemeManager);
        QVERIFY(f.waitForLooks());
        QCOMPARE(itemsOf(f.schemeChoice()), (QStringList{"Alpha", "Beta", "Gamma"}));

        steps = [&](QWidget* manager) {
            deleteAll(manager);
            click(manager, "cancelButton");
        };
        f.window->runCommand(kSchemeManagerButton);
        QVERIFY(f.waitForLooks());
        QCOMPARE(itemsOf(f.schemeChoice()), (QStringList{"Alpha", "Beta", "Gamma"}));

        steps = [&](QWidget* manager) {
            deleteAll(manager);
            click(manager, "saveButton");
        };
        f.window->runCommand(kSchemeManager);
        QVERIFY(f.waitForLooks());
        QCOMPARE(f.schemeChoice()->count(), 0);
        QVERIFY(f.panel().currentScheme() == nullptr);
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void cancelledEditChangesNothing() {
        WindowFixture f({"Alpha"});
        writePicture(f.app.path() / "Preview.jpg", 80, 60);
        f.secondary.editorResult = 0;
        f.window->runCommand(kEditScheme);
        QVERIFY(f.waitForLooks());
        SchemeStore saved(f.app.str());
        SilentReporter silent;
        saved.load(silent);
        QCOMPARE(saved.at(0)->name, std::string("Alpha"));
    }

    void effectPreviewOpensTheLockedPreview() {
        WindowFixture f;
        f.writePictures(1);
        f.images().addAndLockFile(f.pictures + "/0.png");
        QVERIFY(f.waitUntilRead());
        f.window->runCommand(kEffectPreviewButton);
        QCOMPARE(f.secondary.calls, QStringList{"full 2"});
        // The current scheme goes with the locked row.
        const ViewerRequest& request = f.secondary.lastViewer;
        QVERIFY(request.scheme);
        QCOMPARE(request.scheme->name, f.panel().currentScheme()->name);
        QCOMPARE(request.rows.size(), size_t{1});
        QVERIFY(request.rows[0].locked);
    }

    void singleImageWorksOnTheCurrentRow() {
        WindowFixture f;
        f.writePictures(3);
        QVERIFY(f.loadPictures());
        f.window->runCommand(kSingleImage);
        QVERIFY(f.waitForLooks());
        QVERIFY(f.secondary.calls.isEmpty());
        f.selectRows({2});
        f.selectRows({0, 1});
        f.window->runCommand(kListSingleImage);
        QVERIFY(f.waitForLooks());
        QCOMPARE(f.secondary.calls,
                 QStringList{"editor 2 " + QString::fromStdString(f.pictures + "/2.png")});
        std::filesystem::remove(f.pictures + "/2.png");
        f.window->runCommand(kSingleImage);
        QVERIFY(f.waitForLooks());
        QCOMPARE(
            f.dialogs.messages,
            QStringList{
                QString("图像 %1 不存在。").arg(QString::fromStdString(f.pictures + "/2.png"))});
    }

    void singleImageIgnoresAPlaceholder() {
        WindowFixture f;
        f.list().appendPlaceholders(f.pictures, {"later.png"});
        f.selectRows({0});
        f.window->runCommand(kSingleImage);
        QVERIFY(f.waitForLooks());
        QVERIFY(f.secondary.calls.isEmpty());
        QVERIFY(f.dialogs.messages.isEmpty());
    }
};

VARNETTO_QTEST_MAIN(SchemePanelTest)
#include "SchemePanelTest.moc"
