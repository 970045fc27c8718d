#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnetto {

// What a target that is a symbolic link gets.
enum class Links {
    // The link itself is replaced by the new file: an output never goes
    // where a link planted by someone else leads.
    Replace,
    // The file the link leads to is replaced, keeping its mode and, where
    // the system lets us, its owner (the store's documented rule).
    Follow,
};

// A file written under a temporary name beside its target and renamed over
// it when complete, so a crash leaves the old file or the new one, never half
// of one. The temporary file is created at construction, exclusively and
// never through a link, under a name nobody can guess (".~vn", the host's
// tag, the process id, random characters, a short extension for encoders
// that choose the format by it); it is written through descriptor(), never
// opened again by its name. A commit flushes the file before the rename and
// the folder after it. Destroying an uncommitted PendingFile removes the
// temporary file, never anything else.
class PendingFile {
  public:
    // Throws std::system_error when the temporary file cannot be created, or
    // target holds a NUL byte (the system would read a shorter path).
    explicit PendingFile(std::filesystem::path target, Links links = Links::Replace);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& tempPath() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }
    // The temporary file, open for writing; -1 after a commit or discard.
    int descriptor() const { return fd_; }

    // Renames the temporary file over the target (or the file its link leads
    // to, with Links::Follow). Throws std::system_error.
    void commit();
    // Renames the temporary file to the target only while no file of that
    // name exists, so a file made meanwhile by someone else is kept. Returns
    // false, having removed the temporary file, when the target exists.
    // Throws std::system_error.
    bool commitUnlessExists();
    // The same for another name in the temporary file's folder; may be
    // called again with the next name after it returned false, the
    // temporary file being kept until a commit or the destructor.
    bool commitUnlessExists(const std::filesystem::path& target);
    // Removes the temporary file now. Returns why it stays (a folder that
    // turned read-only), or an empty string.
    std::string discard();

  private:
    void close();
    void flush();
    bool commitNew(const std::filesystem::path& target);

    std::filesystem::path target_;
    std::filesystem::path written_;  // what the rename replaces
    std::filesystem::path temp_;
    int fd_ = -1;
    bool done_ = false;
};

// True for the names PendingFile gives its temporary files (and gave them in
// earlier versions): a folder scan never takes them for the user's files.
bool isPendingFileName(std::string_view name);

// Removes PendingFile's temporary files in folder that a killed program left
// behind: those of this host (and boot) last written before olderThan by a
// process that no longer runs, and those of another host (or of an earlier
// version, which named no host) last written over a day ago. Names of the
// oldest versions' shape are only hidden, never removed: a user's hidden file
// may look alike. Errors are ignored.
void removeStalePendingFiles(const std::filesystem::path& folder,
                             std::filesystem::file_time_type olderThan);

// The same for the folder a write to file really goes to: that of its
// link's target when file is a symbolic link.
void removeStalePendingFilesBeside(const std::filesystem::path& file,
                                   std::filesystem::file_time_type olderThan);

// Writes all of bytes to descriptor. Throws std::system_error.
void writeAll(int descriptor, std::string_view bytes);

// Writes bytes to path through a PendingFile that follows a link, as the
// store is written. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Writes bytes to path through a PendingFile unless path exists; returns
// false then, leaving it untouched. Throws std::system_error.
bool writeNewFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace varnetto
