#include "browser/DriveList.h"

#include <QDir>
#include <QStorageInfo>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string_view>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPseudoTypes[] = {
    "proc",      "sysfs",      "cgroup",      "cgroup2",         "devtmpfs",
    "devpts",    "tmpfs",      "ramfs",       "overlay",         "squashfs",
    "mqueue",    "debugfs",    "tracefs",     "securityfs",      "pstore",
    "bpf",       "configfs",   "fusectl",     "hugetlbfs",       "binfmt_misc",
    "autofs",    "efivarfs",   "nsfs",        "rpc_pipefs",      "nfsd",
    "selinuxfs", "fuse.lxcfs", "fuse.portal", "fuse.gvfsd-fuse", "aufs",
    "shiftfs"};

constexpr std::string_view kSystemTrees[] = {"/proc", "/sys", "/dev", "/run"};
constexpr std::string_view kContainerTrees[] = {"/snap", "/var/lib/docker", "/var/lib/containers",
                                                "/var/snap"};

bool isUnder(const std::string& path, std::string_view tree) {
    return path == tree ||
           (path.starts_with(tree) && path.size() > tree.size() && path[tree.size()] == '/');
}

std::string lastComponent(const std::string& path) {
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    const auto slash = trimmed.rfind('/');
    return slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

bool readsOne(const fs::path& file) {
    std::ifstream in(file);
    char flag = 0;
    return in >> flag && flag == '1';
}

QString labelOf(const MountEntry& mount, DriveKind kind) {
    if (kind == DriveKind::Optical) return QString::fromUtf8("光盘");
    if (kind == DriveKind::Removable) return QString::fromUtf8("可移动磁盘");
    if (!mount.volumeName.isEmpty()) return mount.volumeName;
    const std::string device = lastComponent(mount.device);
    return QString::fromStdString(device.empty() ? mount.fsType : device);
}

Drive driveOf(const MountEntry& mount, DriveKind kind) {
    Drive drive;
    drive.kind = kind;
    drive.path = mount.mountPath;
    drive.label = labelOf(mount, kind) + "(" + QString::fromStdString(mount.mountPath) + ")";
    return drive;
}

}  // namespace

bool isWorthListing(const MountEntry& mount) {
    if (std::find(std::begin(kPseudoTypes), std::end(kPseudoTypes), mount.fsType) !=
        std::end(kPseudoTypes))
        return false;
    if (isUnder(mount.mountPath, "/run/media")) return true;
    const auto under = [&](std::string_view tree) { return isUnder(mount.mountPath, tree); };
    return std::none_of(std::begin(kSystemTrees), std::end(kSystemTrees), under) &&
           std::none_of(std::begin(kContainerTrees), std::end(kContainerTrees), under);
}

DriveKind driveKindOf(const MountEntry& mount, const std::string& sysBlock) {
    if (mount.fsType == "iso9660" || mount.fsType == "udf") return DriveKind::Optical;
    if (!mount.device.starts_with("/dev/")) return DriveKind::Fixed;
    std::error_code error;
    // /dev/disk/by-label/... and /dev/mapper/... are links to the kernel's name.
    fs::path device = fs::canonical(mount.device, error);
    if (error) device = mount.device;
    const std::string name = device.filename().string();
    if (name.starts_with("sr")) return DriveKind::Optical;
    const fs::path entry = fs::path(sysBlock) / name;
    if (fs::exists(entry / "removable", error)) {
        return readsOne(entry / "removable") ? DriveKind::Removable : DriveKind::Fixed;
    }
    // A partition's entry sits inside its disk's.
    const fs::path disk = fs::canonical(entry, error).parent_path();
    if (!error && readsOne(disk / "removable")) return DriveKind::Removable;
    return DriveKind::Fixed;
}

std::vector<Drive> arrangeDrives(const std::vector<MountEntry>& mounts, const std::string& home,
                                 const std::function<DriveKind(const MountEntry&)>& kindOf) {
    std::vector<Drive> drives;
    auto listed = [&](const std::string& path) {
        return std::any_of(drives.begin(), drives.end(),
                           [&](const Drive& d) { return d.path == path; });
    };
    auto mountAt = [&](const std::string& path) {
        return std::find_if(mounts.begin(), mounts.end(),
                            [&](const MountEntry& m) { return m.mountPath == path; });
    };

    const auto root = mountAt("/");
    drives.push_back(
        driveOf(root != mounts.end() ? *root : MountEntry{"/", "", "/", {}}, DriveKind::Fixed));
    if (!home.empty() && home != "/") {
        const auto homeMount = mountAt(home);
        if (homeMount != mounts.end()) {
            drives.push_back(driveOf(*homeMount, DriveKind::Home));
        } else {
            drives.push_back(driveOf({home, lastComponent(home), "", {}}, DriveKind::Home));
        }
    }
    for (const MountEntry& mount : mounts) {
        if (listed(mount.mountPath) || !isWorthListing(mount)) continue;
        drives.push_back(driveOf(mount, kindOf(mount)));
    }
    return drives;
}

DriveListing systemDrives() {
    DriveListing listing;
    const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    if (volumes.isEmpty()) {
        listing.failed = true;
        return listing;
    }
    std::vector<MountEntry> mounts;
    for (const QStorageInfo& volume : volumes) {
        mounts.push_back({volume.rootPath().toStdString(), volume.device().toStdString(),
                          volume.fileSystemType().toStdString(), volume.name()});
    }
    std::string home = QDir::homePath().toStdString();
    std::error_code error;
    if (!fs::is_directory(home, error)) home.clear();
    listing.drives = arrangeDrives(mounts, home, [](const MountEntry& mount) {
        return driveKindOf(mount, "/sys/class/block");
    });
    return listing;
}

}  // namespace varnetto
