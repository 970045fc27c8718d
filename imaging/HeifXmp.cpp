#include "imaging/FormatCodecs.h"

#include <libheif/heif.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string_view>

namespace varnetto::detail {

namespace {

struct Source {
    int descriptor;
    std::int64_t size;
    std::int64_t position = 0;
};

int64_t positionOf(void* source) {
    return static_cast<Source*>(source)->position;
}

int readFrom(void* data, size_t size, void* userdata) {
    auto* source = static_cast<Source*>(userdata);
    auto* out = static_cast<char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t got = ::pread(source->descriptor, out + done, size - done,
                                    static_cast<off_t>(source->position));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return 1;
        done += static_cast<size_t>(got);
        source->position += got;
    }
    return 0;
}

int seekTo(int64_t position, void* userdata) {
    static_cast<Source*>(userdata)->position = position;
    return 0;
}

heif_reader_grow_status sizeAtLeast(int64_t size, void* userdata) {
    return size > static_cast<Source*>(userdata)->size ? heif_reader_grow_status_size_beyond_eof
                                                       : heif_reader_grow_status_size_reached;
}

constexpr heif_reader kReader{1, positionOf, readFrom, seekTo, sizeAtLeast};

}  // namespace

std::string heifXmp(int descriptor) {
    struct stat info {};
    if (::fstat(descriptor, &info) != 0) return {};
    Source source{descriptor, info.st_size};
    const std::unique_ptr<heif_context, decltype(&heif_context_free)> context(heif_context_alloc(),
                                                                              &heif_context_free);
    if (!context ||
        heif_context_read_from_reader(context.get(), &kReader, &source, nullptr).code != 0)
        return {};
    heif_image_handle* primary = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &primary).code != 0) return {};
    const std::unique_ptr<heif_image_handle, decltype(&heif_image_handle_release)> handle(
        primary, &heif_image_handle_release);
    constexpr int kMostBlocks = 16;
    heif_item_id ids[kMostBlocks];
    const int count =
        heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "mime", ids, kMostBlocks);
    for (int i = 0; i < count; ++i) {
        const char* type = heif_image_handle_get_metadata_content_type(handle.get(), ids[i]);
        if (!type || std::string_view(type) != "application/rdf+xml") continue;
        std::string packet(heif_image_handle_get_metadata_size(handle.get(), ids[i]), '\0');
        if (heif_image_handle_get_metadata(handle.get(), ids[i], packet.data()).code == 0)
            return packet;
    }
    return {};
}

}  // namespace varnetto::detail
