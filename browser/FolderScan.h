#pragma once

#include <QString>

#include <functional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// A picture as the folder tree sees it: the name's text from its last "." on,
// in lower case, begins with an accepted extension, so "x.jpgold" counts and
// "README" does not.
bool isTreeImageName(std::string_view fileName);

// A name starting with "." is hidden, as every Linux file manager has it.
bool isHiddenName(std::string_view name);

// True when folder holds what the tree lists in it: a subfolder or a picture
// that is not hidden; such a folder gets an expand button.
bool hasQualifyingEntry(const std::string& folder);

// path + "/" + name, without doubling the slash of "/".
std::string childPath(const std::string& path, const std::string& name);

struct TreeEntry {
    std::string name;  // as the file system spells it
    QString label;     // for display and ordering
    bool isFolder = false;
    bool expandable = false;
};

enum class ScanOutcome { Complete, Cancelled, Unreadable };

struct ScanResult {
    ScanOutcome outcome = ScanOutcome::Complete;
    bool entryLeftOut = false;  // an entry whose type could not be read
};

// Reads folder: its subfolders, then its picture files (hidden ones left out), each group ordered
// by name ignoring case. They reach deliver in order, in batches that grow from firstBatch entries
// so the first ones show at once. Gives up once stop is requested.
ScanResult scanFolder(const std::string& folder, const std::stop_token& stop,
                      const std::function<void(std::vector<TreeEntry>)>& deliver,
                      size_t firstBatch = 200);

}  // namespace varnetto
