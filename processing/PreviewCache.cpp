#include "processing/PreviewCache.h"

#include "imaging/PictureProbe.h"

#include <sys/stat.h>

#include <algorithm>

namespace varnetto {

PictureReader imagingReader() {
    return {[](const std::string& path, int reduction) { return decodeReduced(path, reduction); },
            [](const std::string& path) -> std::optional<std::pair<int, int>> {
                if (const std::optional<PictureFacts> facts = probePicture(path))
                    return std::make_pair(facts->width, facts->height);
                return std::nullopt;
            }};
}

PreviewCache::PreviewCache(PictureReader reader) : reader_(std::move(reader)) {}

std::optional<PreviewCache::FileIdentity> PreviewCache::identify(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    constexpr std::int64_t kNanoseconds = 1'000'000'000;
    return FileIdentity{
        path, static_cast<std::uintmax_t>(info.st_size),
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec};
}

std::optional<std::pair<int, int>> PreviewCache::knownSize(const FileIdentity& file) const {
    for (const Entry& entry : entries_) {
        if (entry.file == file)
            return std::make_pair(entry.decoded.fullWidth, entry.decoded.fullHeight);
    }
    return std::nullopt;
}

std::optional<std::pair<int, int>> PreviewCache::probe(const FileIdentity& file) {
    {
        const std::lock_guard lock(mutex_);
        if (probed_ && probed_->first == file) return probed_->second;
    }
    const std::optional<std::pair<int, int>> found = reader_.probe(file.path);
    const std::lock_guard lock(mutex_);
    if (found) probed_.emplace(file, *found);
    return found;
}

std::optional<std::pair<int, int>> PreviewCache::size(const std::string& path) {
    const std::optional<FileIdentity> file = identify(path);
    if (!file) return reader_.probe(path);
    {
        const std::lock_guard lock(mutex_);
        if (auto known = knownSize(*file)) return known;
    }
    return probe(*file);
}

ReducedPicture PreviewCache::source(const std::string& path, int minWidth, int minHeight) {
    const std::optional<FileIdentity> file = identify(path);
    // Nothing to keep: the decoder says what stands there instead.
    if (!file) return reader_.decode(path, 1);
    std::optional<std::pair<int, int>> known;
    {
        const std::lock_guard lock(mutex_);
        known = knownSize(*file);
        if (known) {
            const int reduction = reductionFor(known->first, known->second, minWidth, minHeight);
            const auto kept = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) {
                return e.file == *file && e.decoded.reduction == reduction;
            });
            if (kept != entries_.end()) {
                entries_.splice(entries_.begin(), entries_, kept);
                return kept->decoded;
            }
        }
    }
    if (!known) known = probe(*file);
    const int reduction =
        known ? reductionFor(known->first, known->second, minWidth, minHeight) : 1;
    // Decoded outside the lock: a slow file holds up only its own render.
    ReducedPicture decoded = reader_.decode(path, reduction);
    keep(*file, decoded);
    return decoded;
}

void PreviewCache::keep(const FileIdentity& file, const ReducedPicture& decoded) {
    const std::int64_t bytes = static_cast<std::int64_t>(decoded.picture.width()) *
                               decoded.picture.height() * decoded.picture.bands();
    const std::lock_guard lock(mutex_);
    // A file that changed makes its older decodes useless.
    for (auto it = entries_.begin(); it != entries_.end();) {
        const bool stale = it->file.path == file.path &&
                           (!(it->file == file) || it->decoded.reduction == decoded.reduction);
        if (stale) {
            bytes_ -= it->bytes;
            it = entries_.erase(it);
        } else {
            ++it;
        }
    }
    if (bytes > kMaxBytes) return;
    entries_.push_front({file, decoded, bytes});
    bytes_ += bytes;
    while (entries_.size() > kMaxPictures || bytes_ > kMaxBytes) {
        bytes_ -= entries_.back().bytes;
        entries_.pop_back();
    }
}

}  // namespace varnetto
