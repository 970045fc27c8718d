#include "common/PendingFile.h"

#include <fcntl.h>
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

void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    PendingFile pending(path);
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
    pending.commit();
}

}  // namespace varnetto
