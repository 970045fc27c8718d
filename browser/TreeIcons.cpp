#include "browser/TreeIcons.h"

#include <QApplication>
#include <QStyle>

namespace varnetto {

TreeIcons::TreeIcons()
    : drive_(provider_.icon(QAbstractFileIconProvider::Drive)),
      folder_(provider_.icon(QAbstractFileIconProvider::Folder)),
      file_(provider_.icon(QAbstractFileIconProvider::File)) {
    home_ = QIcon::fromTheme(QStringLiteral("user-home"), folder_);
    removable_ = QIcon::fromTheme(QStringLiteral("drive-removable-media"), drive_);
    optical_ = QIcon::fromTheme(QStringLiteral("drive-optical"),
                                QApplication::style()->standardIcon(QStyle::SP_DriveCDIcon));
    folderOpen_ = QIcon::fromTheme(QStringLiteral("folder-open"),
                                   QApplication::style()->standardIcon(QStyle::SP_DirOpenIcon));
    if (folderOpen_.isNull()) folderOpen_ = folder_;
}

QIcon TreeIcons::drive(DriveKind kind) const {
    switch (kind) {
        case DriveKind::Home:
            return home_;
        case DriveKind::Removable:
            return removable_;
        case DriveKind::Optical:
            return optical_;
        case DriveKind::Fixed:
            break;
    }
    return drive_;
}

QIcon TreeIcons::file(const std::string& name) const {
    const auto dot = name.rfind('.');
    const QString extension =
        dot == std::string::npos ? QString() : QString::fromStdString(name.substr(dot)).toLower();
    const auto cached = byExtension_.constFind(extension);
    if (cached != byExtension_.constEnd()) return *cached;
    const QMimeType type =
        mimeTypes_.mimeTypeForFile(QStringLiteral("x") + extension, QMimeDatabase::MatchExtension);
    const QIcon icon =
        QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName(), file_));
    byExtension_.insert(extension, icon);
    return icon;
}

}  // namespace varnetto
