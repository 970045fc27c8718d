#include "common/PendingFile.h"

#include "common/ImageFormats.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>
#include <random>
#include <system_error>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = ".~vn";
constexpr size_t kHexDigits = 8;
// Longer extensions are left off: no encoder needs them, and they would
// make the name long again.
constexpr size_t kLongestExtension = 12;
constexpr std::string_view kStoreExtension = "bis";

// Starts at a random value, so a stale file of an earlier process that had
// the same id does not collide with a new name.
std::atomic<std::uint32_t> nextSequence{std::random_device{}()};

std::string hex(std::uint32_t value) {
    char text[kHexDigits + 1];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

bool allDigits(std::string_view text, int base) {
    if (text.empty()) return false;
    for (const char c : text) {
        const bool digit = c >= '0' && c <= '9';
        const bool hexLetter = base == 16 && c >= 'a' && c <= 'f';
        if (!digit && !hexLetter) return false;
    }
    return true;
}

std::optional<pid_t> number(std::string_view text, int base) {
    if (!allDigits(text, base)) return std::nullopt;
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size() || value <= 0 ||
        value > 0x7FFFFFFF)
        return std::nullopt;
    return static_cast<pid_t>(value);
}

// ".~vn" + 8 hex digits of the writer's process id + 8 hex digits + an
// optional extension.
std::optional<pid_t> currentNamingOwner(std::string_view name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const std::string_view rest = name.substr(kPrefix.size());
    if (rest.size() < 2 * kHexDigits) return std::nullopt;
    const std::string_view extension = rest.substr(2 * kHexDigits);
    if (!extension.empty() && extension[0] != '.') return std::nullopt;
    if (!allDigits(rest.substr(kHexDigits, kHexDigits), 16)) return std::nullopt;
    return number(rest.substr(0, kHexDigits), 16);
}

// Earlier versions: ".~" + the target's stem + "." + process id + "-" +
// counter + the target's extension, one of those the program writes: a
// picture's or the store's (other programs' hidden files, such as
// ".~lock.plan.2023-1.odt#", look alike).
std::optional<pid_t> earlierNamingOwner(std::string_view name) {
    if (name.substr(0, 2) != ".~") return std::nullopt;
    auto ownerIn = [](std::string_view stem) -> std::optional<pid_t> {
        const auto dash = stem.rfind('-');
        if (dash == std::string_view::npos || !allDigits(stem.substr(dash + 1), 10))
            return std::nullopt;
        const auto dot = stem.rfind('.', dash);
        if (dot == std::string_view::npos || dot < 2) return std::nullopt;
        return number(stem.substr(dot + 1, dash - dot - 1), 10);
    };
    if (const auto owner = ownerIn(name)) return owner;
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || dot < 2) return std::nullopt;
    std::string extension(name.substr(dot + 1));
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const ImageFormat* picture = formatForSuffix(extension);
    const bool written = picture ? picture->saver != Codec::None : extension == kStoreExtension;
    if (!written) return std::nullopt;
    return ownerIn(name.substr(0, dot));
}

std::optional<pid_t> pendingFileOwner(std::string_view name) {
    if (const auto owner = currentNamingOwner(name)) return owner;
    return earlierNamingOwner(name);
}

bool processRuns(pid_t pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

// Follows a chain of links to the file it ends in (which may not exist yet).
fs::path followLinks(fs::path path) {
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error)) || error) return path;
        const fs::path link = fs::read_symlink(path, error);
        if (error) return path;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    return path;
}

// The creation mask of the process, read without changing it (umask() would
// change it for every thread for a moment).
mode_t creationMask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) != 0) continue;
        unsigned mask = 022;
        if (std::sscanf(line.c_str() + 6, "%o", &mask) == 1)
            return static_cast<mode_t>(mask & 0777);
    }
    return 022;
}

}  // namespace

PendingFile::PendingFile(fs::path target) : target_(std::move(target)) {
    if (target_.native().find('\0') != std::string::npos)
        throw std::system_error(EINVAL, std::generic_category(), "a file name holds a NUL byte");
    written_ = followLinks(target_);
    std::string name(kPrefix);
    name += hex(static_cast<std::uint32_t>(::getpid()));
    name += hex(nextSequence.fetch_add(1));
    const std::string extension = written_.extension().string();
    if (extension.size() <= kLongestExtension) name += extension;
    temp_ = written_.parent_path() / name;
}

PendingFile::~PendingFile() {
    // unlink, not remove: whatever else stands under the name (a folder) stays.
    if (!committed_) ::unlink(temp_.c_str());
}

void PendingFile::commit() {
    struct stat existing {};
    if (::stat(written_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        // Owner first: a change of owner clears the set-id bits that the mode
        // then restores. Only root may give a file away; a group may be
        // changed by its members.
        const bool root = ::geteuid() == 0;
        if ((root || existing.st_gid != ::getegid()) &&
            ::chown(temp_.c_str(), root ? existing.st_uid : static_cast<uid_t>(-1),
                    existing.st_gid) != 0) {
            // Not ours to give away: the file stays ours, with the old mode.
        }
        ::chmod(temp_.c_str(), existing.st_mode & 07777);
    } else {
        ::chmod(temp_.c_str(), 0666 & ~creationMask());
    }
    if (::rename(temp_.c_str(), written_.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot replace " + target_.string());
    committed_ = true;
}

bool PendingFile::commitUnlessExists() {
    ::chmod(temp_.c_str(), 0666 & ~creationMask());
    int result = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target_.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without that rename: a hard link refuses an existing
        // name just as well.
        result = ::link(temp_.c_str(), target_.c_str());
        if (result == 0) ::unlink(temp_.c_str());
    }
    if (result != 0) {
        if (errno == EEXIST) return false;  // the destructor removes the temporary file
        throw std::system_error(errno, std::generic_category(),
                                "cannot create " + target_.string());
    }
    committed_ = true;
    return true;
}

bool isPendingFileName(std::string_view name) {
    return pendingFileOwner(name).has_value();
}

void removeStalePendingFiles(const fs::path& folder, fs::file_time_type olderThan) {
    if (folder.empty() || folder.native().find('\0') != std::string::npos) return;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        const auto owner = pendingFileOwner(name);
        if (!owner || *owner == ::getpid() || processRuns(*owner)) continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
        const auto written = it->last_write_time(entryError);
        if (entryError || written >= olderThan) continue;
        ::unlink(it->path().c_str());
    }
}

void removeStalePendingFilesBeside(const fs::path& file, fs::file_time_type olderThan) {
    removeStalePendingFiles(followLinks(file).parent_path(), olderThan);
}

namespace {

// Private until commit gives it the mode it is to have.
void writeTemporary(const PendingFile& pending, std::string_view bytes) {
    const fs::path& path = pending.target();
    const int fd = ::open(pending.tempPath().c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), pending.tempPath().string());
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int saved = errno;
            ::close(fd);
            throw std::system_error(saved, std::generic_category(), path.string());
        }
        written += static_cast<size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed)
        throw std::system_error(synced ? errno : syncError, std::generic_category(), path.string());
}

}  // namespace

void writeAll(int descriptor, std::string_view bytes) {
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(descriptor, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            throw std::system_error(errno, std::generic_category());
        }
        written += static_cast<size_t>(n);
    }
}

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    PendingFile pending(path);
    writeTemporary(pending, bytes);
    pending.commit();
}

bool writeNewFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code error;
    if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) return false;
    PendingFile pending(path);
    writeTemporary(pending, bytes);
    return pending.commitUnlessExists();
}

}  // namespace varnetto
