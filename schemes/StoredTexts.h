#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace varnetto {

// The store bytes of texts that this program would write differently: GBK's
// one-byte euro sign, bytes that are no GB18030, a length in a longer form
// than needed. They are kept by the text's position in storage order with
// the text they read as; a text that still reads so is written back with its
// own bytes, so a store written elsewhere loses nothing that was not edited.
class StoredTexts {
  public:
    void remember(std::size_t position, std::string text, std::string bytes);
    // The bytes to write for text at position, or nullptr when the program's
    // own encoding is to be written.
    const std::string* bytesFor(std::size_t position, const std::string& text) const;
    bool operator==(const StoredTexts&) const = default;

  private:
    struct Entry {
        std::size_t position;
        std::string text;
        std::string bytes;  // length prefix included
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> entries_;
};

}  // namespace varnetto
