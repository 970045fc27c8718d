#pragma once

#include "app/DiskLooks.h"
#include "browser/ImageListModel.h"
#include "browser/RowFacts.h"
#include "browser/RowLoader.h"
#include "uikit/WaitCursor.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QWidget;

namespace varnetto {

class SecondaryDialogs;
class Session;
class UserDialogs;

// The commands of the image list: loading, selecting, deleting, locking and
// the full-screen view of the list's rows or of a file. They work on the
// session's rows and selection. The disk is read in the background; the wait
// cursor shows while a folder is listed, a file opened by itself is read or a
// file is looked for before the viewer opens on it.
class ImageCommands : public QObject {
    Q_OBJECT
  public:
    // The picture paths of a folder, as listFolderImages gives them.
    using FolderLister = std::function<std::vector<std::string>(const std::string& folder)>;
    struct Parts {
        QWidget* window;
        UserDialogs& dialogs;
        SecondaryDialogs& secondary;
        Session& session;
        // Shared with the other commands that open a window: the newest wins.
        DiskLooks& looks;
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
    void fullScreenFromSelection();
    // The folder tree's file in the full-screen viewer, once it is found.
    void fullScreenPicture(const std::string& path);
    // Stops every row read; rows already read stay.
    void stopLoading();
    // The rows the user sees now, first to last: they are read first.
    void readVisibleRowsFirst(int first, int last);

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
    // Ids of the rows first to last, or of those not read yet among them.
    std::vector<std::uint64_t> rowIds(int first, int last, bool unreadOnly) const;

    Parts parts_;
    ImageListModel& rows_;
    std::unique_ptr<RowLoader> rowLoader_;
    FolderLister listFolder_;
    int looksUnderWay_ = 0;
    std::unordered_set<std::uint64_t> waitedRows_;  // opened by themselves
    std::unordered_set<std::uint64_t> locksWhenRead_;
    std::optional<WaitCursor> waitCursor_;
};

}  // namespace varnetto
