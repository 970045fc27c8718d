#pragma once

// An encode kept in memory: the savers write through a descriptor, so a
// memory file takes the place of the temporary file until the bytes are
// chosen or finished.

#include "common/PendingFile.h"
#include "common/RegularFile.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <system_error>

namespace varnetto::detail {

class MemoryFile {
  public:
    MemoryFile() : descriptor_(::memfd_create("varnetto-encode", MFD_CLOEXEC)) {
        if (descriptor_ < 0) throw std::system_error(errno, std::generic_category());
    }
    ~MemoryFile() { ::close(descriptor_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    int descriptor() const { return descriptor_; }
    std::int64_t size() const {
        struct stat info {};
        if (::fstat(descriptor_, &info) != 0)
            throw std::system_error(errno, std::generic_category());
        return info.st_size;
    }
    std::string bytes() const {
        std::string all;
        if (const int error = readWhole(descriptor_, all))
            throw std::system_error(error, std::generic_category());
        return all;
    }
    void copyTo(int target) const {
        char buffer[1 << 16];
        for (off_t at = 0;;) {
            const ssize_t got = ::pread(descriptor_, buffer, sizeof buffer, at);
            if (got < 0) throw std::system_error(errno, std::generic_category());
            if (got == 0) return;
            writeAll(target, std::string_view(buffer, static_cast<std::size_t>(got)));
            at += got;
        }
    }

  private:
    int descriptor_;
};

}  // namespace varnetto::detail
