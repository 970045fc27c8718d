#pragma once

#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace varnetto {

enum class DriveKind { Fixed, Home, Removable, Optical };

// One mounted file system as the mount table lists it.
struct MountEntry {
    std::string mountPath;
    std::string device;  // "/dev/sda1", "overlay", "server:/share"
    std::string fsType;
    QString volumeName;  // empty when the volume has no label
};

// A top-level item of the folder tree.
struct Drive {
    QString label;  // "Data(/media/data)", "光盘(/media/cdrom)"
    std::string path;
    DriveKind kind = DriveKind::Fixed;
    bool expandable = false;  // filled in when the drive is read
};

struct DriveListing {
    bool failed = false;  // the mount table could not be read
    std::vector<Drive> drives;
};

// Where the folder tree gets its drives; tests give their own.
using DriveSource = std::function<DriveListing()>;

// False for file systems that hold nothing a user browses for pictures:
// kernel and memory file systems, container layers, snap images, and mounts
// under /proc, /sys, /dev and /run (except /run/media).
bool isWorthListing(const MountEntry& mount);

// Optical for CD and DVD file systems and sr devices; Removable when the
// kernel marks the device (or the disk holding the partition) removable
// under sysBlock (normally /sys/class/block).
DriveKind driveKindOf(const MountEntry& mount, const std::string& sysBlock);

// "/" first, then the home folder (the mount at that path, or the folder
// itself), then the other mounts worth listing in mount-table order, each
// path once.
std::vector<Drive> arrangeDrives(const std::vector<MountEntry>& mounts, const std::string& home,
                                 const std::function<DriveKind(const MountEntry&)>& kindOf);

// The mounted file systems of this machine, arranged.
DriveListing systemDrives();

}  // namespace varnetto
