#include "common/PendingFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

namespace varnetto {

namespace {
std::atomic<unsigned> tempCounter{0};
}

PendingFile::PendingFile(std::filesystem::path target) : target_(std::move(target)) {
    const std::string name = ".~" + target_.stem().string() + "." + std::to_string(getpid()) + "-" +
                             std::to_string(tempCounter.fetch_add(1)) +
                             target_.extension().string();
    temp_ = target_.parent_path() / name;
}

PendingFile::~PendingFile() {
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temp_, ignored);
    }
}

void PendingFile::commit() {
    std::error_code error;
    // A replaced file keeps its permissions: a private file stays private.
    const auto existing = std::filesystem::status(target_, error);
    if (!error && std::filesystem::is_regular_file(existing))
        std::filesystem::permissions(temp_, existing.permissions(), error);
    std::filesystem::rename(temp_, target_, error);
    if (error) throw std::system_error(error, "cannot replace " + target_.string());
    committed_ = true;
}

bool PendingFile::commitUnlessExists() {
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

namespace {

void writeTemporary(const PendingFile& pending, std::string_view bytes) {
    const int fd =
        ::open(pending.tempPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw std::system_error(errno, std::generic_category(), pending.tempPath().string());
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int saved = errno;
            ::close(fd);
            throw std::system_error(saved, std::generic_category(), pending.tempPath().string());
        }
        written += static_cast<size_t>(n);
    }
    const bool synced = ::fsync(fd) == 0;
    const int syncError = errno;
    const bool closed = ::close(fd) == 0;
    if (!synced || !closed)
        throw std::system_error(synced ? errno : syncError, std::generic_category(),
                                pending.tempPath().string());
}

}  // namespace

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
