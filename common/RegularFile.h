#pragma once

#include <cstdint>
#include <string>

namespace varnetto {

// A file opened for reading only when it is a regular file. Opening never
// waits: an ordinary open of a FIFO waits for a writer forever, and a device
// such as /dev/zero never ends.
// Whether a regular file stands at path (links followed); errors count as no.
bool isRegularFile(const std::string& path);
// Whether something other than a folder stands at path.
bool isNonFolder(const std::string& path);

// Reads everything an open file holds, from its start, into out (the
// descriptor's own position is left alone). Returns 0 or the error number.
int readWhole(int descriptor, std::string& out);

class RegularFile {
  public:
    explicit RegularFile(const std::string& path);
    ~RegularFile();
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;

    bool opened() const { return fd_ >= 0; }
    // The open file, -1 when it did not open.
    int descriptor() const { return fd_; }
    // Set when the file could not be opened; 0 otherwise.
    int openError() const { return openError_; }
    // Something stands at the path, but it is no regular file.
    bool notRegular() const { return notRegular_; }
    std::uint64_t size() const { return size_; }

    // Reads the whole file into out, at most limit bytes (a file that grows
    // past it fails with EFBIG). Returns 0 or the error number.
    int readAll(std::string& out, std::uint64_t limit);

  private:
    int fd_ = -1;
    int openError_ = 0;
    bool notRegular_ = false;
    std::uint64_t size_ = 0;
};

}  // namespace varnetto
