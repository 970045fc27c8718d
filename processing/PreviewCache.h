#pragma once

#include "imaging/ReducedDecode.h"
#include "processing/DecorationPictures.h"

#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

namespace varnetto {

// How the cache reads pictures; tests stand in to count or hold decodes.
struct PictureReader {
    // The picture at path at 1/reduction of its size. Throws ImagingError.
    std::function<ReducedPicture(const std::string& path, int reduction)> decode;
    // Its upright size from the header alone, or nullopt.
    std::function<std::optional<std::pair<int, int>>(const std::string& path)> probe;
};

// The reader of imaging/: decodeReduced and the picture probe.
PictureReader imagingReader();

// Pictures decoded for previews, kept while their files stay as they were
// (same path, size and modification time), so that a changed setting renders
// without reading the file again. Holds sources at the reductions previews
// asked for, and stamps and border pieces whole. Small: the least recently
// used pictures go first once kMaxPictures or kMaxBytes is passed. Safe to
// share between threads.
class PreviewCache final : public DecorationPictures {
  public:
    static constexpr std::size_t kMaxPictures = 24;
    static constexpr std::int64_t kMaxBytes = 256LL << 20;

    explicit PreviewCache(PictureReader reader = imagingReader());

    // The picture at path decoded at the largest reduction that still covers
    // minWidth x minHeight (0 x 0: whole). Throws ImagingError naming the
    // file, as a decode would.
    ReducedPicture source(const std::string& path, int minWidth, int minHeight);
    // The upright size of the whole picture at path, known from a decode kept
    // or read from its header; nullopt when neither tells.
    std::optional<std::pair<int, int>> size(const std::string& path);

    // DecorationPictures: the whole picture.
    Bitmap picture(const std::string& path) override { return source(path, 0, 0).picture; }

  private:
    // What tells a file apart from the one decoded before; a path that holds
    // no regular file has none and is never kept.
    struct FileIdentity {
        std::string path;
        std::uintmax_t size = 0;
        std::int64_t modified = 0;  // nanoseconds
        bool operator==(const FileIdentity&) const = default;
    };
    struct Entry {
        FileIdentity file;
        ReducedPicture decoded;
        std::int64_t bytes = 0;
    };

    static std::optional<FileIdentity> identify(const std::string& path);
    // Caller holds mutex_.
    std::optional<std::pair<int, int>> knownSize(const FileIdentity& file) const;
    std::optional<std::pair<int, int>> probe(const FileIdentity& file);
    void keep(const FileIdentity& file, const ReducedPicture& decoded);

    PictureReader reader_;
    mutable std::mutex mutex_;
    std::list<Entry> entries_;  // most recently used first
    std::int64_t bytes_ = 0;
    // The newest header read, which a render's decode follows at once.
    std::optional<std::pair<FileIdentity, std::pair<int, int>>> probed_;
};

}  // namespace varnetto
