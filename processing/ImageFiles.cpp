#include "processing/ImageFiles.h"

#include "common/PendingFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <utility>

namespace varnetto {

namespace {

bool endsWithNoCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    return std::equal(suffix.begin(), suffix.end(), text.end() - static_cast<long>(suffix.size()),
                      [](char a, char b) {
                          return std::tolower(static_cast<unsigned char>(a)) ==
                                 std::tolower(static_cast<unsigned char>(b));
                      });
}

// A pattern "*.ext" matches a name that ends in ".ext" and has something
// before it.
bool matchesPattern(std::string_view fileName, std::string_view pattern) {
    const std::string_view suffix = pattern.substr(1);
    return fileName.size() > suffix.size() && endsWithNoCase(fileName, suffix);
}

}  // namespace

bool isAcceptedImageName(std::string_view fileName) {
    return std::any_of(extensionPatterns.begin(), extensionPatterns.end(),
                       [&](std::string_view p) { return matchesPattern(fileName, p); });
}

namespace {

// Closes a descriptor when the scope ends.
class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

struct FolderEntries {
    std::vector<std::string> files;    // regular files, also through links
    std::vector<std::string> folders;  // never links
};

// The entries of the folder open at fd, each name sorted. Read relative to
// the descriptor, so that a folder deeper than the system's path limit is
// read as well: its pictures then fail by name instead of going unseen.
FolderEntries readFolder(int fd) {
    FolderEntries entries;
    const int own = ::dup(fd);
    if (own < 0) return entries;
    struct CloseDir {
        void operator()(DIR* dir) const { ::closedir(dir); }
    };
    std::unique_ptr<DIR, CloseDir> dir(::fdopendir(own));
    if (!dir) {
        ::close(own);
        return entries;
    }
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat info {};
        if (::fstatat(fd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(info.st_mode)) {
            entries.folders.push_back(name);
            continue;
        }
        if (S_ISLNK(info.st_mode) && ::fstatat(fd, name.c_str(), &info, 0) != 0) continue;
        // A write in progress, or one a killed run left: never a picture.
        if (S_ISREG(info.st_mode) && !isPendingFileName(name)) entries.files.push_back(name);
    }
    std::sort(entries.files.begin(), entries.files.end());
    std::sort(entries.folders.begin(), entries.folders.end());
    return entries;
}

std::string withSlash(std::string folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::vector<std::string> imagePaths(const std::string& folder, const FolderEntries& entries) {
    const std::string base = withSlash(folder);
    std::vector<std::string> paths;
    for (std::string_view pattern : extensionPatterns)
        for (const std::string& name : entries.files)
            if (matchesPattern(name, pattern)) paths.push_back(base + name);
    return paths;
}

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

void collectTree(int fd, const std::string& folder, const std::string& subfolder,
                 const std::optional<std::pair<dev_t, ino_t>>& skip,
                 std::vector<FolderImage>& out) {
    const FolderEntries entries = readFolder(fd);
    for (std::string& path : imagePaths(folder, entries))
        out.push_back({std::move(path), subfolder});
    for (const std::string& child : entries.folders) {
        const Descriptor childFd(::openat(fd, child.c_str(), kFolderFlags | O_NOFOLLOW));
        if (childFd.get() < 0) continue;
        struct stat info {};
        if (skip && ::fstat(childFd.get(), &info) == 0 &&
            std::pair(info.st_dev, info.st_ino) == *skip)
            continue;
        collectTree(childFd.get(), withSlash(folder) + child,
                    subfolder.empty() ? child : subfolder + "/" + child, skip, out);
    }
}

}  // namespace

std::vector<std::string> listFolderImages(const std::string& folder) {
    const Descriptor fd(::open(folder.c_str(), kFolderFlags));
    if (fd.get() < 0) return {};
    return imagePaths(folder, readFolder(fd.get()));
}

std::vector<FolderImage> listFolderImagesRecursive(const std::string& folder,
                                                   const std::string& skip) {
    std::vector<FolderImage> images;
    const Descriptor fd(::open(folder.c_str(), kFolderFlags));
    if (fd.get() < 0) return images;
    std::optional<std::pair<dev_t, ino_t>> skipped;
    struct stat info {};
    if (!skip.empty() && ::stat(skip.c_str(), &info) == 0) skipped = {info.st_dev, info.st_ino};
    collectTree(fd.get(), folder, {}, skipped, images);
    return images;
}

}  // namespace varnetto
