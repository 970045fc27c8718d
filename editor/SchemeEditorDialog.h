#pragma once

#include "editor/EditorPage.h"
#include "editor/EditorRequest.h"
#include "processing/ResultPrediction.h"
#include "uikit/BackgroundJobs.h"
#include "uikit/SchemePreviewService.h"

#include <QDialog>
#include <QImage>

#include <array>
#include <memory>
#include <optional>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;

namespace varnetto {

class GeneralPage;
class PictureBox;
class UserDialogs;

// The modal dialog in which one scheme is edited page by page, with its
// effect shown live on a picture; it also processes that one picture with
// ad-hoc settings. Result 1 after "保存", 2 after "取消"/"关闭" or closing.
class SchemeEditorDialog final : public QDialog, public EditorFrame {
    Q_OBJECT
  public:
    static constexpr int kPageCount = 8;  // the effects page, the last, has no tab

    SchemeEditorDialog(EditorRequest request, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~SchemeEditorDialog() override;

    // After result 1: the saved scheme (the request's, or the dialog's own
    // when the request brought none).
    const Scheme& savedScheme() const;

    // Shows page index (0-7); a tab change also disarms the position pick.
    void showPage(int index);
    EditorPage* page(int index) const { return pages_[static_cast<size_t>(index)]; }

    // EditorFrame
    const AppFolders& appFolder() const override { return request_.appFolder; }
    UserDialogs& dialogs() override { return dialogs_; }
    const Scheme* editedScheme() const override;
    const SchemeStore* store() const override { return request_.store; }
    void reportOnce(const QString& message) override;
    void refreshPreview() override;
    bool refreshEnabled() const override { return refreshEnabled_; }
    void setRefreshEnabled(bool enabled) override { refreshEnabled_ = enabled; }
    void loadPages(const Scheme& scheme) override;
    void armPositionPick(PositionPick pick, std::function<void(double, double)> place) override;
    PositionPick positionPick() const override { return pick_; }
    const std::string& sourcePath() const override { return request_.imagePath; }
    SchemePreviewService& previews() override { return previews_; }

  public Q_SLOTS:
    void reject() override;

  Q_SIGNALS:
    // The picture is shown unprocessed, or its failure has been said.
    void sourceShown();
    // The preview box shows the newest settings.
    void previewShown();
    // The predicted result under the preview follows the newest settings.
    void predictionShown();

  private:
    void loadSource();
    void showSource(const ShownPreview& shown);
    void buildFrame();
    void buildPages();
    void setModeTexts();
    // The pages read into the scheme the dialog edits (or the defaults);
    // none after a refusal, which has been shown.
    std::optional<Scheme> readPages();
    void showRendered(int generation, const ShownPreview& shown);
    // The output's size, name and file size, in the background after the
    // preview has been drawn, so that it never delays one.
    void predict(int generation);
    void showPrediction(int generation, const ResultPrediction& prediction);
    void previewClicked(QPoint point);
    // "保存", "保存图像", "全屏预览" (SchemeEditorButtons.cpp).
    void saveScheme();
    void saveImage();
    void fullScreenPreview();
    // Looks at folder in the background, offers to create it when missing,
    // and runs next once it is there: a folder on a dead mount must not
    // freeze the dialog.
    void withOutputFolder(const std::string& folder, std::function<void()> next);
    void finishSaveScheme();
    void finishSaveImage();
    void writeImage(const Scheme& scheme);
    void refuseAt(QWidget* field, const QString& message);
    // The wait cursor while the picture is read or a command works in the
    // background, and the command buttons off while a command works.
    void showBusy();
    // Runs work as a command, busy until done has run on this thread.
    template <typename Value>
    void runCommand(std::function<Value(const JobToken&)> work, std::function<void(Value)> done);

    EditorRequest request_;
    UserDialogs& dialogs_;
    Scheme ownScheme_;  // a new scheme when the request brought none
    bool sourceShown_ = false;
    bool hasSource_ = false;
    QImage fittedSource_;
    bool refreshEnabled_ = false;
    bool refreshWaiting_ = false;  // asked for before the picture was shown
    int commandsRunning_ = 0;
    PositionPick pick_ = PositionPick::None;
    std::function<void(double, double)> placePick_;
    int generation_ = 0;

    PictureBox* originalBox_ = nullptr;
    PictureBox* previewBox_ = nullptr;
    QLabel* prediction_ = nullptr;
    QLabel* fitWarning_ = nullptr;  // a caption or stamp the output cuts off
    std::optional<Scheme> previewedScheme_;
    QTabWidget* tabs_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* saveImage_ = nullptr;
    QPushButton* fullScreen_ = nullptr;
    QCheckBox* livePreview_ = nullptr;
    std::array<EditorPage*, kPageCount> pages_{};
    GeneralPage* general_ = nullptr;
    SchemePreviewService previews_;
    // After the service they use; each job owns what it reads, so a closing
    // dialog leaves a read stuck on a dead mount behind.
    BackgroundJobs sourceJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
    BackgroundJobs previewJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
    BackgroundJobs predictionJobs_{JobOrder::NewestWins, 1, JobShutdown::Abandon};
    BackgroundJobs commandJobs_{JobOrder::AllInOrder, 1, JobShutdown::Abandon};
};

}  // namespace varnetto
