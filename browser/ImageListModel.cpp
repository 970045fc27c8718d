#include "browser/ImageListModel.h"

#include "browser/RowReader.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <string_view>
#include <unordered_set>

namespace varnetto {

namespace {
const char* const kPlaceholderText = "加载中...";
}

ImageListModel::ImageListModel(ThumbnailArt art, QObject* parent)
    : QAbstractListModel(parent), art_(std::move(art)) {}

int ImageListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant ImageListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const int row = index.row();
    const ImageEntry& e = entry(row);
    switch (role) {
        case Qt::DisplayRole:
            return rowText(row);
        case Qt::DecorationRole: {
            if (e.lockState == kNotRead) return {};
            const QImage image = rowImage(row);
            if (viewMode_ == ListViewMode::LargeIcons) return image;
            const int height = viewMode_ == ListViewMode::SmallIcons ? 24 : 12;
            return image.scaledToHeight(height, Qt::SmoothTransformation);
        }
        case Qt::ToolTipRole: {
            QString tip = QString::fromStdString(e.folder + "/" + e.fileName);
            if (e.facts.broken()) tip += "\n" + QString::fromStdString(e.facts.error);
            if (e.facts.damaged()) {
                tip += QString::fromUtf8("\n图像数据不完整，只读出了一部分：") +
                       QString::fromStdString(e.facts.damage);
            }
            return tip;
        }
        case Qt::SizeHintRole:
            // Every cell has the same size, read or not, so the view can
            // lay out thousands of rows without asking each one.
            if (viewMode_ == ListViewMode::LargeIcons) return QSize(168, 156);
            return {};
        case LockStateRole:
            return int(e.lockState);
        case PathRole:
            return QString::fromStdString(rowPath(row));
        default:
            return {};
    }
}

std::vector<std::uint64_t> ImageListModel::appendPlaceholders(
    const std::string& folder, const std::vector<std::string>& names) {
    std::vector<std::uint64_t> ids;
    if (names.empty()) return ids;
    const int first = rowCount();
    beginInsertRows({}, first, first + static_cast<int>(names.size()) - 1);
    for (const auto& name : names) {
        ImageEntry e;
        e.id = nextId_++;
        e.folder = folder;
        e.fileName = name;
        ids.push_back(e.id);
        rows_.push_back(std::move(e));
    }
    endInsertRows();
    return ids;
}

std::vector<std::string> ImageListModel::unlisted(const std::string& folder,
                                                  const std::vector<std::string>& names) const {
    std::unordered_set<std::string_view> listed;
    for (const ImageEntry& e : rows_) {
        if (e.folder == folder) listed.insert(e.fileName);
    }
    std::vector<std::string> fresh;
    for (const std::string& name : names) {
        if (listed.insert(name).second) fresh.push_back(name);
    }
    return fresh;
}

int ImageListModel::listedRow(const std::string& folder, const std::string& fileName) const {
    const auto found = std::find_if(rows_.begin(), rows_.end(), [&](const ImageEntry& e) {
        return e.folder == folder && e.fileName == fileName;
    });
    return found == rows_.end() ? -1 : static_cast<int>(found - rows_.begin());
}

bool ImageListModel::fillRow(std::uint64_t id, RowFacts facts) {
    const int row = rowOfId(id);
    if (row < 0) return false;
    ImageEntry& e = rows_[static_cast<size_t>(row)];
    if (e.lockState == kNotRead) ++readRows_;
    e.facts = std::move(facts);
    e.lockState = kUnlocked;
    rowsChanged(row, row);
    return true;
}

void ImageListModel::setFileFacts(std::uint64_t id, const RowFacts& facts) {
    const int row = rowOfId(id);
    if (row < 0 || rows_[static_cast<size_t>(row)].lockState != kNotRead) return;
    RowFacts& known = rows_[static_cast<size_t>(row)].facts;
    known.sizeText = facts.sizeText;
    known.typeText = facts.typeText;
    known.timeText = facts.timeText;
}

void ImageListModel::removeRowAt(int row) {
    if (row < 0 || row >= rowCount()) return;
    beginRemoveRows({}, row, row);
    if (rows_[static_cast<size_t>(row)].lockState != kNotRead) --readRows_;
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
}

void ImageListModel::removeAllRows() {
    beginResetModel();
    rows_.clear();
    readRows_ = 0;
    endResetModel();
}

bool ImageListModel::isRead(int row) const {
    return row >= 0 && row < rowCount() && entry(row).lockState != kNotRead;
}

std::string ImageListModel::rowPath(int row) const {
    if (row < 0 || row >= rowCount()) return {};
    const ImageEntry& e = entry(row);
    if (e.folder.empty() || e.fileName.empty()) return {};
    return e.folder + "/" + e.fileName;
}

int ImageListModel::rowOfId(std::uint64_t id) const {
    // Ids grow with the row order and rows are never re-ordered.
    const auto it = std::lower_bound(rows_.begin(), rows_.end(), id,
                                     [](const ImageEntry& e, std::uint64_t v) { return e.id < v; });
    if (it == rows_.end() || it->id != id) return -1;
    return static_cast<int>(it - rows_.begin());
}

void ImageListModel::setLockState(int row, LockState state) {
    if (!isRead(row) || state == kNotRead) return;
    ImageEntry& e = rows_[static_cast<size_t>(row)];
    if (e.lockState == state) return;
    e.lockState = state;
    rowsChanged(row, row);
}

void ImageListModel::toggleLock(int row) {
    if (!isRead(row)) return;
    setLockState(row, entry(row).lockState == kUnlocked ? kLocked : kUnlocked);
}

int ImageListModel::lockedCount() const {
    return static_cast<int>(std::count_if(
        rows_.begin(), rows_.end(), [](const ImageEntry& e) { return e.lockState == kLocked; }));
}

std::vector<std::string> ImageListModel::lockedPaths() const {
    std::vector<std::string> paths;
    for (int row = 0; row < rowCount(); ++row) {
        if (entry(row).lockState == kLocked) paths.push_back(rowPath(row));
    }
    return paths;
}

int ImageListModel::imageIndex(int row) const {
    if (!isRead(row)) return -1;
    return 2 * row + (entry(row).lockState == kLocked ? 1 : 0);
}

QImage ImageListModel::rowImage(int row) const {
    if (!isRead(row)) return {};
    const ImageEntry& e = entry(row);
    // The locked picture is drawn when shown, so a row keeps one cell in memory.
    return e.lockState == kLocked ? withLockMark(e.facts.cell, art_.lockMark) : e.facts.cell;
}

void ImageListModel::setViewMode(ListViewMode mode) {
    viewMode_ = mode;
    if (rowCount() > 0) rowsChanged(0, rowCount() - 1);
}

QString ImageListModel::rowText(int row) const {
    const ImageEntry& e = entry(row);
    if (e.lockState == kNotRead) return QString::fromUtf8(kPlaceholderText);
    const QString name = QString::fromStdString(e.fileName);
    if (viewMode_ != ListViewMode::LargeIcons) return name;
    return QString::fromStdString(e.facts.dimensionText) + "\n" + name;
}

void ImageListModel::rowsChanged(int first, int last) {
    Q_EMIT dataChanged(index(first), index(last));
}

QList<int> selectedRows(const QItemSelectionModel& selection) {
    QList<int> rows;
    for (const QModelIndex& index : selection.selectedIndexes()) rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

}  // namespace varnetto
