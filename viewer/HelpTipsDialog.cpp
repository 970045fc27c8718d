#include "viewer/HelpTipsDialog.h"

#include "uikit/AccessibleNames.h"
#include "uikit/Artwork.h"
#include "viewer/HyperlinkLabel.h"
#include "viewer/InfoDialogParts.h"
#include "viewer/ProductInfo.h"

#include <QLabel>

namespace varnetto {

using namespace infodialog;

HelpTipsDialog::HelpTipsDialog(LinkOpener& links, UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QString::fromUtf8("Varnetto 帮助提示"));
    setWindowIcon(artwork::windowIcon());
    const DialogUnits units(font());

    addIcon(this, units, 7, 7);
    addText(this, units, "Varnetto V" VARNETTO_VERSION, 74, 7, 103, 9);
    addText(this, units, "批量处理图像，只需以下几步：", 73, 22, 151, 8);
    addText(this, units, "1、加载图像；", 17, 73, 213, 10);
    addText(this, units, "2、管理编辑图像处理参数方案；", 17, 87, 213, 10);
    addText(this, units, "3、锁定需要处理的图像；", 17, 102, 213, 10);
    addText(this, units, "4、选定一个图像处理方案，对锁定的图像执行批量处理；", 17, 117, 213, 10);
    const QLabel* more = addText(this, units, "5、更多的使用说明和使用技巧，请访问 Varnetto主页：",
                                 17, 133, 219, 13);

    auto* home = new HyperlinkLabel(QString::fromUtf8(kHomePage), {}, units.rect(85, 152, 81, 10),
                                    links, dialogs, this);
    home->setObjectName("link1033");

    addOkButton(this, units, 100, 176);
    const int right = std::max(more->geometry().right(), home->geometry().right());
    setFixedSize(std::max(units.x(252), right + units.x(7)), units.y(197));
    nameControlsForAssistiveTools(this);
}

}  // namespace varnetto
