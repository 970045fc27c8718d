#pragma once

#include "browser/ImageListModel.h"
#include "browser/RowFacts.h"
#include "browser/RowLoader.h"
#include "uikit/WaitCursor.h"
#include "viewer/ViewerRequest.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QLabel;
class QWidget;

namespace varnetto {

class ImageListView;
class PreviewLoader;
class SecondaryDialogs;
class StatusBarParts;
class UserDialogs;

// The rows of the list as the full-screen viewer steps through them.
std::vector<ViewerRow> viewerRows(const ImageListModel& model);

// The commands of the image list: loading, selecting, deleting, locking,
// the list's view, the preview box and the facts of the current image in the
// status bar, and the full-screen view of the list's rows. The disk is read
// in the background; the wait cursor shows while a folder is listed or a
// file opened by itself is read.
class ImageCommands : public QObject {
    Q_OBJECT
  public:
    // The picture paths of a folder, as listFolderImages gives them.
    using FolderLister = std::function<std::vector<std::string>(const std::string& folder)>;
    struct Parts {
        QWidget* window;
        UserDialogs& dialogs;
        SecondaryDialogs& secondary;
        ImageListModel& model;
        ImageListView& view;
        StatusBarParts& status;
        QLabel& previewBox;
        AppFolders appFolder;
    };

    ImageCommands(Parts parts, const ThumbnailArt& art);
    ~ImageCommands() override;

    void chooseAndLoadFolder();
    // The folder's rows come after those of the loads asked for before.
    void loadFolder(const std::string& folder);
    void chooseAndAddFile();
    // The row shows at once and is read before any other.
    void addSingleFile(const std::string& folder, const std::string& fileName);
    // The same, and the row is locked once read.
    void addAndLockFile(const std::string& path);
    // A folder loads as a chosen one does; files become rows read in the
    // background, behind any folder load still running. A path that is
    // neither is named in a message, in its turn.
    void openPaths(const std::vector<std::string>& paths);
    void selectAll();
    void invertSelection();
    void deleteSelected();
    void deleteAll();
    void lockSelected(LockState state);
    void lockAll(LockState state);
    void invertLock();
    void toggleSelectedRow();
    void setListViewMode(ListViewMode mode);
    void fullScreenFromSelection();
    // Stops every row read; rows already read stay.
    void stopLoading();

    // The picture previews and the scheme editor show: the first selected
    // row's file, or the application folder's sample picture.
    std::string previewImagePath() const;
    // The current row's facts into the status bar.
    void updateCurrentImageFacts();
    void refreshLockCounter();
    void requestPreview();

    // A tree item was selected: its facts, and its picture when it is a file.
    void showTreeSelection(const std::string& path);
    void fullScreenPicture(const std::string& path);

    int currentRow() const { return currentRow_; }
    const QString& previewPath() const { return previewPath_; }
    RowLoader& rowLoader() { return *rowLoader_; }
    // Where listings and row reads come from, for loads asked for from now
    // on; tests stand in a slow disk.
    void setDiskAccess(FolderLister listFolder, RowLoader::ReadRow readRow);

  private:
    // What a look at the disk found, to follow in order on the UI thread:
    // files of one folder to become rows, or a path that is not there.
    struct FoundStep {
        std::string folder;
        std::vector<std::string> names;
        std::string missing;  // as given; the step is a message when set
    };
    using Found = std::vector<FoundStep>;

    void lookAtDisk(std::function<Found()> find);
    void follow(const Found& steps);
    void readAhead(const std::string& path, bool lockWhenRead);
    void rowRead(std::uint64_t id, const RowFacts& facts);
    void forgetWaits(const std::vector<std::uint64_t>& ids);
    void updateWaitCursor();
    void selectionChanged();
    void rowsRemoved(int first, int last);
    void showPlaceholderFacts(int row);
    // Ids of the rows first to last, or of those not read yet among them.
    std::vector<std::uint64_t> rowIds(int first, int last, bool unreadOnly) const;
    void readVisibleRowsFirst(int first, int last);
    // The status-bar facts and the preview of a picture no longer listed.
    void clearShownPicture();

    Parts parts_;
    const ThumbnailArt& art_;
    std::unique_ptr<RowLoader> rowLoader_;
    std::unique_ptr<PreviewLoader> previewLoader_;
    FolderLister listFolder_;
    int looksUnderWay_ = 0;
    std::unordered_set<std::uint64_t> waitedRows_;  // opened by themselves
    std::unordered_set<std::uint64_t> locksWhenRead_;
    std::optional<WaitCursor> waitCursor_;
    int currentRow_ = -1;
    bool deleting_ = false;  // no previews while rows go
    QString previewPath_;
};

}  // namespace varnetto
