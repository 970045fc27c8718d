#include "common/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace varnetto {

bool isRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
}

bool isNonFolder(const std::string& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    return !path.empty() && std::filesystem::exists(status) &&
           !std::filesystem::is_directory(status);
}

RegularFile::RegularFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        openError_ = errno;
        return;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        notRegular_ = true;
        ::close(fd);
        return;
    }
    // Regular files never block; reads are plain from here on.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(info.st_size);
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

int readWhole(int descriptor, std::string& out) {
    out.clear();
    char buffer[65536];
    for (off_t at = 0;;) {
        const ssize_t n = ::pread(descriptor, buffer, sizeof buffer, at);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        out.append(buffer, static_cast<size_t>(n));
        at += n;
    }
}

int RegularFile::readAll(std::string& out, std::uint64_t limit) {
    if (fd_ < 0) return openError_ ? openError_ : EINVAL;
    if (size_ > limit) return EFBIG;
    out.clear();
    out.reserve(static_cast<size_t>(size_));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (out.size() + static_cast<std::uint64_t>(n) > limit) return EFBIG;
        out.append(buffer, static_cast<size_t>(n));
    }
}

}  // namespace varnetto
