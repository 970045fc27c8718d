#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace varnetto {

// One piece of work for a reader: a row to read whole, or a chunk of rows
// whose file facts (size, type, time) are wanted before any picture.
struct RowTask {
    int job = 0;
    bool factsOnly = false;
    // Rows are handed out in this order, and their results are delivered in
    // it; chunks of facts carry none.
    std::uint64_t ticket = 0;
    std::string folder;
    std::vector<std::pair<std::uint64_t, std::string>> rows;  // id, file name
};

// What the readers of folder loads share. Rows added ahead go first, then
// the facts, then the rows the user looks at, then every other row in the
// order it was added. Readers take work until none waits and then end; the
// queue counts them so that work added meanwhile always has one. Safe to use
// from any thread; never blocks for long.
class RowQueue {
  public:
    // ahead: read before every other waiting piece of work, in the order
    // added; such rows need no facts of their own first.
    void add(int job, const std::string& folder, const std::vector<std::string>& names,
             const std::vector<std::uint64_t>& ids, bool ahead = false);
    // Rows with these ids go before the others, in this order, whether they
    // are waiting now or added later; replaces the previous preference.
    void prefer(std::vector<std::uint64_t> ids);
    // How many readers to start for the waiting work, up to limit readers
    // in all; they count as reading from now on.
    int readersWanted(int limit);
    // The next piece of work; nullopt when none waits, and the reader that
    // asked counts as ended.
    std::optional<RowTask> take();
    // Removes the waiting rows (all of them, or those with these ids) and
    // tells how many each job lost. Rows being read are not affected.
    std::map<int, int> dropAll();
    std::map<int, int> drop(const std::vector<std::uint64_t>& ids);

  private:
    struct Waiting {
        int job;
        std::uint64_t id;
        std::string folder;
        std::string name;
    };

    // Caller holds mutex_.
    std::map<std::uint64_t, Waiting>::iterator nextRow();
    std::size_t waitingWork() const { return facts_.size() + rows_.size(); }

    std::mutex mutex_;
    std::deque<RowTask> facts_;
    // By the order they were added, rows added ahead first.
    std::map<std::uint64_t, Waiting> rows_;
    std::unordered_map<std::uint64_t, std::uint64_t> orderOfId_;
    std::vector<std::uint64_t> preferred_;
    // Orders below this are rows added ahead.
    static constexpr std::uint64_t kInTurn = std::uint64_t{1} << 63;
    std::uint64_t nextAheadOrder_ = 0;
    std::uint64_t nextOrder_ = kInTurn;
    std::uint64_t nextTicket_ = 0;
    int readers_ = 0;
};

}  // namespace varnetto
