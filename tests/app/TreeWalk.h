#pragma once

#include "browser/FolderTree.h"

#include <QEventLoop>

#include <filesystem>
#include <string>

namespace varnetto::testing {

// Waits in an event loop until the tree has read what it was reading.
inline void waitForTree(FolderTree& tree) {
    QEventLoop loop;
    QObject::connect(&tree, &FolderTree::readingFinished, &loop, &QEventLoop::quit);
    if (tree.reading()) loop.exec();
}

// Opens the tree from its root drive down to the parent of folder and
// returns folder's item, not yet expanded; invalid when a step is missing.
inline QModelIndex openTreeDownTo(FolderTree& tree, const std::string& folder) {
    waitForTree(tree);
    QModelIndex at = tree.model()->index(0, 0);
    for (const auto& part : std::filesystem::path(folder).relative_path()) {
        tree.expand(at);
        waitForTree(tree);
        const auto found =
            tree.model()->match(tree.model()->index(0, 0, at), Qt::DisplayRole,
                                QString::fromStdString(part.string()), 1, Qt::MatchExactly);
        if (found.isEmpty()) return {};
        at = found.first();
    }
    return at;
}

}  // namespace varnetto::testing
