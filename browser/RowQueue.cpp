#include "browser/RowQueue.h"

#include <algorithm>

namespace varnetto {

namespace {

// Facts of this many rows travel together: small enough to reach the list
// at once, large enough not to flood it with messages.
constexpr std::size_t kFactsChunk = 256;

}  // namespace

void RowQueue::add(int job, const std::string& folder, const std::vector<std::string>& names,
                   const std::vector<std::uint64_t>& ids) {
    const std::size_t count = std::min(names.size(), ids.size());
    {
        std::lock_guard lock(mutex_);
        for (std::size_t first = 0; first < count; first += kFactsChunk) {
            RowTask chunk;
            chunk.job = job;
            chunk.factsOnly = true;
            chunk.folder = folder;
            for (std::size_t i = first; i < std::min(count, first + kFactsChunk); ++i)
                chunk.rows.emplace_back(ids[i], names[i]);
            facts_.push_back(std::move(chunk));
        }
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t order = nextOrder_++;
            rows_.emplace(order, Waiting{job, ids[i], folder, names[i]});
            orderOfId_[ids[i]] = order;
        }
    }
    wake_.notify_all();
}

void RowQueue::prefer(std::vector<std::uint64_t> ids) {
    std::lock_guard lock(mutex_);
    preferred_ = std::move(ids);
}

std::map<std::uint64_t, RowQueue::Waiting>::iterator RowQueue::nextRow() {
    for (const std::uint64_t id : preferred_) {
        const auto found = orderOfId_.find(id);
        if (found != orderOfId_.end()) return rows_.find(found->second);
    }
    return rows_.begin();
}

std::optional<RowTask> RowQueue::take() {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return stopped_ || !facts_.empty() || !rows_.empty(); });
    if (stopped_) return std::nullopt;
    if (!facts_.empty()) {
        RowTask chunk = std::move(facts_.front());
        facts_.pop_front();
        return chunk;
    }
    const auto next = nextRow();
    RowTask task;
    task.job = next->second.job;
    task.ticket = nextTicket_++;
    task.folder = std::move(next->second.folder);
    task.rows.emplace_back(next->second.id, std::move(next->second.name));
    orderOfId_.erase(next->second.id);
    rows_.erase(next);
    return task;
}

std::map<int, int> RowQueue::dropAll() {
    std::lock_guard lock(mutex_);
    std::map<int, int> dropped;
    for (const auto& [order, row] : rows_) ++dropped[row.job];
    rows_.clear();
    orderOfId_.clear();
    facts_.clear();
    return dropped;
}

std::map<int, int> RowQueue::drop(const std::vector<std::uint64_t>& ids) {
    std::lock_guard lock(mutex_);
    std::map<int, int> dropped;
    for (const std::uint64_t id : ids) {
        const auto found = orderOfId_.find(id);
        if (found == orderOfId_.end()) continue;
        const auto row = rows_.find(found->second);
        ++dropped[row->second.job];
        rows_.erase(row);
        orderOfId_.erase(found);
    }
    return dropped;
}

void RowQueue::stop() {
    {
        std::lock_guard lock(mutex_);
        stopped_ = true;
    }
    wake_.notify_all();
}

}  // namespace varnetto
