#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace varnetto {

// A file written under a temporary name beside its target and renamed over
// it when complete, so a crash leaves the old file or the new one, never half
// of one. The temporary name keeps the target's extension, because encoders
// choose the format by it. Destroying an uncommitted PendingFile removes the
// temporary file.
class PendingFile {
  public:
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::filesystem::path& tempPath() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Renames the temporary file over the target, which keeps its permissions
    // when it exists. Throws std::system_error.
    void commit();
    // Renames the temporary file to the target only while no file of that
    // name exists, so a file made meanwhile by someone else is kept. Returns
    // false, having removed the temporary file, when the target exists.
    // Throws std::system_error.
    bool commitUnlessExists();

  private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    bool committed_ = false;
};

// Writes bytes to path through a PendingFile. Throws std::system_error.
void writeFileAtomically(const std::filesystem::path& path, std::string_view bytes);
// Writes bytes to path through a PendingFile unless path exists; returns
// false then, leaving it untouched. Throws std::system_error.
bool writeNewFileAtomically(const std::filesystem::path& path, std::string_view bytes);

}  // namespace varnetto
