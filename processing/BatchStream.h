#pragma once

#include "processing/BatchRun.h"
#include "processing/MemoryBudget.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace varnetto {

class ImagingThreadPolicy;

// One picture of a run and the schemes (positions in the run's list) that
// process it.
struct RunTask {
    RunItem item;
    std::vector<size_t> schemes;
};

// For each access to files, the earlier ones it must wait for: one writes
// what it reads or writes, or reads what it writes. Without writesConflict
// two writes of one file need no order (each takes a name of its own).
// Accesses are numbered from 0 in the order they are added.
class AccessOrder {
  public:
    explicit AccessOrder(bool writesConflict = true) : writesConflict_(writesConflict) {}
    // The earlier accesses the next one (reading read, writing written) waits for.
    std::vector<size_t> add(const std::string& read, const std::vector<std::string>& written);
    // Accesses before first need no more waiting for.
    void forgetBefore(size_t first);

  private:
    struct Access {
        size_t id;
        bool write;
    };
    bool writesConflict_;
    size_t next_ = 0;
    std::map<std::string, std::vector<Access>> accesses_;
};

// The workers of a run, fed while they work: the same workers, memory
// budget and set-up as runBatch, for pictures that arrive as the run goes (a
// watched folder). Pictures are processed in the order they are added, held
// back only where one must wait for another (see AccessOrder).
class BatchStream {
  public:
    // workers: 0 for as many as options ask for. The run stops taking
    // pictures once abort is set; running ones finish.
    BatchStream(std::vector<Scheme> schemes, const AppFolders& appFolder, Reporter& reporter,
                BatchObserver* observer, const std::atomic<bool>& abort,
                const BatchOptions& options = {}, size_t workers = 0);
    // Finishes what was added (unless aborted) and ends the workers.
    ~BatchStream();
    BatchStream(const BatchStream&) = delete;
    BatchStream& operator=(const BatchStream&) = delete;

    // Each item through every scheme of the run.
    void add(const std::vector<RunItem>& items);
    void add(std::vector<RunTask> tasks);

    // The outcomes of the pictures finished since the last call, in the
    // order the pictures were added.
    std::vector<BatchOutcome> takeFinished();
    // True when every picture added has finished (or will never start).
    bool idle();
    // Waits until idle().
    void waitIdle();
    // Takes no more pictures; returns once the workers have ended, with the
    // outcomes not yet taken.
    std::vector<BatchOutcome> close();

  private:
    enum class State { Pending, Running, Done };
    struct Entry {
        RunTask task;
        std::vector<std::string> outputs;  // per scheme of the task
        std::vector<size_t> dependencies;  // ids of earlier entries
        State state = State::Pending;
        std::optional<std::vector<BatchOutcome>> outcomes;
    };

    void work();
    std::optional<size_t> take();
    void finish(size_t id, std::optional<std::vector<BatchOutcome>> outcomes);
    bool ready(const Entry& entry) const;
    Entry& at(size_t id) { return entries_[id - first_]; }
    bool idleLocked() const;

    std::vector<Scheme> schemes_;
    const AppFolders& appFolder_;
    Reporter& reporter_;
    BatchObserver* observer_;
    const std::atomic<bool>& abort_;
    BatchOptions options_;
    MemoryBudget budget_;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Entry> entries_;  // ids first_, first_ + 1, ...
    size_t first_ = 0;
    size_t firstPending_ = 0;
    bool closed_ = false;
    AccessOrder order_;
    std::set<std::string> swept_;  // folders whose stale temporaries are gone

    std::unique_ptr<ImagingThreadPolicy> policy_;
    std::vector<std::jthread> workers_;
};

// How many workers a run of options takes.
int batchWorkerCount(const BatchOptions& options);

}  // namespace varnetto
