#pragma once

#include "browser/RowFacts.h"
#include "uikit/ThumbnailArt.h"

#include <QAbstractListModel>

#include <cstdint>
#include <string>
#include <vector>

class QItemSelectionModel;

namespace varnetto {

enum LockState : int { kNotRead = -1, kUnlocked = 0, kLocked = 1 };

enum class ListViewMode { LargeIcons, SmallIcons, List, Details };

// One row of the image list. Rows keep the order they were added in; id
// identifies a row for good, while its number shifts when earlier rows go.
struct ImageEntry {
    std::uint64_t id = 0;
    std::string folder;
    std::string fileName;
    LockState lockState = kNotRead;
    RowFacts facts;
};

class ImageListModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Role { LockStateRole = Qt::UserRole + 1, PathRole };

    explicit ImageListModel(ThumbnailArt art, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Placeholder rows at the end; returns their ids in order.
    std::vector<std::uint64_t> appendPlaceholders(const std::string& folder,
                                                  const std::vector<std::string>& names);
    // Those of names that no row of folder holds yet, in order, each once.
    std::vector<std::string> unlisted(const std::string& folder,
                                      const std::vector<std::string>& names) const;
    // The row of folder/fileName, or -1.
    int listedRow(const std::string& folder, const std::string& fileName) const;
    // Fills the row with that id and makes it unlocked; false when the row
    // has been deleted meanwhile.
    bool fillRow(std::uint64_t id, RowFacts facts);
    // The size, type and time texts of a row not read yet, known before its
    // picture is decoded; a read row keeps its own.
    void setFileFacts(std::uint64_t id, const RowFacts& facts);
    void removeRowAt(int row);
    void removeAllRows();

    const ImageEntry& entry(int row) const { return rows_.at(static_cast<size_t>(row)); }
    bool isRead(int row) const;
    // folder + "/" + fileName of a read row; "" otherwise.
    std::string rowPath(int row) const;
    // The row with that id, or -1.
    int rowOfId(std::uint64_t id) const;

    // Lock changes touch read rows only: a row not read yet has nothing to lock.
    void setLockState(int row, LockState state);
    void toggleLock(int row);
    int lockedCount() const;
    std::vector<std::string> lockedPaths() const;

    // 2n for the plain picture of row n, 2n + 1 for the locked one; -1 while
    // the row is not read. The list holds two pictures per read row.
    int imageIndex(int row) const;
    int thumbnailCount() const { return 2 * readRows_; }
    QImage rowImage(int row) const;

    ListViewMode viewMode() const { return viewMode_; }
    void setViewMode(ListViewMode mode);
    QString rowText(int row) const;

  private:
    void rowsChanged(int first, int last);

    ThumbnailArt art_;
    std::vector<ImageEntry> rows_;
    std::uint64_t nextId_ = 1;
    int readRows_ = 0;
    ListViewMode viewMode_ = ListViewMode::LargeIcons;
};

// Selected row numbers in ascending order.
QList<int> selectedRows(const QItemSelectionModel& selection);

}  // namespace varnetto
