#include "app/BatchDialog.h"

#include "processing/RunReport.h"
#include "uikit/Artwork.h"
#include "uikit/DesktopNotification.h"
#include "uikit/FlatButtonStyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>
#include <set>

namespace varnetto {

namespace {

constexpr int kWidth = 540;
// Room beneath the progress bar for what a run did and what failed.
constexpr int kHeight = 294;
// A run this long may have been left to itself: its end is announced on the
// desktop when the user is elsewhere.
constexpr qint64 kNotifiedRunMs = 10'000;

QPushButton* flatButton(const char* text, QWidget* parent) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    styleFlatButton(button);
    button->setAutoDefault(false);
    return button;
}

void place(QWidget* widget, int left, int top, int right, int bottom) {
    widget->setGeometry(left, top, right - left, bottom - top);
}

// The choices for outputs that exist, in the order of the drop-down.
struct ExistingChoice {
    ExistingOutput mode;
    const char* label;
};
constexpr ExistingChoice kExistingChoices[] = {
    {ExistingOutput::Replace, "替换已有文件"},
    {ExistingOutput::Skip, "跳过已有文件"},
    {ExistingOutput::Newer, "只替换较旧的文件"},
    {ExistingOutput::Number, "保留两者并编号"},
};

// "2 个图像处理失败，1 个图像有警告" without the parts that are 0.
QString summaryOf(int failed, int warned) {
    QStringList parts;
    if (failed > 0) parts << QString::fromUtf8("%1 个图像处理失败").arg(failed);
    if (warned > 0) parts << QString::fromUtf8("%1 个图像有警告").arg(warned);
    return parts.join(QString::fromUtf8("，"));
}

// "用时 4.2 秒", "用时 3 分 07 秒".
QString elapsedText(qint64 ms) {
    if (ms < 60'000) return QString::fromUtf8("用时 %1 秒").arg(double(ms) / 1000.0, 0, 'f', 1);
    const qint64 seconds = ms / 1000;
    return QString::fromUtf8("用时 %1 分 %2 秒")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace

BatchDialog::BatchDialog(UserDialogs& dialogs, AppFolders appFolder, QWidget* parent)
    : QDialog(parent),
      dialogs_(dialogs),
      appFolder_(std::move(appFolder)),
      reporter_(dialogs, this),
      outputFolderLooks_(DiskLooks::Cursor::Wait, this) {
    outputFolderLooks_.setObjectName("outputFolderLooks");
    setWindowTitle(QString::fromUtf8("  执行批量处理"));
    setWindowIcon(artwork::windowIcon());
    setFixedSize(kWidth, kHeight);
    createControls();
    timer_.setInterval(500);
    connect(&timer_, &QTimer::timeout, this, &BatchDialog::tick);
    connect(&runner_, &BatchRunner::imageStarted, this, &BatchDialog::imageStarted);
    connect(&runner_, &BatchRunner::finished, this, &BatchDialog::finished);
    stopAnimation();
    setRunningButtons(false);
}

BatchDialog::~BatchDialog() {
    reporter_.releaseWaitingWorkers();
    runner_.abort();
}

void BatchDialog::createControls() {
    const int w = kWidth;
    const int h = kHeight;
    place(new QLabel(QString::fromUtf8("处理方案名称："), this), 10, 20, 110, 40);
    schemeName_ = new QLabel(this);
    schemeName_->setObjectName("schemeNameLabel");
    place(schemeName_, 115, 20, 295, 40);
    place(new QLabel(QString::fromUtf8("要处理的图像个数："), this), 315, 20, 435, 40);
    imageCount_ = new QLabel(QStringLiteral("100"), this);
    imageCount_->setObjectName("imageCountLabel");
    place(imageCount_, 440, 20, 520, 40);
    animation_ = new QLabel(this);
    animation_->setObjectName("animationLabel");
    animation_->setAlignment(Qt::AlignCenter);
    place(animation_, w / 2 - 40, 50, w / 2 + 40, 130);
    status_ = new QLabel(this);
    status_->setObjectName("statusLabel");
    status_->setTextFormat(Qt::PlainText);
    place(status_, 10, 140, w - 10, 162);
    runSummary_ = new QLabel(this);
    runSummary_->setObjectName("runSummaryLabel");
    runSummary_->setTextFormat(Qt::PlainText);
    place(runSummary_, 10, 222, w - 10, 244);
    moreSchemes_ = flatButton("更多方案…", this);
    moreSchemes_->setObjectName("moreSchemesButton");
    moreSchemes_->setAccessibleName(QString::fromUtf8("更多方案"));
    place(moreSchemes_, 10, 48, 110, 70);
    moreSchemes_->hide();
    connect(moreSchemes_, &QPushButton::clicked, this, &BatchDialog::chooseMoreSchemes);
    openFolder_ = flatButton("打开输出目录", this);
    openFolder_->setObjectName("openOutputFolderButton");
    openFolder_->setAccessibleName(QString::fromUtf8("打开输出目录"));
    place(openFolder_, w - 120, 48, w - 10, 70);
    openFolder_->hide();
    connect(openFolder_, &QPushButton::clicked, this, &BatchDialog::openOutputFolder);
    saveReport_ = flatButton("保存报告…", this);
    saveReport_->setObjectName("saveReportButton");
    saveReport_->setAccessibleName(QString::fromUtf8("保存报告"));
    place(saveReport_, w - 120, 76, w - 10, 98);
    saveReport_->hide();
    connect(saveReport_, &QPushButton::clicked, this, &BatchDialog::saveReport);
    progress_ = new QProgressBar(this);
    progress_->setObjectName("progressBar");
    progress_->setTextVisible(false);
    progress_->setAccessibleName(QString::fromUtf8("处理进度"));
    place(progress_, 10, 167, w - 10, 192);
    existing_ = new QComboBox(this);
    existing_->setObjectName("existingOutputChoice");
    existing_->setAccessibleName(QString::fromUtf8("已有的输出文件"));
    for (const ExistingChoice& choice : kExistingChoices)
        existing_->addItem(QString::fromUtf8(choice.label), static_cast<int>(choice.mode));
    place(existing_, 10, 196, 200, 218);
    failures_ = flatButton("", this);
    failures_->setObjectName("failuresButton");
    failures_->setStyleSheet(failures_->styleSheet() +
                             "QPushButton { color: #b00000; text-align: left; }");
    failures_->setAccessibleName(QString::fromUtf8("处理失败的图像"));
    place(failures_, 210, 196, w - 10, 218);
    failures_->hide();
    connect(failures_, &QPushButton::clicked, this, &BatchDialog::showFailures);
    autoClose_ = new QCheckBox(QString::fromUtf8("处理结束后自动关闭本窗口"), this);
    autoClose_->setObjectName("autoCloseBox");
    autoClose_->setChecked(true);
    place(autoClose_, 10, h - 35, 190, h - 15);
    start_ = flatButton("开始", this);
    start_->setObjectName("startButton");
    place(start_, 210, h - 35, 290, h - 10);
    abort_ = flatButton("中断", this);
    abort_->setObjectName("abortButton");
    place(abort_, 300, h - 35, 380, h - 10);
    close_ = flatButton("关闭", this);
    close_->setObjectName("closeButton");
    place(close_, w - 90, h - 35, w - 10, h - 10);
    connect(start_, &QPushButton::clicked, this, &BatchDialog::start);
    connect(abort_, &QPushButton::clicked, this, &BatchDialog::abort);
    connect(close_, &QPushButton::clicked, this, [this] { done(0); });
}

ExistingOutput BatchDialog::existingOutput() const {
    return static_cast<ExistingOutput>(existing_->currentData().toInt());
}

void BatchDialog::setExistingOutput(ExistingOutput mode) {
    existing_->setCurrentIndex(existing_->findData(static_cast<int>(mode)));
}

int BatchDialog::skippedCount() const {
    return static_cast<int>(std::count_if(outcomes_.begin(), outcomes_.end(),
                                          [](const BatchOutcome& o) { return o.skipped; }));
}

void BatchDialog::setAutoCloseAtOpening(bool on) {
    autoCloseAtOpening_ = on;
    autoClose_->setChecked(on);
}

void BatchDialog::setMoreSchemes(SecondaryDialogs& secondary, SchemeSource schemes) {
    secondary_ = &secondary;
    allSchemes_ = std::move(schemes);
    moreSchemes_->show();
}

void BatchDialog::prepare(const QString& schemeName, int imageCount, JobSource source) {
    source_ = std::move(source);
    schemeName_->setText(schemeName);
    // Each opening starts with the current scheme alone.
    currentScheme_ = schemeName;
    checkedSchemes_.clear();
    openFolder_->hide();
    saveReport_->hide();
    runSummary_->clear();
    imageCount_->setText(QString::number(imageCount));
    // Each opening starts as the first did.
    autoClose_->setChecked(autoCloseAtOpening_);
    progress_->setValue(0);
    status_->clear();
    failures_->hide();
    stopAnimation();
    setRunningButtons(false);
}

void BatchDialog::start() {
    if (running_ || runner_.active() || !source_) return;
    running_ = true;
    setRunningButtons(true);
    // Kept here, not sent through the looks' threads and Qt's queue to the workers.
    job_ = source_();
    const BatchJob& job = job_;
    runSchemes_ = schemesFor(job);
    // The job's folder (the current scheme's), then each other checked scheme's once.
    std::vector<std::string> folders{job.outputFolder};
    for (const Scheme& scheme : runSchemes_)
        if (scheme.name != job.scheme->name &&
            std::find(folders.begin(), folders.end(), scheme.outputFolder) == folders.end())
            folders.push_back(scheme.outputFolder);
    outputFolderLooks_.look<std::vector<OutputFolderState>>(
        [folders] {
            std::vector<OutputFolderState> states;
            for (const std::string& folder : folders) states.push_back(outputFolderState(folder));
            return states;
        },
        [this, folders](std::vector<OutputFolderState> states) {
            outputFoldersLooked(folders, states);
        });
}

void BatchDialog::outputFoldersLooked(const std::vector<std::string>& folders,
                                      const std::vector<OutputFolderState>& states) {
    const QString question = QString::fromUtf8("输出目录： %1  不存在，是否要创建？");
    for (size_t i = 0; i < folders.size(); ++i)
        if (states[i] == OutputFolderState::Missing &&
            !dialogs_.ask(this, question.arg(QString::fromStdString(folders[i])),
                          MessageKind::Stop)) {
            running_ = false;
            setRunningButtons(false);
            return;
        }
    outputFolderLooks_.look<std::string>(
        [folders] {
            for (const std::string& each : folders)
                if (std::string refused = ensureOutputFolder(each); !refused.empty())
                    return refused;
            return std::string();
        },
        [this](std::string refused) { outputFolderReady(refused); });
}

void BatchDialog::outputFolderReady(const std::string& refused) {
    if (!refused.empty()) {
        dialogs_.message(this, QString::fromStdString(refused), MessageKind::Stop);
        running_ = false;
        setRunningButtons(false);
        return;
    }
    outcomes_.clear();
    failures_->hide();
    openFolder_->hide();
    saveReport_->hide();
    runSummary_->clear();
    shownProgress_ = 0;
    runSize_ = static_cast<int>(job_.sources.size());
    progress_->setRange(0, std::max(1, runSize_));
    progress_->setValue(0);
    timer_.start();
    clock_.start();
    if (runSchemes_.empty()) {
        finished({}, false);
        return;
    }
    runner_.start(runSchemes_, std::move(job_.sources), appFolder_, reporter_, jobs_,
                  existingOutput());
}

std::vector<Scheme> BatchDialog::schemesFor(const BatchJob& job) const {
    if (!job.scheme) return {};
    if (checkedSchemes_.empty() || !allSchemes_) return {*job.scheme};
    const std::vector<Scheme> all = allSchemes_();
    std::vector<Scheme> schemes;
    for (const std::string& name : checkedSchemes_) {
        if (name == job.scheme->name) {
            schemes.push_back(*job.scheme);
            continue;
        }
        const auto found = std::find_if(all.begin(), all.end(),
                                        [&](const Scheme& scheme) { return scheme.name == name; });
        if (found != all.end()) schemes.push_back(*found);
    }
    return schemes;
}

void BatchDialog::chooseMoreSchemes() {
    if (!secondary_ || !allSchemes_ || running_) return;
    SchemeChoiceRequest request;
    for (const Scheme& scheme : allSchemes_()) request.names.push_back(scheme.name);
    request.checked = checkedSchemes_;
    if (request.checked.empty()) request.checked.push_back(currentScheme_.toStdString());
    const auto chosen = secondary_->schemeChoice(this, request);
    if (!chosen || chosen->empty()) return;
    checkedSchemes_ = *chosen;
    QStringList names;
    for (const std::string& name : checkedSchemes_) names << QString::fromStdString(name);
    schemeName_->setText(names.join(QString::fromUtf8("，")));
}

void BatchDialog::abort() {
    if (!running_) return;
    outputFolderLooks_.cancel();
    runner_.abort();
    running_ = false;
    progress_->setValue(0);
    status_->clear();
    setRunningButtons(false);
    stopAnimation();
}

void BatchDialog::imageStarted(int index, const QString& path) {
    if (!running_ || index < shownProgress_) return;
    shownProgress_ = index;
    status_->setText(path);
    progress_->setValue(index);
}

void BatchDialog::finished(const std::vector<BatchOutcome>& outcomes, bool aborted) {
    outcomes_ = outcomes;
    elapsedMs_ = clock_.isValid() ? clock_.elapsed() : 0;
    const int failed = failedCount();
    if (!running_ || aborted) {
        // The aborted batch has ended: "开始" may be used again, and the user
        // learns what was done before the abort.
        setRunningButtons(false);
        status_->setText(abortSummary());
        showFailuresButton();
        return;
    }
    const int warned = warnedCount();
    if (elapsedMs_ > kNotifiedRunMs && !window()->isActiveWindow())
        notifyDesktop(QString::fromUtf8("批量处理完成"), runSummaryText());
    Q_EMIT batchFinished();
    // Failures and warnings keep the dialog open: they are not to be lost.
    if (autoClose_->isChecked() && failed == 0 && warned == 0) {
        running_ = false;
        stopAnimation();
        done(1);
        return;
    }
    running_ = false;
    setRunningButtons(false);
    status_->setText(QString::fromUtf8("处理完成。"));
    runSummary_->setText(runSummaryText());
    stopAnimation();
    showFailuresButton();
    openFolder_->setVisible(!runSchemes_.empty());
    saveReport_->setVisible(failed > 0 || warned > 0);
}

QString BatchDialog::runSummaryText() const {
    const RunSummary summary = summarize(outcomes_);
    return QString::fromUtf8("%1 个已处理，%2 个已跳过，%3 个失败，%4")
        .arg(summary.processed)
        .arg(summary.skipped)
        .arg(summary.failed)
        .arg(elapsedText(elapsedMs_));
}

void BatchDialog::openOutputFolder() {
    if (runSchemes_.empty()) return;
    const QString folder = QString::fromStdString(runSchemes_.front().outputFolder);
    if (!dialogs_.openFolder(folder))
        dialogs_.message(this, QString::fromUtf8("无法打开目录 %1。").arg(folder),
                         MessageKind::Stop);
}

void BatchDialog::saveReport() {
    const QString path = dialogs_.chooseSaveFile(this, QString::fromUtf8("运行报告 (*.jsonl)"),
                                                 QStringLiteral("report.jsonl"));
    if (path.isEmpty()) return;
    RunReportTotals totals;
    totals.milliseconds = static_cast<double>(elapsedMs_);
    const std::string refused = writeRunReport(path.toStdString(), outcomes_, totals);
    if (!refused.empty())
        dialogs_.message(this, QString::fromStdString(refused), MessageKind::Stop);
}

int BatchDialog::failedCount() const {
    return static_cast<int>(std::count_if(outcomes_.begin(), outcomes_.end(),
                                          [](const BatchOutcome& o) { return !o.ok(); }));
}

int BatchDialog::warnedCount() const {
    return static_cast<int>(std::count_if(outcomes_.begin(), outcomes_.end(),
                                          [](const BatchOutcome& o) { return o.warned(); }));
}

QString BatchDialog::abortSummary() const {
    // A failure of the whole run (index 0) stands for no picture.
    // With several schemes a picture has an outcome for each; one left
    // alone by the existing-output rule was not written.
    int written = 0;
    int failed = 0;
    std::set<int> reached;
    for (const BatchOutcome& outcome : outcomes_) {
        if (outcome.index < 1) continue;
        reached.insert(outcome.index);
        if (!outcome.ok())
            ++failed;
        else if (!outcome.skipped)
            ++written;
    }
    const int ran = static_cast<int>(reached.size());
    return QString::fromUtf8("处理已中断：已写出 %1 个图像，%2 个处理失败，%3 个未处理。")
        .arg(written)
        .arg(failed)
        .arg(std::max(0, runSize_ - ran));
}

void BatchDialog::showFailuresButton() {
    const int failed = failedCount();
    const int warned = warnedCount();
    failures_->setVisible(failed > 0 || warned > 0);
    if (failed > 0 || warned > 0) {
        failures_->setText(summaryOf(failed, warned) + QString::fromUtf8("，点击查看原因。"));
    }
}

void BatchDialog::showFailures() {
    std::vector<ProblemEntry> entries;
    for (const BatchOutcome& outcome : outcomes_) {
        if (outcome.ok() && !outcome.warned()) continue;
        entries.push_back({QString::fromStdString(outcome.source),
                           QString::fromStdString(outcome.ok() ? outcome.warning : outcome.error),
                           outcome.ok() ? ProblemKind::Warning : ProblemKind::Failed});
    }
    dialogs_.problemList(this, summaryOf(failedCount(), warnedCount()) + QString::fromUtf8("。"),
                         entries);
}

void BatchDialog::setRunningButtons(bool running) {
    // After an abort "开始" waits until the last worker has ended.
    start_->setEnabled(!running && !runner_.active());
    existing_->setEnabled(!running);
    abort_->setEnabled(running);
    moreSchemes_->setEnabled(!running);
    close_->setEnabled(!running);
    update();
}

void BatchDialog::tick() {
    if (animationFrame_ == 1) {
        animation_->setPixmap(QPixmap::fromImage(artwork::batchFrame(1)));
        animationFrame_ = 2;
    } else {
        animation_->setPixmap(QPixmap::fromImage(artwork::batchFrame(2)));
        animationFrame_ = 1;
    }
}

void BatchDialog::stopAnimation() {
    timer_.stop();
    animation_->setPixmap(QPixmap::fromImage(artwork::batchFrame(1)));
    animationFrame_ = 2;
}

void BatchDialog::reject() {
    if (running_) return;
    QDialog::reject();
}

void BatchDialog::closeEvent(QCloseEvent* event) {
    if (running_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void BatchDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(125, 125, 125));
    painter.drawLine(5, height() - 50, width() - 5, height() - 50);
    painter.setPen(Qt::white);
    painter.drawLine(5, height() - 49, width() - 5, height() - 49);
}

}  // namespace varnetto
