#include "viewer/AboutDialog.h"

#include "imaging/ImageDiagnostics.h"
#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "viewer/HyperlinkLabel.h"
#include "viewer/InfoDialogParts.h"
#include "viewer/ProductInfo.h"

#include <QLabel>

namespace varnetto {

using namespace infodialog;

AboutDialog::AboutDialog(LinkOpener& links, UserDialogs& dialogs, const std::string& storePath,
                         QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("关于 Varnetto"));
    setWindowIcon(artwork::windowIcon());
    const DialogUnits units(font());

    addIcon(this, units, 7, 7);
    addText(this, units, "Varnetto", 55, 7, 119, 8);
    addText(this, units, "version " VARNETTO_VERSION, 55, 19, 119, 8);
    addText(this, units, "Varnetto 项目自制，基于 Qt 6 与 libvips。", 55, 31, 165, 8);

    // Each link follows its lead-in, however wide the font makes that.
    const QLabel* contact =
        addText(this, units, "如有任何使用上的问题，请与作者联系，Email：", 14, 50, 178, 12);
    QRect area = units.rect(196, 50, 69, 11);
    area.moveLeft(std::max(area.left(), contact->geometry().right() + units.x(4)));
    auto* mail = new HyperlinkLabel(QString::fromUtf8(kAuthorEmail),
                                    QStringLiteral("mailto:") + QString::fromUtf8(kAuthorEmail),
                                    area, links, dialogs, this);
    mail->setObjectName("link1034");

    const QLabel* update =
        addText(this, units, "更新的版本请到 Varnetto 主页上下载：", 14, 67, 159, 11);
    area = units.rect(184, 67, 78, 12);
    area.moveLeft(std::max(area.left(), update->geometry().right() + units.x(4)));
    auto* home = new HyperlinkLabel(QString::fromUtf8(kHomePage), {}, area, links, dialogs, this);
    home->setObjectName("link1035");

    const std::string store = "图像处理方案文件：" + storePath;
    const QLabel* storeLine = addText(this, units, store.c_str(), 14, 84, 250, 8);

    // Said once, here: the self-test at start-up found that libvips' reasons
    // cannot be told apart by picture, so batches run one picture at a time.
    const int extra = errorsStayWithTheirPicture() ? 0 : 12;
    if (extra > 0)
        addText(this, units, "图像库的错误信息无法按图像区分，批量处理将逐张进行。", 14, 96, 250,
                8);

    addOkButton(this, units, 120, 100 + extra);
    const int right = std::max(
        {mail->geometry().right(), home->geometry().right(), storeLine->geometry().right()});
    setFixedSize(std::max(units.x(297), right + units.x(7)), units.y(121 + extra));
    nameControlsForAssistiveTools(this);
}

}  // namespace varnetto
