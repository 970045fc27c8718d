#include "schemes/StoredTexts.h"

namespace varnetto {

void StoredTexts::remember(std::size_t position, std::string text, std::string bytes) {
    for (Entry& entry : entries_) {
        if (entry.position != position) continue;
        entry.text = std::move(text);
        entry.bytes = std::move(bytes);
        return;
    }
    entries_.push_back({position, std::move(text), std::move(bytes)});
}

const std::string* StoredTexts::bytesFor(std::size_t position, const std::string& text) const {
    for (const Entry& entry : entries_)
        if (entry.position == position) return entry.text == text ? &entry.bytes : nullptr;
    return nullptr;
}

}  // namespace varnetto
