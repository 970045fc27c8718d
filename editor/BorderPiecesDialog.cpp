#include "editor/BorderPiecesDialog.h"

#include "uikit/AccessibleNames.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace varnetto {

namespace {

// Rows in piece order: label, and the role named in the picker's tool tip.
constexpr std::array<const char*, 8> kRowLabels{
    "上边框图像：", "左边框图像：", "下边框图像：", "右边框图像：",
    "左上角图像：", "左下角图像：", "右下角图像：", "右上角图像：",
};

const char* const kPieceFilter =
    "所有图像(*.jpg; *.bmp) (*.jpg *.bmp);;"
    "JPG 图像文件(*.jpg) (*.jpg);;"
    "BMP 图像文件(*.bmp) (*.bmp);;"
    "所有文件(*.*) (*)";

constexpr int kClientWidth = 410;
constexpr int kClientHeight = 247;

}  // namespace

BorderPiecesDialog::BorderPiecesDialog(const std::array<std::string, 8>& pieces,
                                       UserDialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
    setObjectName("borderPiecesDialog");
    setWindowTitle(text("选择边框图像文件"));
    setFixedSize(kClientWidth, kClientHeight);
    for (int row = 0; row < 8; ++row) {
        const int y = 20 + 23 * row;
        auto* edit = new QLineEdit(QString::fromStdString(pieces[static_cast<size_t>(row)]), this);
        edit->setObjectName(QStringLiteral("piece%1").arg(row + 1));
        edit->setGeometry(95, y, 250, 18);
        auto* label = new QLabel(text(kRowLabels[static_cast<size_t>(row)]), this);
        label->setGeometry(10, y, 80, 18);
        label->setBuddy(edit);
        auto* browse = new QPushButton(QStringLiteral("..."), this);
        browse->setObjectName(QStringLiteral("choosePiece%1").arg(row + 1));
        browse->setGeometry(350, y, 40, 18);
        browse->setAutoDefault(false);
        QString role = label->text();
        role.chop(1);  // the colon
        browse->setToolTip(text("选择%1文件").arg(role));
        browse->setAccessibleName(browse->toolTip());
        connect(browse, &QPushButton::clicked, this, [this, row] { choose(row); });
        edits_[static_cast<size_t>(row)] = edit;
    }
    auto* ok = new QPushButton(text("确定"), this);
    ok->setObjectName("ok");
    ok->setGeometry(kClientWidth - 145, 215, 60, 22);
    ok->setDefault(true);
    auto* cancel = new QPushButton(text("取消"), this);
    cancel->setObjectName("cancel");
    cancel->setGeometry(kClientWidth - 80, 215, 60, 22);
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
    connect(cancel, &QPushButton::clicked, this, &BorderPiecesDialog::reject);
    nameControlsForAssistiveTools(this);
}

void BorderPiecesDialog::choose(int row) {
    const QString path = dialogs_.chooseOpenFile(this, text(kPieceFilter), QString());
    if (!path.isEmpty()) edits_[static_cast<size_t>(row)]->setText(path);
}

std::array<std::string, 8> BorderPiecesDialog::pieces() const {
    std::array<std::string, 8> paths;
    for (size_t i = 0; i < paths.size(); ++i) paths[i] = edits_[i]->text().toStdString();
    return paths;
}

void BorderPiecesDialog::reject() {
    done(2);
}

}  // namespace varnetto
