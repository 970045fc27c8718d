#include "app/CommandIds.h"
#include "app/RememberedSettings.h"
#include "app/ToolTipDelay.h"
#include "app/WindowFixture.h"
#include "uikit/AccessibleNames.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QHash>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>

using namespace varnetto;
using namespace varnetto::testing;

class MainWindowTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void captionAndMenus() {
        WindowFixture f;
        QCOMPARE(f.window->windowTitle(), QString("  Varnetto v2.9.0"));
        QStringList texts;
        for (QAction* menu : f.window->menuBar()->actions()) {
            texts << menu->text();
            for (QAction* item : menu->menu()->actions()) texts << item->text();
        }
        const QStringList expected = {"图像",
                                      "加载目录        \tCtrl + F",
                                      "加载文件\tCtrl + O",
                                      "选择所有\tCtrl + A",
                                      "反向选中\tCtrl + S",
                                      "删除选中\tD / Del",
                                      "删除所有\tCtrl + D",
                                      "锁定选中\tSpace",
                                      "锁定所有\tCtrl + Q",
                                      "反向锁定\tCtrl + W",
                                      "解锁选中\tCtrl + K",
                                      "解锁所有\tCtrl + J",
                                      "退出系统\t Alt + F4",
                                      "方案",
                                      "处理方案管理",
                                      "编辑当前方案",
                                      "处理",
                                      "单张图像处理        \tCtrl + T",
                                      "处理效果预览\tCtrl + E",
                                      "执行批量处理\tCtrl + R",
                                      "帮助",
                                      "帮助提示",
                                      "关于 Varnetto"};
        QCOMPARE(texts, expected);
    }

    // Tool tips of the main window wake after 100 ms; other windows keep the
    // style's own delay.
    void mainWindowToolTipsComeAfter100Ms() {
        installMainWindowToolTipDelay();
        WindowFixture f;
        QWidget* toolBar = f.toolBar();
        QCOMPARE(toolBar->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, toolBar),
                 100);
        QWidget* choice = f.window->findChild<QComboBox*>();
        QVERIFY(choice);
        QCOMPARE(choice->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, choice), 100);
        QDialog elsewhere;
        QVERIFY(elsewhere.style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, &elsewhere) !=
                100);
    }

    void toolbarEntriesAndTips() {
        WindowFixture f;
        const QList<QAction*> actions = f.toolBar()->actions();
        QCOMPARE(actions.size(), 19);
        QStringList tips;
        QList<int> hidden;
        for (int i = 0; i < actions.size(); ++i) {
            if (!actions[i]->isSeparator()) tips << actions[i]->toolTip();
            if (!actions[i]->isVisible()) hidden << i;
            if (actions[i]->isVisible()) QVERIFY(actions[i]->isEnabled());
        }
        QCOMPARE(hidden, (QList<int>{12, 13, 14, 15, 16}));
        QCOMPARE(tips,
                 (QStringList{"从目录中加载图像", "加载一个图像文件", "选中所有的图像",
                              "删除选中的图像", "锁定选中的图像", "解锁选中的图像", "反向锁定图像",
                              "全屏浏览图像", "列表方式: 大图标", "列表方式: 小图标",
                              "列表方式: 列表", "列表方式: 详细列表", "帮助"}));
        QCOMPARE(actions[18]->data().toInt(), int(kToolbarHelp));
        QVERIFY(!actions[0]->icon().isNull());
    }

    // A command's menu item and toolbar button are one action, so disabling
    // or triggering one is the other; the key a menu item names is its key.
    void menuItemsAndButtonsShareOneAction() {
        WindowFixture f;
        // Keys the image list takes while it has the focus.
        QStringList listKeys;
        for (QAction* action : f.listView()->actions())
            for (const QKeySequence& key : action->shortcuts())
                listKeys << key.toString(QKeySequence::PortableText);
        QHash<int, QAction*> inMenus;
        for (QAction* menu : f.window->menuBar()->actions()) {
            for (QAction* item : menu->menu()->actions()) {
                if (item->isSeparator()) continue;
                inMenus.insert(item->data().toInt(), item);
                if (item->shortcut().isEmpty()) continue;
                const QString named = item->text().section('\t', 1).remove(' ');
                if (named == item->shortcut().toString(QKeySequence::PortableText)) continue;
                for (const QString& key : named.split('/'))
                    QVERIFY2(listKeys.contains(key), qPrintable(item->text()));
            }
        }
        int shared = 0;
        for (QAction* button : f.toolBar()->actions()) {
            const auto item = inMenus.constFind(button->data().toInt());
            if (button->isSeparator() || item == inMenus.constEnd()) continue;
            QCOMPARE(button, item.value());
            ++shared;
        }
        QCOMPARE(shared, 7);
    }

    void statusBarAndContextMenu() {
        WindowFixture f;
        QCOMPARE(f.status(StatusPart::Ready), QString("就绪"));
        QCOMPARE(f.status(StatusPart::LockCount), QString("0 个图像被锁定"));
        QStringList items;
        for (QAction* a : f.listMenu()->actions()) items << (a->isSeparator() ? "-" : a->text());
        QCOMPARE(items,
                 (QStringList{"锁定图像", "解锁图像", "-", "全屏预览", "-", "单张图像处理"}));
    }

    void statusBarPartsHoldTheirTextsAtEveryWidth() {
        WindowFixture f;
        writePicture(std::filesystem::path(f.pictures) / "big.jpg", 4000, 3000);
        f.writePictures(1);
        f.images().addSingleFile(f.pictures, "big.jpg");
        f.images().addSingleFile(f.pictures, "0.png");
        QVERIFY(f.waitUntilRead());
        f.selectRows({0});
        f.window->runCommand(kLockSelected);
        f.selectRows({1});
        f.selectRows({0});
        QCOMPARE(f.status(StatusPart::Dimensions), QString("4000 X 3000"));
        QCOMPARE(f.status(StatusPart::FileTime).size(), 19);
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        StatusBarParts* bar = f.statusBar();
        for (int width : {1366, 1024, 800}) {
            f.window->resize(width, 700);
            QTRY_COMPARE(bar->width(), f.window->centralWidget()->width());
            for (const char* part : {"statusReady", "statusLockCount", "statusLockState",
                                     "statusDimensions", "statusFileSize", "statusFileTime"}) {
                const auto* label = bar->findChild<QLabel*>(part);
                QVERIFY(label);
                const QFontMetrics metrics(label->font());
                // A framed label indents its text by half an "x"; the size
                // grip covers the end of the last part.
                int room = label->contentsRect().width() - metrics.horizontalAdvance('x') / 2;
                if (label == bar->findChild<QLabel*>("statusFileTime")) room -= bar->height();
                const QString what =
                    QString("%1 px, part %2: \"%3\"").arg(width).arg(part).arg(label->text());
                QVERIFY2(!label->text().isEmpty(), qPrintable(what));
                QVERIFY2(metrics.horizontalAdvance(label->text()) <= room, qPrintable(what));
                QVERIFY2(label->geometry().left() >= 0 && label->geometry().right() < bar->width(),
                         qPrintable(what));
            }
            QCOMPARE(bar->rightEdge(StatusPart::FileTime), bar->width());
            QVERIFY(bar->rightEdge(StatusPart::Path) > bar->rightEdge(StatusPart::Empty));
        }
    }

    void layoutFollowsTheClientSize() {
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QWidget* client = f.window->centralWidget();
        const int W = client->width();
        const int H = client->height();
        const int Ht = f.toolBar()->sizeHint().height();
        const int Hs = f.statusBar()->height();
        const int R = 5 + int(0.7 * W);
        QCOMPARE(f.listView()->geometry(), QRect(0, Ht + 1, int(0.7 * W), H - Hs - Ht - 1));
        QCOMPARE(f.statusBar()->geometry(), QRect(0, H - Hs, W, Hs));
        const QRect preview = f.previewBox()->geometry();
        QCOMPARE(preview, QRect(R, H - Hs - int(0.75 * (W - R)), W - R, int(0.75 * (W - R))));
        QCOMPARE(f.child<QWidget>("folderTreeArea")->geometry().topLeft(), QPoint(R, Ht + 90));
        QCOMPARE(f.child<QPushButton>("batchRunButton")->geometry(),
                 QRect(R + 70, Ht + 60, 90, 23));
        QCOMPARE(f.child<QPushButton>("editSchemeButton")->text(), QString("编辑方案"));
        f.window->resize(700, 500);
        QTRY_COMPARE(f.listView()->width(), int(0.7 * client->width()));
    }

    // The scheme label is as tall and wide as its glyphs, and the window's
    // default size shows the scheme choice whole.
    void defaultSizeShowsTheSchemeChoiceWhole() {
        WindowFixture f;
        MainWindow window(f.app.str(), f.dialogs, f.secondary);
        for (MainWindow* shown : {&window, f.window.get()}) {
            shown->show();
            QVERIFY(QTest::qWaitForWindowExposed(shown));
            auto* label = shown->findChild<QLabel*>("schemeLabel");
            const QFontMetrics metrics(label->font());
            QVERIFY(label->height() >= metrics.height());
            QVERIFY(label->width() >= metrics.horizontalAdvance(label->text()));
            const QRect choice = shown->findChild<QComboBox*>("schemeChoice")->geometry();
            QVERIFY(choice.left() > label->geometry().right());
            QVERIFY2(choice.right() < shown->centralWidget()->width(),
                     qPrintable(QString("%1 in %2").arg(choice.right()).arg(shown->width())));
        }
    }

    // The window's place and state, the scheme, the pickers' folders and the
    // batch dialog's box come back at the next start, from the user's
    // configuration folder.
    void choicesAreRememberedBetweenStarts() {
        TempDir config;
        const QByteArray before = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.str()));
        QCOMPARE(RememberedSettings::defaultFile(),
                 QString::fromStdString(config.str("varnetto/varnetto.conf")));
        {
            // The first start: maximized, as the program always started.
            WindowFixture first;
            QtUserDialogs pickers;
            RememberedSettings kept;
            kept.restore(*first.window, pickers);
            kept.show(*first.window);
            QVERIFY(first.window->isMaximized());
            QVERIFY(first.batchDialog()->findChild<QCheckBox*>("autoCloseBox")->isChecked());
            QCOMPARE(first.batchDialog()->existingOutput(), ExistingOutput::Replace);
        }
        for (const bool maximized : {false, true}) {
            {
                WindowFixture f;
                f.window->resize(900, 610);
                f.window->show();
                if (maximized) f.window->showMaximized();
                f.schemeChoice()->setCurrentIndex(1);
                f.batchDialog()->findChild<QCheckBox*>("autoCloseBox")->setChecked(false);
                f.batchDialog()->findChild<QComboBox*>("existingOutputChoice")->setCurrentIndex(2);
                QtUserDialogs pickers;
                pickers.setPickerFolders({"/folders/last", "/files/last"});
                RememberedSettings().save(*f.window, pickers);
            }
            WindowFixture next;
            QtUserDialogs pickers;
            RememberedSettings kept;
            kept.restore(*next.window, pickers);
            kept.show(*next.window);
            QCOMPARE(next.window->isMaximized(), maximized);
            if (!maximized) QCOMPARE(next.window->size(), QSize(900, 610));
            QCOMPARE(next.schemeChoice()->currentText(), QString("Beta"));
            QCOMPARE(pickers.pickerFolders().folder, QString("/folders/last"));
            QCOMPARE(pickers.pickerFolders().fileFolder, QString("/files/last"));
            // Every opening of the batch dialog starts with the box as left.
            next.batchDialog()->prepare("Beta", 1, {});
            QVERIFY(!next.batchDialog()->findChild<QCheckBox*>("autoCloseBox")->isChecked());
            QCOMPARE(next.batchDialog()->existingOutput(), ExistingOutput::Newer);
        }
        if (before.isNull())
            qunsetenv("XDG_CONFIG_HOME");
        else
            qputenv("XDG_CONFIG_HOME", before);
    }

    void everyControlHasAnAccessibleName() {
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QCOMPARE(controlsWithoutAccessibleName(f.window.get()).join(", "), QString());
        // The choice is named by its label, not by its current entry.
        QCOMPARE(f.schemeChoice()->accessibleName(), QString("选择处理方案："));
    }

    void escapeAndEnterLeaveTheWindowOpen() {
        WindowFixture f;
        f.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
        QTest::keyClick(f.window.get(), Qt::Key_Escape);
        QTest::keyClick(f.window.get(), Qt::Key_Return);
        QVERIFY(f.window->isVisible());
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    void missingStoreStillGivesTheWindow() {
        TempDir app;
        RecordingDialogs dialogs;
        RecordingSecondaryDialogs secondary;
        MainWindow window(app.str(), dialogs, secondary);
        QCOMPARE(window.findChild<QComboBox*>("schemeChoice")->count(), 0);
        QCOMPARE(dialogs.messages.size(), 1);
        SchemePanel& panel = *window.findChild<SchemePanel*>("schemePanel");
        QVERIFY(panel.currentScheme() == nullptr);
        QCOMPARE(panel.currentOutputFolder(), std::string());
    }

    void viewCommandsWorkThoughTheirButtonsAreHidden() {
        WindowFixture f;
        QVERIFY(f.window->runCommand(kViewList));
        QCOMPARE(f.list().viewMode(), ListViewMode::List);
        QVERIFY(f.window->runCommand(kViewDetailsAlt));
        QCOMPARE(f.list().viewMode(), ListViewMode::Details);
        QVERIFY(f.window->runCommand(kViewLargeIconsAlt));
        QCOMPARE(f.list().viewMode(), ListViewMode::LargeIcons);
        QCOMPARE(f.listView()->iconSize(), QSize(160, 120));
        QCOMPARE(f.listView()->gridSize(), QSize(172, 160));
        QVERIFY(!f.window->runCommand(4242));
    }

    void laterDialogsAreRouted() {
        WindowFixture f;
        f.window->runCommand(kHelp);
        f.window->runCommand(kToolbarHelp);
        f.window->runCommand(kAbout);
        f.window->runCommand(kQuickView);
        QCOMPARE(f.secondary.calls, (QStringList{"help", "help", "about", "viewer"}));
        QVERIFY(f.secondary.viewedScheme);
        QCOMPARE(f.secondary.viewedScheme->name, f.panel().currentScheme()->name);
    }
};

VARNETTO_QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
