#include "processing/FolderWatch.h"

#include "common/PendingFile.h"
#include "processing/ImageFiles.h"

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <system_error>

namespace varnetto {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

namespace {

// Names other programs give files they are still writing.
constexpr std::array<std::string_view, 3> kUnfinishedSuffixes{".part", ".crdownload", ".tmp"};

// A copy of many pictures sends its events close together; they are taken
// as one change so the pictures are processed side by side.
constexpr milliseconds kSettle{100};
constexpr milliseconds kLongestSettle{1000};
// How often a folder that went away is looked for.
constexpr milliseconds kLookAgain{2000};

// A name made is a file being written, except a link: that is complete at
// once and sends nothing more.
constexpr std::uint32_t kFolderEvents =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - suffix.size(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    });
}

bool isMountPoint(const std::string& folder) {
    struct stat self {};
    struct stat parent {};
    return ::stat(folder.c_str(), &self) == 0 &&
           ::stat(fs::path(folder).parent_path().c_str(), &parent) == 0 &&
           self.st_dev != parent.st_dev;
}

// A hard link or a symbolic link, made to a file that exists already.
bool isLink(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 &&
           (S_ISLNK(status.st_mode) || (S_ISREG(status.st_mode) && status.st_nlink > 1));
}

}  // namespace

bool isWatchedPictureName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.back() == '~') return false;
    for (const std::string_view suffix : kUnfinishedSuffixes)
        if (endsWithNoCase(name, suffix)) return false;
    return !isPendingFileName(name) && isAcceptedImageName(name);
}

FolderWatch::FolderWatch(std::vector<std::string> folders, bool recursive,
                         std::vector<std::string> skipped)
    : recursive_(recursive), roots_(std::move(folders)) {
    for (const std::string& folder : skipped)
        if (!folder.empty()) skipped_.insert(fs::path(folder).lexically_normal().string());
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) throw std::system_error(errno, std::generic_category(), "inotify");
    for (std::string& root : roots_) {
        root = fs::path(root).lexically_normal().string();
        if (root.size() > 1 && root.back() == '/') root.pop_back();
        if (!watchOne(root)) {
            lostRoots_.insert(root);
            continue;
        }
        // The first pass of the caller takes the pictures there already.
        if (recursive_) watchTree(root, nullptr);
    }
    lastLook_ = steady_clock::now();
}

FolderWatch::~FolderWatch() {
    if (fd_ >= 0) ::close(fd_);
}

std::vector<std::string> FolderWatch::missingFolders() const {
    return {lostRoots_.begin(), lostRoots_.end()};
}

bool FolderWatch::watchOne(const std::string& folder) {
    const bool root = std::find(roots_.begin(), roots_.end(), folder) != roots_.end();
    // A folder given to watch is watched even when outputs go there.
    if (!root && skipped_.count(folder)) return false;
    const int wd = ::inotify_add_watch(fd_, folder.c_str(), kFolderEvents);
    if (wd < 0) return false;
    folders_[wd] = folder;
    if (root) mountPoints_[folder] = isMountPoint(folder);
    return true;
}

// The folder and, with recursion, its subfolders; links to folders are not
// followed. Pictures already in the folders are reported when change is
// given: they may have arrived before the watch was set.
void FolderWatch::watchTree(const std::string& folder, Change* change) {
    if (!watchOne(folder)) return;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        const std::string path = it->path().string();
        const std::string name = it->path().filename().string();
        if (it->is_symlink(entryError)) continue;
        if (recursive_ && it->is_directory(entryError)) {
            if (!name.empty() && name.front() != '.') watchTree(path, change);
        } else if (change && isWatchedPictureName(name) && it->is_regular_file(entryError)) {
            change->pictures.push_back(path);
        }
    }
}

void FolderWatch::forget(int wd) {
    const auto it = folders_.find(wd);
    if (it == folders_.end()) return;
    ::inotify_rm_watch(fd_, wd);
    folders_.erase(it);
}

void FolderWatch::readEvents(Change& change) {
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return;
        }
        for (ssize_t at = 0; at < n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                change.overflowed = true;
                continue;
            }
            const auto it = folders_.find(event->wd);
            if (it == folders_.end()) continue;
            const std::string folder = it->second;
            if (event->mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT)) {
                // A folder moved away would still be followed where it went.
                forget(event->wd);
                if (std::find(roots_.begin(), roots_.end(), folder) != roots_.end() &&
                    lostRoots_.insert(folder).second)
                    change.lost.push_back(folder);
                continue;
            }
            if (event->len == 0) continue;
            const std::string name = event->name;
            const std::string path = folder + "/" + name;
            if (event->mask & IN_ISDIR) {
                if (recursive_ && !name.empty() && name.front() != '.' && !skipped_.count(path)) {
                    watchTree(path, &change);
                    change.appeared.push_back(path);
                }
                continue;
            }
            if (!isWatchedPictureName(name)) continue;
            if ((event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) ||
                ((event->mask & IN_CREATE) && isLink(path)))
                change.pictures.push_back(path);
        }
    }
}

void FolderWatch::lookForLostFolders(Change& change) {
    if (lostRoots_.empty() || steady_clock::now() - lastLook_ < kLookAgain) return;
    lastLook_ = steady_clock::now();
    for (auto it = lostRoots_.begin(); it != lostRoots_.end();) {
        std::error_code error;
        // A mount point left behind by an unmount is only the empty folder
        // under it: the medium is back once something is mounted there again.
        const auto mounted = mountPoints_.find(*it);
        const bool back = fs::is_directory(*it, error) &&
                          (mounted == mountPoints_.end() || !mounted->second || isMountPoint(*it));
        if (back && watchOne(*it)) {
            watchTree(*it, &change);
            change.appeared.push_back(*it);
            it = lostRoots_.erase(it);
        } else {
            ++it;
        }
    }
}

FolderWatch::Change FolderWatch::wait(milliseconds timeout) {
    Change change;
    lookForLostFolders(change);
    pollfd ready{fd_, POLLIN, 0};
    const auto started = steady_clock::now();
    if (change.empty() && ::poll(&ready, 1, static_cast<int>(timeout.count())) <= 0) return change;
    readEvents(change);
    while (steady_clock::now() -
           started<kLongestSettle&& ::poll(&ready, 1, static_cast<int>(kSettle.count()))> 0)
        readEvents(change);
    // Each picture once, where it was first seen.
    std::set<std::string> seen;
    std::erase_if(change.pictures, [&](const std::string& p) { return !seen.insert(p).second; });
    return change;
}

}  // namespace varnetto
