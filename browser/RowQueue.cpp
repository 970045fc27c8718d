#include "browser/RowQueue.h"

#include <algorithm>

namespace varnetto {

namespace {

// Facts of this many rows travel together: small enough to reach the list
// at once, large enough not to flood it with messages.
constexpr std::size_t kFactsChunk = 256;

}  // namespace

void RowQueue::add(int job, const std::string& folder, const std::vector<std::string>& names,
                   const std::vector<std::uint64_t>& ids, bool ahead) {
    const std::size_t count = std::min(names.size(), ids.size());
    std::lock_guard lock(mutex_);
    for (std::size_t first = 0; !ahead && first < count; first += kFactsChunk) {
        RowTask chunk;
        chunk.job = job;
        chunk.factsOnly = true;
        chunk.folder = folder;
        for (std::size_t i = first; i < std::min(count, first + kFactsChunk); ++i)
            chunk.rows.emplace_back(ids[i], names[i]);
        facts_.push_back(std::move(chunk));
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t order = ahead ? nextAheadOrder_++ : nextOrder_++;
        rows_.emplace(order, Waiting{job, ids[i], folder, names[i]});
        orderOfId_[ids[i]] = order;
    }
}

void RowQueue::prefer(std::vector<std::uint64_t> ids) {
    std::lock_guard lock(mutex_);
    preferred_ = std::move(ids);
}

int RowQueue::readersWanted(int limit) {
    std::lock_guard lock(mutex_);
    const int wanted =
        static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(std::max(limit, 0)),
                                               static_cast<std::size_t>(readers_) + waitingWork()));
    const int more = std::max(0, wanted - readers_);
    readers_ += more;
    return more;
}

std::map<std::uint64_t, RowQueue::Waiting>::iterator RowQueue::nextRow() {
    for (const std::uint64_t id : preferred_) {
        const auto found = orderOfId_.find(id);
        if (found != orderOfId_.end()) return rows_.find(found->second);
    }
    return rows_.begin();
}

std::optional<RowTask> RowQueue::take() {
    std::lock_guard lock(mutex_);
    const bool aheadWaits = !rows_.empty() && rows_.begin()->first < kInTurn;
    if (!aheadWaits && !facts_.empty()) {
        RowTask chunk = std::move(facts_.front());
        facts_.pop_front();
        return chunk;
    }
    if (rows_.empty()) {
        --readers_;
        return std::nullopt;
    }
    const auto next = aheadWaits ? rows_.begin() : nextRow();
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

}  // namespace varnetto
