#include "support/UiTestSupport.h"
#include "uikit/AccessibleNames.h"
#include "viewer/AboutDialog.h"
#include "viewer/HelpTipsDialog.h"
#include "viewer/HyperlinkLabel.h"
#include "viewer/LinkOpener.h"

#include <QLabel>
#include <QPushButton>
#include <QUrl>

using namespace varnetto;
using namespace varnetto::testing;

namespace {

// Answers every open with a preset code and remembers the targets.
class ScriptedOpener final : public LinkOpener {
  public:
    int open(const QString& target) override {
        targets << target;
        return result;
    }
    int result = kLinkOpened;
    QStringList targets;
};

QColor colorOf(const QLabel* label) {
    return label->palette().color(QPalette::WindowText);
}

QStringList staticTexts(const QWidget* dialog) {
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>())
        if (!label->text().isEmpty()) texts << label->text();
    return texts;
}

}  // namespace

class AboutHelpTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void aboutShowsItsTextsAndLinks() {
        ScriptedOpener opener;
        RecordingDialogs dialogs;
        AboutDialog about(opener, dialogs, "/home/ann/.local/share/varnetto/Schemes/Schemes.bis");
        QCOMPARE(about.windowTitle(), QString("关于 Varnetto"));
        const QStringList texts = staticTexts(&about);
        for (const char* text :
             {"Varnetto", "version 2.9.0", "如有任何使用上的问题，请与作者联系，Email：",
              "更新的版本请到 Varnetto 主页上下载：",
              "图像处理方案文件：/home/ann/.local/share/varnetto/Schemes/Schemes.bis"}) {
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        }
        auto* mail = about.findChild<HyperlinkLabel*>("link1034");
        auto* home = about.findChild<HyperlinkLabel*>("link1035");
        QCOMPARE(mail->text(), QString("varnetto@example.org"));
        QCOMPARE(mail->target(), QString("mailto:varnetto@example.org"));
        QCOMPARE(mail->toolTip(), mail->target());
        QCOMPARE(home->text(), QString("https://varnetto.example.org"));
        QCOMPARE(home->target(), home->text());
        QCOMPARE(home->cursor().shape(), Qt::PointingHandCursor);
        // Every link is whole inside the dialog and clear of its lead-in.
        for (const QLabel* label : about.findChildren<QLabel*>()) {
            if (label->text().endsWith("Email：")) QVERIFY(label->geometry().right() < mail->x());
            if (label->text().endsWith("下载：")) QVERIFY(label->geometry().right() < home->x());
        }
        QVERIFY(about.rect().contains(mail->geometry()));
        QVERIFY(about.rect().contains(home->geometry()));
        auto* ok = about.findChild<QPushButton*>("ok");
        QCOMPARE(ok->text(), QString("确定"));
        QVERIFY(ok->isDefault());
        QCOMPARE(controlsWithoutAccessibleName(&about), QStringList());
        about.show();
        ok->click();
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }

    void helpListsTheStepsAndLinksTheHomePage() {
        ScriptedOpener opener;
        RecordingDialogs dialogs;
        HelpTipsDialog help(opener, dialogs);
        QCOMPARE(help.windowTitle(), QString("Varnetto 帮助提示"));
        const QStringList texts = staticTexts(&help);
        for (const char* text :
             {"Varnetto V2.9.0", "1、加载图像；", "2、管理编辑图像处理参数方案；",
              "3、锁定需要处理的图像；", "4、选定一个图像处理方案，对锁定的图像执行批量处理；",
              "5、更多的使用说明和使用技巧，请访问 Varnetto主页："}) {
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        }
        auto* home = help.findChild<HyperlinkLabel*>("link1033");
        QCOMPARE(home->target(), QString("https://varnetto.example.org"));
        QVERIFY(help.rect().contains(home->geometry()));
        QCOMPARE(controlsWithoutAccessibleName(&help), QStringList());
        QTest::mouseClick(home, Qt::LeftButton, {}, home->rect().center());
        QCOMPARE(opener.targets, QStringList{"https://varnetto.example.org"});
    }

    void linkColoursFollowTheLastOpen() {
        ScriptedOpener opener;
        RecordingDialogs dialogs;
        QWidget owner;
        HyperlinkLabel link("home", "https://example.org/", {10, 10, 200, 20}, opener, dialogs,
                            &owner);
        QCOMPARE(colorOf(&link), QColor(0, 0, 238));
        QTest::mouseClick(&link, Qt::LeftButton, {}, link.rect().center());
        QVERIFY(link.visited());
        QCOMPARE(colorOf(&link), QColor(85, 26, 139));
        QVERIFY(dialogs.messages.isEmpty());

        opener.result = kLinkFileNotFound;
        QTest::mouseClick(&link, Qt::LeftButton, {}, link.rect().center());
        QVERIFY(!link.visited());
        QCOMPARE(colorOf(&link), QColor(0, 0, 238));
        QCOMPARE(dialogs.messages,
                 QStringList{"Unable to open hyperlink:\n\nThe specified file was not found."});
        QCOMPARE(dialogs.kinds.back(), MessageKind::Exclamation);
        QCOMPARE(opener.targets, (QStringList{"https://example.org/", "https://example.org/"}));
    }

    void failureCodesHaveTheirTexts() {
        const struct {
            int code;
            const char* text;
        } cases[] = {
            {0, "The operating system is out\nof memory or resources."},
            {26, "A sharing violation occurred. "},
            {31, "There is no application associated\nwith the given filename extension."},
            {32, "The specified dynamic-link library was not found."},
            {1, "Unknown Error (1) occurred."},
            {-5, "Unknown Error (-5) occurred."},
        };
        for (const auto& c : cases) QCOMPARE(hyperlinkErrorText(c.code), QString(c.text));
    }

    void aStaticWithoutTextShowsItsTargetAndFitsIt() {
        ScriptedOpener opener;
        RecordingDialogs dialogs;
        QWidget owner;
        HyperlinkLabel link("", "https://example.org/a/long/address", {10, 10, 20, 40}, opener,
                            dialogs, &owner);
        QCOMPARE(link.text(), QString("https://example.org/a/long/address"));
        QCOMPARE(link.toolTip(), link.text());
        const QSize text = link.fontMetrics().size(Qt::TextSingleLine, link.text());
        QCOMPARE(link.geometry(), QRect(QPoint(10, 10), text));
        // A text without a target opens the text.
        HyperlinkLabel plain("https://example.org/", "", {0, 0, 10, 10}, opener, dialogs, &owner);
        QCOMPARE(plain.target(), QString("https://example.org/"));
    }

    void desktopFailuresFallBackToXdgOpen() {
        QStringList started;
        bool desktopOpens = false;
        QString xdgOpen = "/usr/bin/xdg-open";
        bool starts = true;
        DesktopLinkOpener opener({[&](const QUrl&) { return desktopOpens; },
                                  [&](const QString&) { return xdgOpen; },
                                  [&](const QString& program, const QStringList& arguments) {
                                      started << program + " " + arguments.join(' ');
                                      return starts;
                                  }});
        QCOMPARE(opener.open("mailto:a@example.org"), kLinkOpened);
        QCOMPARE(started, QStringList{"/usr/bin/xdg-open mailto:a@example.org"});
        starts = false;
        QCOMPARE(opener.open("https://example.org/"), kLinkFileNotFound);
        xdgOpen.clear();
        QCOMPARE(opener.open("https://example.org/"), kLinkNoAssociation);
        desktopOpens = true;
        started.clear();
        QVERIFY(opener.open("https://example.org/") > 32);
        QVERIFY(started.isEmpty());
    }
};

VARNETTO_QTEST_MAIN(AboutHelpTest)
#include "AboutHelpTest.moc"
