#include "common/PendingFile.h"

#include "common/ImageFormats.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <system_error>

namespace varnetto {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = ".~vn";
constexpr size_t kHexDigits = 8;
// Host tag, process id, random characters.
constexpr size_t kNameDigits = 3 * kHexDigits;
// The previous version's names held the process id and a counter only.
constexpr size_t kPreviousNameDigits = 2 * kHexDigits;
// Longer extensions are left off: no encoder needs them, and they would
// make the name long again.
constexpr size_t kLongestExtension = 12;
constexpr std::string_view kStoreExtension = "bis";
constexpr int kNameAttempts = 16;
// Another host's process cannot be asked whether it still runs; a day is far
// longer than any picture takes to write.
constexpr auto kForeignLifetime = std::chrono::hours(24);

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

std::uint32_t fnv1a(std::string_view text, std::uint32_t hash = 2166136261u) {
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// This host and boot: the host name tells containers that share a kernel
// (and so a boot id) apart, the boot id a restarted machine from itself. A
// process id means something only under the same tag.
std::uint32_t hostTag() {
    static const std::uint32_t tag = [] {
        char host[256] = {};
        ::gethostname(host, sizeof host - 1);
        std::string boot;
        std::ifstream("/proc/sys/kernel/random/boot_id") >> boot;
        return fnv1a(boot, fnv1a(host));
    }();
    return tag;
}

std::uint32_t randomWord() {
    std::uint32_t value = 0;
    while (::getrandom(&value, sizeof value, 0) != sizeof value) {
        if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "getrandom");
    }
    return value;
}

struct Writer {
    std::optional<std::uint32_t> host;  // none for the previous version's names
    pid_t pid;
};

// kPrefix + hex digits + an optional extension: 24 digits (host tag, process
// id, random) now, 16 (process id, counter) in the previous version.
std::optional<Writer> prefixedNamingWriter(std::string_view name) {
    if (name.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
    const std::string_view rest = name.substr(kPrefix.size());
    size_t digits = 0;
    while (digits < rest.size() && allDigits(rest.substr(digits, 1), 16)) ++digits;
    if (digits != kNameDigits && digits != kPreviousNameDigits) return std::nullopt;
    if (digits < rest.size() && rest[digits] != '.') return std::nullopt;
    if (digits == kPreviousNameDigits) {
        const auto pid = number(rest.substr(0, kHexDigits), 16);
        if (!pid) return std::nullopt;
        return Writer{std::nullopt, *pid};
    }
    std::uint32_t host = 0;
    std::from_chars(rest.data(), rest.data() + kHexDigits, host, 16);
    const auto pid = number(rest.substr(kHexDigits, kHexDigits), 16);
    if (!pid) return std::nullopt;
    return Writer{host, *pid};
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

std::string errorText(int error) {
    return std::system_category().message(error);
}

}  // namespace

PendingFile::PendingFile(fs::path target, Links links) : target_(std::move(target)) {
    if (target_.native().find('\0') != std::string::npos)
        throw std::system_error(EINVAL, std::generic_category(), "a file name holds a NUL byte");
    written_ = links == Links::Follow ? followLinks(target_) : target_;
    const std::string extension = written_.extension().string();
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        std::string name(kPrefix);
        name += hex(hostTag());
        name += hex(static_cast<std::uint32_t>(::getpid()));
        name += hex(randomWord());
        if (extension.size() <= kLongestExtension) name += extension;
        temp_ = written_.parent_path() / name;
        // The mode the umask leaves, as for any new file; a replaced file's
        // mode is given at the commit.
        fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd_ >= 0) return;
        if (errno != EEXIST) break;
    }
    const int error = errno;
    throw std::system_error(error, std::generic_category(), "cannot create " + temp_.string());
}

PendingFile::~PendingFile() {
    if (!done_) discard();
}

void PendingFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

std::string PendingFile::discard() {
    close();
    if (done_) return {};
    done_ = true;
    // unlink, not remove: whatever else stands under the name (a folder) stays.
    if (::unlink(temp_.c_str()) == 0 || errno == ENOENT) return {};
    return errorText(errno);
}

// The data reaches the disk before the name does: a power cut after the
// rename leaves the whole new file, not an empty one.
void PendingFile::flush() {
    if (fd_ < 0)
        throw std::system_error(EBADF, std::generic_category(), "cannot write " + target_.string());
    const bool synced = ::fsync(fd_) == 0;
    const int syncError = errno;
    const int closed = ::close(fd_);
    const int closeError = errno;
    fd_ = -1;
    if (!synced || closed != 0)
        throw std::system_error(synced ? closeError : syncError, std::generic_category(),
                                "cannot write " + target_.string());
}

namespace {

// The rename itself reaches the disk. A folder that cannot be flushed (some
// file systems refuse fsync on one) holds the file all the same.
void flushFolderOf(const fs::path& file) {
    const fs::path folder = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void PendingFile::commit() {
    flush();
    struct stat existing {};
    // lstat: with Links::Replace a link is replaced, and a link's target
    // lends it nothing.
    if (::lstat(written_.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
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
    }
    if (::rename(temp_.c_str(), written_.c_str()) != 0)
        throw std::system_error(errno, std::generic_category(),
                                "cannot replace " + target_.string());
    done_ = true;
    flushFolderOf(written_);
}

bool PendingFile::commitUnlessExists() {
    if (commitNew(target_)) return true;
    discard();
    return false;
}

bool PendingFile::commitUnlessExists(const fs::path& target) {
    return commitNew(target);
}

bool PendingFile::commitNew(const fs::path& target) {
    if (done_)
        throw std::system_error(EBADF, std::generic_category(), "cannot write " + target.string());
    if (fd_ >= 0) flush();
    int result = ::renameat2(AT_FDCWD, temp_.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE);
    if (result != 0 && (errno == EINVAL || errno == ENOSYS)) {
        // File systems without that rename: a hard link refuses an existing
        // name just as well.
        result = ::link(temp_.c_str(), target.c_str());
        if (result == 0) ::unlink(temp_.c_str());
    }
    if (result != 0) {
        if (errno == EEXIST) return false;
        throw std::system_error(errno, std::generic_category(), "cannot create " + target.string());
    }
    done_ = true;
    flushFolderOf(target);
    return true;
}

bool isPendingFileName(std::string_view name) {
    return prefixedNamingWriter(name) || earlierNamingOwner(name);
}

void removeStalePendingFiles(const fs::path& folder, fs::file_time_type olderThan) {
    if (folder.empty() || folder.native().find('\0') != std::string::npos) return;
    const auto foreignBefore = fs::file_time_type::clock::now() - kForeignLifetime;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const auto writer = prefixedNamingWriter(it->path().filename().string());
        if (!writer) continue;
        const bool here = writer->host == hostTag();
        if (here && (writer->pid == ::getpid() || processRuns(writer->pid))) continue;
        std::error_code entryError;
        if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
        const auto written = it->last_write_time(entryError);
        if (entryError || written >= (here ? olderThan : std::min(olderThan, foreignBefore)))
            continue;
        ::unlink(it->path().c_str());
    }
}

void removeStalePendingFilesBeside(const fs::path& file, fs::file_time_type olderThan) {
    removeStalePendingFiles(followLinks(file).parent_path(), olderThan);
}

namespace {

void writeTemporary(const PendingFile& pending, std::string_view bytes) {
    try {
        writeAll(pending.descriptor(), bytes);
    } catch (const std::system_error& error) {
        throw std::system_error(error.code(), pending.target().string());
    }
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
    PendingFile pending(path, Links::Follow);
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
