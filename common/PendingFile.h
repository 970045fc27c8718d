#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnetto {

// A file written under a temporary name beside its target and renamed over
// it when complete, so a crash leaves the old file or the new one, never half
// of one. A target that is a link is written through: the temporary file goes
// beside the file the link leads to, which is replaced keeping its mode and,
// where the system lets us, its owner. The temporary name is short and of
// fixed length (whatever the target's name) and keeps a short extension, for
// encoders that choose the format by it. Destroying an uncommitted
// PendingFile removes the temporary file, never anything else.
class PendingFile {
  public:
    // Throws std::system_error when target holds a NUL byte: the system would
    // read a shorter path.
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& tempPath() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Renames the temporary file over the file the target names. Throws
    // std::system_error.
    void commit();
    // Renames the temporary file to the target only while no file of that
    // name exists, so a file made meanwhile by someone else is kept. Returns
    // false, having removed the temporary file, when the target exists.
    // Throws std::system_error.
    bool commitUnlessExists();

  private:
    std::filesystem::path target_;
    std::filesystem::path written_;  // target_ with its links followed
    std::filesystem::path temp_;
    bool committed_ = false;
};

// True for the names PendingFile gives its temporary files (and gave them in
// earlier versions): a folder scan never takes them for the user's files.
bool isPendingFileName(std::string_view name);

// Removes temporary files of PendingFile's naming in folder that were last
// written before olderThan by a process that no longer runs: what a killed
// program left behind. Errors are ignored.
void removeStalePendingFiles(const std::filesystem::path& folder,
                             std::filesystem::file_time_type olderThan);

// The same for the folder a write to file really goes to: that of its
// link's target when file is a symbolic link.
void removeStalePendingFilesBeside(const std::filesystem::path& file,
                                   std::filesystem::file_time_type olderThan);

// Writes all of bytes to descriptor. Throws std::system_error.
void writeAll(int descriptor, std::string_view bytes);

// Writes bytes to path through a PendingFile. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Writes bytes to path through a PendingFile unless path exists; returns
// false then, leaving it untouched. Throws std::system_error.
bool writeNewFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace varnetto
