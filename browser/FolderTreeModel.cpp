#include "browser/FolderTreeModel.h"

#include "browser/TreeIcons.h"

namespace varnetto {

struct FolderTreeModel::Node {
    TreeItem item;
    Node* parent = nullptr;
    int row = 0;  // position under parent
    std::vector<std::unique_ptr<Node>> children;
    Token reading = 0;  // while read, the last child is the loading item
    bool open = false;
};

namespace {

const char* const kLoadingText = "加载中...";

}  // namespace

FolderTreeModel::FolderTreeModel(const TreeIcons& icons, QObject* parent)
    : QAbstractItemModel(parent), icons_(icons), root_(std::make_unique<Node>()) {}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : root_.get();
}

QModelIndex FolderTreeModel::indexOf(const Node* node) const {
    if (!node || node == root_.get()) return {};
    return createIndex(node->row, 0, const_cast<Node*>(node));
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    if (column != 0 || row < 0 || static_cast<size_t>(row) >= node->children.size()) return {};
    return createIndex(row, 0, node->children[static_cast<size_t>(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
    return child.isValid() ? indexOf(nodeOf(child)->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0) return 0;
    return static_cast<int>(nodeOf(parent)->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
    const Node* node = nodeOf(parent);
    return !node->children.empty() || (parent.isValid() && node->item.expandable);
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) return {};
    const Node* node = nodeOf(index);
    const TreeItem& item = node->item;
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole) {
        return item.kind == TreeItemKind::Loading ? QString::fromUtf8(kLoadingText) : item.label;
    }
    if (role != Qt::DecorationRole) return {};
    switch (item.kind) {
        case TreeItemKind::Drive:
            return icons_.drive(item.driveKind);
        case TreeItemKind::Folder:
            return icons_.folder(node->open);
        case TreeItemKind::File:
            return icons_.file(item.path);
        case TreeItemKind::Loading:
            break;
    }
    return {};
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    if (nodeOf(index)->item.kind == TreeItemKind::Loading) return Qt::ItemIsEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable;
}

void FolderTreeModel::clear() {
    beginResetModel();
    root_->children.clear();
    root_->reading = 0;
    readings_.clear();
    endResetModel();
}

FolderTreeModel::Token FolderTreeModel::startReading(const QModelIndex& folder) {
    discardChildren(folder);
    Node* node = nodeOf(folder);
    auto loading = std::make_unique<Node>();
    loading->item.kind = TreeItemKind::Loading;
    loading->parent = node;
    beginInsertRows(folder, 0, 0);
    node->children.push_back(std::move(loading));
    node->reading = nextToken_++;
    node->open = true;
    readings_[node->reading] = node;
    endInsertRows();
    // The open-folder icon.
    if (folder.isValid()) Q_EMIT dataChanged(folder, folder, {Qt::DecorationRole});
    return node->reading;
}

bool FolderTreeModel::addItems(Token token, const std::vector<TreeItem>& items) {
    const auto found = readings_.find(token);
    if (found == readings_.end()) return false;
    if (items.empty()) return true;
    Node* node = found->second;
    const int first = static_cast<int>(node->children.size()) - 1;
    const int count = static_cast<int>(items.size());
    beginInsertRows(indexOf(node), first, first + count - 1);
    std::unique_ptr<Node> loading = std::move(node->children.back());
    node->children.pop_back();
    node->children.reserve(node->children.size() + items.size() + 1);
    for (const TreeItem& item : items) {
        auto child = std::make_unique<Node>();
        child->item = item;
        child->parent = node;
        child->row = static_cast<int>(node->children.size());
        node->children.push_back(std::move(child));
    }
    loading->row = static_cast<int>(node->children.size());
    node->children.push_back(std::move(loading));
    endInsertRows();
    return true;
}

void FolderTreeModel::finishReading(Token token) {
    const auto found = readings_.find(token);
    if (found == readings_.end()) return;
    Node* node = found->second;
    readings_.erase(found);
    // Read and found empty: the expand button goes once the view asks again.
    if (node->children.size() == 1) node->item.expandable = false;
    removeLoadingItem(node);
}

void FolderTreeModel::removeLoadingItem(Node* node) {
    if (node->reading == 0 || node->children.empty()) return;
    const int last = static_cast<int>(node->children.size()) - 1;
    beginRemoveRows(indexOf(node), last, last);
    node->children.pop_back();
    node->reading = 0;
    endRemoveRows();
}

void FolderTreeModel::forgetReadings(Node* node, std::vector<Token>& dropped) {
    if (node->reading != 0) {
        readings_.erase(node->reading);
        dropped.push_back(node->reading);
        node->reading = 0;
    }
    for (const auto& child : node->children) {
        if (!child->children.empty()) forgetReadings(child.get(), dropped);
    }
}

std::vector<FolderTreeModel::Token> FolderTreeModel::discardChildren(const QModelIndex& folder) {
    Node* node = nodeOf(folder);
    std::vector<Token> dropped;
    forgetReadings(node, dropped);
    const bool wasOpen = node->open;
    node->open = false;
    if (!node->children.empty()) {
        beginRemoveRows(folder, 0, static_cast<int>(node->children.size()) - 1);
        node->children.clear();
        endRemoveRows();
    }
    if (wasOpen && folder.isValid()) Q_EMIT dataChanged(folder, folder, {Qt::DecorationRole});
    return dropped;
}

std::string FolderTreeModel::path(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index)->item.path : std::string();
}

TreeItemKind FolderTreeModel::kind(const QModelIndex& index) const {
    return index.isValid() ? nodeOf(index)->item.kind : TreeItemKind::Loading;
}

}  // namespace varnetto
