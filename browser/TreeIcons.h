#pragma once

#include "browser/DriveList.h"

#include <QFileIconProvider>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>

#include <string>

namespace varnetto {

// The system's icons for the folder tree. File icons come from the name's
// extension alone, so showing ten thousand pictures reads none of them.
class TreeIcons {
  public:
    TreeIcons();

    // False when the system offers no folder icon at all.
    bool usable() const { return !folder_.isNull(); }
    QIcon drive(DriveKind kind) const;
    QIcon folder(bool open) const { return open ? folderOpen_ : folder_; }
    QIcon file(const std::string& name) const;

  private:
    QFileIconProvider provider_;
    QMimeDatabase mimeTypes_;
    QIcon drive_;
    QIcon home_;
    QIcon removable_;
    QIcon optical_;
    QIcon folder_;
    QIcon folderOpen_;
    QIcon file_;
    mutable QHash<QString, QIcon> byExtension_;
};

}  // namespace varnetto
