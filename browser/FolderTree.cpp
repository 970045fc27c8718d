#include "browser/FolderTree.h"

#include "browser/FolderScan.h"
#include "browser/TreeIcons.h"
#include "uikit/BackgroundJobs.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QStyleOptionViewItem>

#include <exception>
#include <filesystem>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

const char* const kNoIcons = "Cannot retrieve the Handle of SystemImageList!";
const char* const kNoDriveList = "获取逻辑磁盘字符串出错!";
const char* const kDriveUnreadable = "读取系统文件信息出错!";
const char* const kEntryUnreadable = "Error Gettting SystemFileInfo!";

}  // namespace

FolderTree::FolderTree(QWidget* parent)
    : QTreeView(parent), icons_(std::make_unique<TreeIcons>()), driveSource_(systemDrives) {
    model_ = new FolderTreeModel(*icons_, this);
    setModel(model_);
    setHeaderHidden(true);
    // The hidden header is named after the tree it belongs to.
    header()->setAccessibleName(QString::fromUtf8("图像文件浏览"));
    setUniformRowHeights(true);
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QTreeView::expanded, this, &FolderTree::readFolder);
    connect(this, &QTreeView::collapsed, this, &FolderTree::folderCollapsed);
    connect(this, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (model_->kind(index) != TreeItemKind::Loading) Q_EMIT itemDoubleClicked(itemPath(index));
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && model_->kind(current) != TreeItemKind::Loading) {
                    Q_EMIT selectedPathChanged(itemPath(current));
                }
            });
    connect(this, &QWidget::customContextMenuRequested, this, &FolderTree::showContextMenu);
}

FolderTree::~FolderTree() {
    // No result may arrive while the model and the icons go.
    readings_.clear();
}

bool FolderTree::populate() {
    std::vector<FolderTreeModel::Token> tokens;
    for (const auto& [token, jobs] : readings_) tokens.push_back(token);
    for (FolderTreeModel::Token token : tokens) dropReading(token);
    model_->clear();
    if (!icons_->usable()) {
        lastError_ = QString::fromUtf8(kNoIcons);
        return false;
    }
    const FolderTreeModel::Token token = model_->startReading({});
    // The job owns what it uses: it may outlive the tree on a dead mount.
    jobsFor(token).submit(
        [this, token, source = driveSource_](const JobToken& job) -> BackgroundJobs::Completion {
            DriveListing listing;
            bool leftOut = false;
            try {
                listing = source();
                std::vector<Drive> kept;
                for (Drive& drive : listing.drives) {
                    if (job.cancelled()) return {};
                    std::error_code error;
                    const fs::file_status status = fs::status(drive.path, error);
                    if (error) {
                        leftOut = true;
                        continue;
                    }
                    // A file mounted over another (as containers do) is no drive.
                    if (!fs::is_directory(status)) continue;
                    drive.expandable = hasQualifyingEntry(drive.path);
                    kept.push_back(std::move(drive));
                }
                listing.drives = std::move(kept);
            } catch (const std::exception&) {
                listing = {true, {}};
            }
            return [this, token, listing, leftOut] { addDrives(token, listing, leftOut); };
        });
    return true;
}

void FolderTree::addDrives(FolderTreeModel::Token token, const DriveListing& listing,
                           bool driveLeftOut) {
    if (!model_->isReading(token)) return;
    if (listing.failed) lastError_ = QString::fromUtf8(kNoDriveList);
    if (driveLeftOut) lastError_ = QString::fromUtf8(kDriveUnreadable);
    std::vector<TreeItem> items;
    for (const Drive& drive : listing.drives) {
        items.push_back(
            {TreeItemKind::Drive, drive.label, drive.path, drive.expandable, drive.kind});
    }
    model_->addItems(token, items);
    readingEnded(token, {});
}

void FolderTree::readFolder(const QModelIndex& folder) {
    const TreeItemKind kind = model_->kind(folder);
    if (kind != TreeItemKind::Drive && kind != TreeItemKind::Folder) return;
    for (FolderTreeModel::Token dropped : model_->discardChildren(folder)) cancel(dropped);
    const std::string path = itemPath(folder);
    const FolderTreeModel::Token token = model_->startReading(folder);
    jobsFor(token).submit([this, token, path](const JobToken& job) -> BackgroundJobs::Completion {
        ScanResult result{ScanOutcome::Unreadable, false};
        try {
            result = scanFolder(path, job.cancelToken(), [&](std::vector<TreeEntry> batch) {
                job.post([this, token, path, batch = std::move(batch)] {
                    addEntries(token, path, batch);
                });
            });
        } catch (const std::exception&) {
            // Ends as unreadable, so the loading item goes.
        }
        if (result.outcome == ScanOutcome::Cancelled) return {};
        const bool failed = result.outcome == ScanOutcome::Unreadable || result.entryLeftOut;
        const QString failure = failed ? QString::fromUtf8(kEntryUnreadable) : QString();
        return [this, token, failure] { readingEnded(token, failure); };
    });
}

void FolderTree::addEntries(FolderTreeModel::Token token, const std::string& folder,
                            const std::vector<TreeEntry>& entries) {
    std::vector<TreeItem> items;
    items.reserve(entries.size());
    for (const TreeEntry& entry : entries) {
        items.push_back({entry.isFolder ? TreeItemKind::Folder : TreeItemKind::File, entry.label,
                         childPath(folder, entry.name), entry.expandable, DriveKind::Fixed});
    }
    if (!model_->addItems(token, items)) cancel(token);
}

void FolderTree::readingEnded(FolderTreeModel::Token token, const QString& failure) {
    if (!model_->isReading(token)) return;
    if (!failure.isEmpty()) lastError_ = failure;
    model_->finishReading(token);
    cancel(token);
}

void FolderTree::folderCollapsed(const QModelIndex& folder) {
    for (FolderTreeModel::Token dropped : model_->discardChildren(folder)) cancel(dropped);
}

BackgroundJobs& FolderTree::jobsFor(FolderTreeModel::Token token) {
    auto jobs =
        std::make_unique<BackgroundJobs>(JobOrder::AllInOrder, 1, JobShutdown::Abandon, this);
    BackgroundJobs& made = *jobs;
    readings_[token] = std::move(jobs);
    return made;
}

void FolderTree::cancel(FolderTreeModel::Token token) {
    if (dropReading(token) && readings_.empty()) Q_EMIT readingFinished();
}

bool FolderTree::dropReading(FolderTreeModel::Token token) {
    const auto found = readings_.find(token);
    if (found == readings_.end()) return false;
    std::unique_ptr<BackgroundJobs> jobs = std::move(found->second);
    readings_.erase(found);
    jobs->cancelAll();
    // This may be its own delivery: it goes once that has returned.
    jobs.release()->deleteLater();
    return true;
}

std::string FolderTree::itemPath(const QModelIndex& index) const {
    return model_->path(index);
}

void FolderTree::showContextMenu(const QPoint& pos) {
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || model_->kind(index) == TreeItemKind::Loading) return;
    // Only the icon and the label count, not the blank rest of the row.
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QRect cell = visualRect(index);
    const int width = itemDelegateForIndex(index)->sizeHint(option, index).width();
    if (pos.x() < cell.left() || pos.x() > cell.left() + width) return;
    setCurrentIndex(index);
    Q_EMIT contextMenuWanted(itemPath(index), viewport()->mapToGlobal(pos));
}

}  // namespace varnetto
