#pragma once

#include "common/AppFolder.h"
#include "common/Reporter.h"
#include "schemes/Scheme.h"

#include <array>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>

namespace varnetto {

struct SchemeListHeader {
    std::array<std::int32_t, 9> ints{2000, 2000, 0, 2000, 0, 0, 0, 0, 0};
    std::array<std::string, 5> texts;
    bool operator==(const SchemeListHeader&) const = default;
};

// The ordered list of all schemes with its header, persisted in the store
// file of the folders it is given.
class SchemeStore {
  public:
    using List = std::list<Scheme>;

    explicit SchemeStore(AppFolders folders);

    const AppFolders& folders() const { return folders_; }
    // The folders' store file unless another file was set.
    std::string path() const;
    void setPath(std::string path) { pathOverride_ = std::move(path); }

    // Fills the store from the file. A missing file is reported and leaves
    // the store unchanged; a damaged file keeps the schemes read completely
    // and is reported with their count. Returns true when the whole file was read.
    bool load(Reporter& reporter);
    // Replaces the file (which must exist and be writable) atomically.
    // Returns true on success; a failure has been reported.
    bool save(Reporter& reporter) const;

    // The first scheme from the head whose name is byte-for-byte equal.
    Scheme* findByName(std::string_view name);
    const Scheme* findByName(std::string_view name) const;
    void clear() { schemes_.clear(); }

    List::iterator begin() { return schemes_.begin(); }
    List::iterator end() { return schemes_.end(); }
    List::const_iterator begin() const { return schemes_.begin(); }
    List::const_iterator end() const { return schemes_.end(); }
    size_t size() const { return schemes_.size(); }
    bool empty() const { return schemes_.empty(); }

    Scheme& append(Scheme scheme);
    // nullptr when position is out of range.
    Scheme* at(size_t position);
    const Scheme* at(size_t position) const;
    // Returns false when position is out of range.
    bool removeAt(size_t position);

    SchemeListHeader& header() { return header_; }
    const SchemeListHeader& header() const { return header_; }

  private:
    AppFolders folders_;
    std::string pathOverride_;
    SchemeListHeader header_;
    List schemes_;
};

}  // namespace varnetto
