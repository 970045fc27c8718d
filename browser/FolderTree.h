#pragma once

#include "browser/DriveList.h"
#include "browser/FolderScan.h"
#include "browser/FolderTreeModel.h"

#include <QString>
#include <QTreeView>

#include <memory>
#include <string>
#include <unordered_map>

namespace varnetto {

class BackgroundJobs;
class TreeIcons;

// The drives, folders and picture files beside the image list. Folders are
// read when expanded, off the UI thread and shown in batches, and thrown
// away when collapsed, so the disk's changes show at the next expansion.
// Failures are only recorded in lastError.
class FolderTree : public QTreeView {
    Q_OBJECT
  public:
    explicit FolderTree(QWidget* parent = nullptr);
    ~FolderTree() override;

    // Throws every item away and lists the drives again. False when the
    // system has no icons for the tree; a drive list that cannot be read
    // shows later in lastError.
    bool populate();
    void setDriveSource(DriveSource source) { driveSource_ = std::move(source); }

    // Full path of an item: a drive's mount path ("/" for the root), a
    // folder or file under it; "" for the loading item.
    std::string itemPath(const QModelIndex& index) const;
    std::string currentPath() const { return itemPath(currentIndex()); }
    // What the current item was when it was listed; Loading for none.
    TreeItemKind currentKind() const { return model_->kind(currentIndex()); }
    const QString& lastError() const { return lastError_; }
    // A folder or the drive list is still being read.
    bool reading() const { return !readings_.empty(); }

  Q_SIGNALS:
    void selectedPathChanged(const std::string& path);
    void itemDoubleClicked(const std::string& path);
    // A right click on an item's icon or label, which is selected first.
    void contextMenuWanted(const std::string& path, const QPoint& globalPos);
    // The last reading under way has ended.
    void readingFinished();

  private:
    void readFolder(const QModelIndex& folder);
    void folderCollapsed(const QModelIndex& folder);
    void showContextMenu(const QPoint& pos);
    // Where a reading's results and its end arrive, on the UI thread.
    void addEntries(FolderTreeModel::Token token, const std::string& folder,
                    const std::vector<TreeEntry>& entries);
    void addDrives(FolderTreeModel::Token token, const DriveListing& listing, bool driveLeftOut);
    void readingEnded(FolderTreeModel::Token token, const QString& failure);
    // One owner of jobs per reading: a reading stuck on a dead mount holds
    // back no other, and dropping its owner cancels that reading alone.
    BackgroundJobs& jobsFor(FolderTreeModel::Token token);
    // Cancels a reading; the last one to go reports readingFinished.
    void cancel(FolderTreeModel::Token token);
    bool dropReading(FolderTreeModel::Token token);

    std::unique_ptr<TreeIcons> icons_;
    FolderTreeModel* model_ = nullptr;
    DriveSource driveSource_;
    QString lastError_;
    std::unordered_map<FolderTreeModel::Token, std::unique_ptr<BackgroundJobs>> readings_;
};

}  // namespace varnetto
