#include "app/SchemePanel.h"

#include "app/CommandIds.h"
#include "app/Session.h"
#include "schemes/SchemeStore.h"
#include "uikit/FlatButtonStyle.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace varnetto {

namespace {

// The scheme label's least width, and the scheme choice's width.
constexpr int kLabelWidth = 92;
constexpr int kChoiceWidth = 160;

}  // namespace

SchemePanel::SchemePanel(Parts parts)
    : QObject(parts.window), parts_(std::move(parts)), reporter_(parts_.dialogs, parts_.window) {
    createWidgets();
    batchDialog_ =
        std::make_unique<BatchDialog>(parts_.dialogs, parts_.session.appFolder(), parts_.window);
    batchDialog_->setObjectName("batchDialog");
    batchDialog_->setMoreSchemes(parts_.secondary, [this] {
        std::vector<Scheme> schemes;
        if (SchemeStore* store = parts_.session.store())
            for (const Scheme& scheme : *store) schemes.push_back(scheme);
        return schemes;
    });
    connect(&parts_.session, &Session::schemesChanged, this, &SchemePanel::fillSchemeChoice);
}

SchemePanel::~SchemePanel() {
    // Its workers report into the window: stop them first.
    batchDialog_.reset();
}

void SchemePanel::createWidgets() {
    QWidget* client = parts_.client;
    label_ = new QLabel(QString::fromUtf8("选择处理方案："), client);
    label_->setObjectName("schemeLabel");
    choice_ = new QComboBox(client);
    choice_->setObjectName("schemeChoice");
    choice_->setEditable(false);
    choice_->setToolTip(QString::fromUtf8("所有的图像处理方案"));
    label_->setBuddy(choice_);
    const struct {
        int id;
        const char* name;
        const char* text;
        const char* tip;
    } buttons[] = {
        {kEditSchemeButton, "editSchemeButton", "编辑方案", "编辑当前选中的图像处理方案"},
        {kQuickView, "quickViewButton", "快速查看", "快速的查看图像处理方案的详细参数设置"},
        {kSchemeManagerButton, "schemeManagerButton", "方案管理", "图像处理方案的管理"},
        {kEffectPreviewButton, "effectPreviewButton", "预览效果", "预览当前锁定的图像的处理效果"},
        {kBatchRunButton, "batchRunButton", "执行批量处理", "开始执行批量处理"},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.text), client);
        button->setObjectName(b.name);
        styleFlatButton(button);
        button->setToolTip(QString::fromUtf8(b.tip));
        const int id = b.id;
        connect(button, &QPushButton::clicked, this, [this, id] { parts_.runCommand(id); });
        buttons_.insert(b.id, button);
    }
}

void SchemePanel::place(int R, int th) {
    auto put = [](QWidget* widget, int left, int top, int right, int bottom) {
        widget->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
    };
    // The label is as large as its font needs, beside the list's middle.
    const QFontMetrics metrics(label_->font());
    const int labelWidth = width() - kChoiceWidth - 2;
    const int labelTop = th + (24 - metrics.height()) / 2;
    put(label_, R, labelTop, R + labelWidth, labelTop + metrics.height());
    put(choice_, R + labelWidth + 2, th, R + labelWidth + 2 + kChoiceWidth, th + 24);
    put(buttons_[kEditSchemeButton], R, th + 32, R + 65, th + 55);
    put(buttons_[kQuickView], R + 70, th + 32, R + 135, th + 55);
    put(buttons_[kSchemeManagerButton], R + 140, th + 32, R + 205, th + 55);
    put(buttons_[kEffectPreviewButton], R, th + 60, R + 65, th + 83);
    put(buttons_[kBatchRunButton], R + 70, th + 60, R + 160, th + 83);
}

int SchemePanel::width() const {
    const QFontMetrics metrics(label_->font());
    return std::max(kLabelWidth, metrics.horizontalAdvance(label_->text()) + 2) + 2 + kChoiceWidth;
}

void SchemePanel::reloadSchemes() {
    parts_.session.reloadStore(reporter_);
}

void SchemePanel::fillSchemeChoice() {
    const SchemeStore* store = parts_.session.store();
    if (!store) return;
    const QString remembered = choice_->currentIndex() >= 0 ? choice_->currentText() : "";
    choice_->clear();
    for (const Scheme& scheme : *store) choice_->addItem(QString::fromStdString(scheme.name));
    if (choice_->count() == 0) return;
    const int found = choice_->findText(remembered, Qt::MatchStartsWith);
    choice_->setCurrentIndex(found >= 0 ? found : 0);
}

Scheme* SchemePanel::currentScheme() {
    SchemeStore* store = parts_.session.store();
    if (!store || choice_->currentIndex() < 0) return nullptr;
    return store->findByName(choice_->currentText().toStdString());
}

std::string SchemePanel::currentOutputFolder() {
    const Scheme* scheme = currentScheme();
    return scheme ? scheme->outputFolder : std::string();
}

}  // namespace varnetto
