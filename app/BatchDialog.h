#pragma once

#include "app/BatchRunner.h"
#include "app/DiskLooks.h"
#include "app/SecondaryDialogs.h"
#include "processing/OutputFolder.h"
#include "schemes/Scheme.h"
#include "uikit/UiReporter.h"
#include "uikit/UserDialogs.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace varnetto {

// What "开始" runs: the scheme (none when there is no current scheme), the
// folder it writes to and the images, in run order.
struct BatchJob {
    std::optional<Scheme> scheme;
    std::string outputFolder;
    std::vector<std::string> sources;
};

class BatchDialog : public QDialog {
    Q_OBJECT
  public:
    using JobSource = std::function<BatchJob()>;
    // The schemes "更多方案…" offers (the store's), asked for when needed.
    using SchemeSource = std::function<std::vector<Scheme>()>;

    BatchDialog(UserDialogs& dialogs, AppFolders appFolder, QWidget* parent = nullptr);
    ~BatchDialog() override;

    // Sets up the texts and the job source; show() or exec() follows.
    void prepare(const QString& schemeName, int imageCount, JobSource source);
    // 0: one worker per core.
    void setWorkerCount(int jobs) { jobs_ = jobs; }
    // Shows "更多方案…", which lets the user check more schemes for the run
    // in a list opened through secondary.
    void setMoreSchemes(SecondaryDialogs& secondary, SchemeSource schemes);
    // The names of the schemes the next run takes when the user checked
    // some with "更多方案…"; empty: the current scheme alone.
    const std::vector<std::string>& checkedSchemes() const { return checkedSchemes_; }

    bool running() const { return running_; }
    bool workersActive() const { return runner_.active(); }
    int animationFrame() const { return animationFrame_; }
    const std::vector<BatchOutcome>& lastOutcomes() const { return outcomes_; }

    // What a run does with outputs that exist already; the choice stays from
    // run to run.
    ExistingOutput existingOutput() const;
    void setExistingOutput(ExistingOutput mode);
    // Pictures of the last run whose outputs were left alone.
    int skippedCount() const;

    // The auto-close box's state at every opening (the one remembered from
    // the last start), shown at once.
    void setAutoCloseAtOpening(bool on);

    // The output folders of the run's schemes are looked at, and made when
    // the user agrees to each missing one, in the background under the wait
    // cursor; the run starts once they are ready.
    // Meanwhile the dialog counts as running, and "中断" stops the look.
    void start();
    void abort();

  Q_SIGNALS:
    // After every batch that ended without an abort.
    void batchFinished();

  public Q_SLOTS:
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void createControls();
    // Asks, folder by folder, whether to make each missing one.
    void outputFoldersLooked(const std::vector<std::string>& folders,
                             const std::vector<OutputFolderState>& states);
    void outputFolderReady(const std::string& refused);
    void setRunningButtons(bool running);
    void tick();
    void stopAnimation();
    void imageStarted(int index, const QString& path);
    void finished(const std::vector<BatchOutcome>& outcomes, bool aborted);
    void showFailures();
    void chooseMoreSchemes();
    // The schemes a run of job takes: the checked ones, or job's own.
    std::vector<Scheme> schemesFor(const BatchJob& job) const;
    // What the run did and how long it took, beneath "处理完成。".
    QString runSummaryText() const;
    void openOutputFolder();
    void saveReport();
    void showFailuresButton();
    int failedCount() const;
    // Pictures written with a decoder warning.
    int warnedCount() const;
    // What an aborted run wrote, failed and left undone.
    QString abortSummary() const;

    UserDialogs& dialogs_;
    AppFolders appFolder_;
    UiReporter reporter_;
    BatchRunner runner_;
    JobSource source_;
    BatchJob job_;  // of the run being started
    int jobs_ = 0;
    bool running_ = false;
    int animationFrame_ = 2;
    int shownProgress_ = 0;
    int runSize_ = 0;  // images of the current or last run
    QTimer timer_;
    std::vector<BatchOutcome> outcomes_;
    DiskLooks outputFolderLooks_;
    SecondaryDialogs* secondary_ = nullptr;
    SchemeSource allSchemes_;
    QString currentScheme_;
    std::vector<std::string> checkedSchemes_;
    std::vector<Scheme> runSchemes_;  // of the current or last run
    QElapsedTimer clock_;
    qint64 elapsedMs_ = 0;

    QLabel* schemeName_ = nullptr;
    QLabel* imageCount_ = nullptr;
    QLabel* animation_ = nullptr;
    QLabel* status_ = nullptr;
    QLabel* runSummary_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QComboBox* existing_ = nullptr;
    QCheckBox* autoClose_ = nullptr;
    bool autoCloseAtOpening_ = true;
    QPushButton* start_ = nullptr;
    QPushButton* abort_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* failures_ = nullptr;
    QPushButton* moreSchemes_ = nullptr;
    QPushButton* openFolder_ = nullptr;
    QPushButton* saveReport_ = nullptr;
};

}  // namespace varnetto
