#pragma once

#include <condition_variable>
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

// What the readers of folder loads share. Facts go first, then the rows the
// user looks at, then every other row in the order it was added. Safe to
// use from any thread.
class RowQueue {
  public:
    void add(int job, const std::string& folder, const std::vector<std::string>& names,
             const std::vector<std::uint64_t>& ids);
    // Rows with these ids go before the others, in this order, whether they
    // are waiting now or added later; replaces the previous preference.
    void prefer(std::vector<std::uint64_t> ids);
    // Waits for work; nullopt once stopped.
    std::optional<RowTask> take();
    // Removes the waiting rows (all of them, or those with these ids) and
    // tells how many each job lost. Rows being read are not affected.
    std::map<int, int> dropAll();
    std::map<int, int> drop(const std::vector<std::uint64_t>& ids);
    void stop();

  private:
    struct Waiting {
        int job;
        std::uint64_t id;
        std::string folder;
        std::string name;
    };

    // Caller holds mutex_.
    std::map<std::uint64_t, Waiting>::iterator nextRow();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<RowTask> facts_;
    std::map<std::uint64_t, Waiting> rows_;  // by the order they were added
    std::unordered_map<std::uint64_t, std::uint64_t> orderOfId_;
    std::vector<std::uint64_t> preferred_;
    std::uint64_t nextOrder_ = 0;
    std::uint64_t nextTicket_ = 0;
    bool stopped_ = false;
};

}  // namespace varnetto
