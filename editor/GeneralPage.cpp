#include "editor/GeneralPage.h"

#include "schemes/SchemeStore.h"
#include "uikit/UserDialogs.h"
#include "uikit/Utf8Text.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace varnetto {

namespace {

constexpr int kLabelWidth = 100;

}  // namespace

std::string storedOutputFolder(const QString& typed) {
    QString folder = typed.trimmed();
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder.toStdString();
}

GeneralPage::GeneralPage(EditorFrame& frame, QWidget* parent) : EditorPage(frame, parent) {
    name_ = makeTextEdit(this, "schemeName");
    outputFolder_ = makeTextEdit(this, "outputFolder");
    outputFolder_->setFixedWidth(250);
    browse_ = new QPushButton(QStringLiteral("..."), this);
    browse_->setObjectName("browseOutputFolder");
    browse_->setFixedWidth(30);
    browse_->setToolTip(text("选择图像输出目录"));
    browse_->setAccessibleName(text("选择图像输出目录"));

    naming_ = new CodedList(this);
    naming_->setObjectName("namingMode");
    naming_->addCoded(text("原文件名称"), stored(NamingMode::KeepName));
    naming_->addCoded(text("重命名"), stored(NamingMode::Rename));
    naming_->setCurrentIndex(0);

    prefix_ = makeTextEdit(this, "renamePrefix");
    prefix_->setFixedWidth(100);
    prefix_->setText(QStringLiteral("Pic"));
    startNumber_ = new WholeNumberEdit(text("后缀起始编号"), 0,
                                       std::numeric_limits<std::int32_t>::max(), this);
    startNumber_->setObjectName("renameStartNumber");
    startNumber_->setFixedWidth(100);
    startNumber_->setText(QStringLiteral("1"));

    inheritFrom_ = new QComboBox(this);
    inheritFrom_->setObjectName("inheritFrom");
    inheritFrom_->setFixedWidth(150);
    fillInheritList();

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(10, 10, 10, 10);
    grid->setVerticalSpacing(5);
    grid->setColumnMinimumWidth(0, kLabelWidth);
    grid->addWidget(makeLabel("处理方案名称：", this, name_), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(makeLabel("图像输出目录：", this, outputFolder_), 1, 0);
    grid->addLayout(leftAlignedRow({outputFolder_, browse_}), 1, 1, 1, 2);
    grid->addWidget(makeLabel("命名规则：", this, naming_), 2, 0);
    grid->addWidget(naming_, 2, 1);
    prefixLabel_ = makeLabel("前缀字符：", this, prefix_);
    grid->addWidget(prefixLabel_, 3, 0);
    grid->addWidget(prefix_, 3, 1);
    startLabel_ = makeLabel("后缀起始编号：", this, startNumber_);
    grid->addWidget(startLabel_, 4, 0);
    grid->addWidget(startNumber_, 4, 1);
    grid->setRowMinimumHeight(5, 20);
    grid->addWidget(makeLabel("方案继承自：", this, inheritFrom_), 6, 0);
    grid->addWidget(inheritFrom_, 6, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(7, 1);

    applyRenameRule();
    connect(naming_, &QComboBox::currentIndexChanged, this, &GeneralPage::applyRenameRule);
    connect(browse_, &QPushButton::clicked, this, &GeneralPage::browseOutputFolder);
    // Choosing the entry shown already ("无" again) reverts the pages too.
    connect(inheritFrom_, &QComboBox::activated, this, &GeneralPage::inherit);
}

QString GeneralPage::title() const {
    return text("常规设置");
}

void GeneralPage::fillInheritList() {
    inheritFrom_->addItem(text("无"));
    const Scheme* edited = frame().editedScheme();
    if (const SchemeStore* store = frame().store()) {
        for (const Scheme& scheme : *store) {
            if (edited && scheme.name == edited->name) continue;
            inheritFrom_->addItem(QString::fromStdString(scheme.name));
        }
    }
    inheritFrom_->setCurrentIndex(0);
}

void GeneralPage::load(const Scheme& scheme) {
    name_->setText(QString::fromStdString(scheme.name));
    outputFolder_->setText(QString::fromStdString(scheme.outputFolder));
    naming_->showCode(scheme.namingMode);
    applyRenameRule();
    prefix_->setText(QString::fromStdString(scheme.renamePrefix));
    startNumber_->showNumber(scheme.renameStartNumber);
}

std::optional<FieldRefusal> GeneralPage::read(Scheme& scheme) const {
    const std::optional<std::int32_t> start = startNumber_->number();
    if (!start) return startNumber_->refusal();
    scheme.name = name_->text().toStdString();
    scheme.outputFolder = storedOutputFolder(outputFolder_->text());
    scheme.namingMode = naming_->code();
    scheme.renamePrefix = prefix_->text().toStdString();
    scheme.renameStartNumber = *start;
    return std::nullopt;
}

void GeneralPage::applyRenameRule() {
    const bool rename = naming_->code() == stored(NamingMode::Rename);
    setControlsEnabled({prefixLabel_, prefix_, startLabel_, startNumber_}, rename);
}

void GeneralPage::browseOutputFolder() {
    const QString folder = frame().dialogs().chooseFolder(this, text("选择图像输出目录"));
    if (!folder.isEmpty()) outputFolder_->setText(folder);
}

void GeneralPage::inherit(int index) {
    const Scheme* source = frame().editedScheme();
    if (index > 0) {
        const SchemeStore* store = frame().store();
        source = store ? store->findByName(inheritFrom_->itemText(index).toStdString()) : nullptr;
    }
    if (source) {
        const QString typedName = name_->text();
        frame().loadPages(*source);
        name_->setText(typedName);
    } else {
        frame().loadPages(Scheme{});
    }
    frame().refreshPreview();
}

}  // namespace varnetto
