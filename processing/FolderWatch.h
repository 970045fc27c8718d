#pragma once

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// True for a file name a watch hands on: a picture by the table of formats
// that is not a dot-file, nor a download or editor's temporary name (".part",
// ".crdownload", ".tmp", a trailing "~"), nor one of our own temporaries.
bool isWatchedPictureName(std::string_view name);

// Follows folders (with recursive, their subfolders too, those made later
// included) for pictures that are complete: closed after writing or moved
// into place, never half-copied. A watched folder that goes away (removed,
// moved, unmounted) is reported and looked for again every few seconds.
class FolderWatch {
  public:
    struct Change {
        std::vector<std::string> pictures;  // arrived or rewritten, each once, in order
        std::vector<std::string> lost;      // watched folders that went away
        // Folders watched again, or made inside a watched one; the pictures
        // found in them are among pictures.
        std::vector<std::string> appeared;
        bool overflowed = false;  // the system dropped events: look at everything
        bool empty() const {
            return pictures.empty() && lost.empty() && appeared.empty() && !overflowed;
        }
    };

    // skipped: folders (the outputs' folders) never watched nor reported.
    // Throws std::system_error when the system gives no watch at all.
    FolderWatch(std::vector<std::string> folders, bool recursive,
                std::vector<std::string> skipped = {});
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Waits up to timeout for something to report. Once something happens it
    // waits on while more follows closely, so pictures copied in together
    // come back together.
    Change wait(std::chrono::milliseconds timeout);

    // Folders given at construction that are missing now.
    std::vector<std::string> missingFolders() const;

  private:
    void watchTree(const std::string& folder, Change* change);
    bool watchOne(const std::string& folder);
    void readEvents(Change& change);
    void lookForLostFolders(Change& change);
    void forget(int wd);

    int fd_ = -1;
    bool recursive_;
    std::vector<std::string> roots_;
    std::set<std::string> skipped_;
    std::set<std::string> lostRoots_;
    std::map<std::string, bool> mountPoints_;  // root -> whether it was one
    std::map<int, std::string> folders_;       // watch descriptor -> folder
    std::chrono::steady_clock::time_point lastLook_{};
};

}  // namespace varnetto
