#pragma once

#include "browser/DriveList.h"

#include <QAbstractItemModel>

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace varnetto {

class TreeIcons;

enum class TreeItemKind { Drive, Folder, File, Loading };

struct TreeItem {
    TreeItemKind kind = TreeItemKind::Folder;
    QString label;
    std::string path;
    bool expandable = false;  // shows an expand button while not read
    DriveKind driveKind = DriveKind::Fixed;
};

// Drives, folders and picture files, read lazily. A folder being read holds
// a "加载中..." item after the children read so far; a reading is known by
// its token, so results that arrive after the folder was collapsed or the
// tree refilled are dropped.
class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    using Token = std::uint64_t;

    explicit FolderTreeModel(const TreeIcons& icons, QObject* parent = nullptr);
    ~FolderTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    void clear();
    // Throws the children of folder (the top level for an invalid index)
    // away and shows the loading item under it.
    Token startReading(const QModelIndex& folder);
    // Adds items before the loading item; false when the reading is gone.
    bool addItems(Token token, const std::vector<TreeItem>& items);
    void finishReading(Token token);
    bool isReading(Token token) const { return readings_.count(token) != 0; }
    // Collapsing: the children go, the expand button stays. Returns the
    // readings that went with them.
    std::vector<Token> discardChildren(const QModelIndex& folder);

    std::string path(const QModelIndex& index) const;
    TreeItemKind kind(const QModelIndex& index) const;

  private:
    struct Node;
    Node* nodeOf(const QModelIndex& index) const;
    QModelIndex indexOf(const Node* node) const;
    void forgetReadings(Node* node, std::vector<Token>& dropped);
    void removeLoadingItem(Node* node);

    const TreeIcons& icons_;
    std::unique_ptr<Node> root_;
    std::unordered_map<Token, Node*> readings_;
    Token nextToken_ = 1;
};

}  // namespace varnetto
