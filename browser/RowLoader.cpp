#include "browser/RowLoader.h"

#include "browser/RowReader.h"
#include "imaging/ImagingRuntime.h"

#include <algorithm>
#include <thread>

namespace varnetto {

namespace {

int coreCount() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Looks side by side: one stuck on a dead mount leaves the next running,
// though its result waits for the stuck one's.
constexpr int kLooks = 4;

}  // namespace

RowLoader::RowLoader(ThumbnailArt art, QObject* parent) : RowLoader(std::move(art), 0, parent) {}

RowLoader::RowLoader(ThumbnailArt art, int readers, QObject* parent)
    : QObject(parent),
      art_(std::move(art)),
      readerCount_(readers > 0 ? readers : coreCount()),
      looks_(JobOrder::AllInOrder, kLooks, JobShutdown::Abandon) {
    read_ = [art = art_](const std::string& folder, const std::string& name) {
        return readRow(folder, name, art);
    };
    readers_ = std::make_unique<BackgroundJobs>(JobOrder::AllInOrder, readerCount_);
    connect(&looks_, &BackgroundJobs::idle, this, &RowLoader::settleLater);
}

RowLoader::~RowLoader() {
    // The readers end after the row each is reading; results still on their
    // way go with their owner.
    readers_.reset();
}

void RowLoader::load(const std::string& folder, const std::vector<std::string>& names,
                     const std::vector<std::uint64_t>& ids) {
    add(folder, names, ids, false);
}

void RowLoader::loadAhead(const std::string& folder, const std::vector<std::string>& names,
                          const std::vector<std::uint64_t>& ids) {
    add(folder, names, ids, true);
}

void RowLoader::add(const std::string& folder, const std::vector<std::string>& names,
                    const std::vector<std::uint64_t>& ids, bool ahead) {
    const int job = nextJob_++;
    const int count = static_cast<int>(std::min(names.size(), ids.size()));
    reportIdle_ = true;
    if (count == 0) {
        settleLater();
        return;
    }
    loads_[job].outstanding = count;
    if (!threadPolicy_) threadPolicy_ = std::make_unique<ImagingThreadPolicy>(readerCount_);
    queue_.add(job, folder, names, ids, ahead);
    startReaders();
}

void RowLoader::startReaders() {
    for (int more = queue_.readersWanted(readerCount_); more > 0; --more) {
        readers_->submit([this, read = read_](const JobToken& token) -> BackgroundJobs::Completion {
            readUntilNoneWaits(token, read);
            return {};
        });
    }
}

void RowLoader::setVisibleRows(std::vector<std::uint64_t> ids) {
    queue_.prefer(std::move(ids));
}

void RowLoader::cancelRows(const std::vector<std::uint64_t>& ids) {
    rowsGone(queue_.drop(ids));
}

void RowLoader::cancelAll() {
    looks_.cancelAll();
    for (auto& [number, job] : loads_) job.cancelled = true;
    rowsGone(queue_.dropAll());
}

void RowLoader::readUntilNoneWaits(const JobToken& token, const ReadRow& readOne) {
    // Every row taken comes back, or later rows would wait forever; only the
    // loader's end stops a reader between rows.
    while (!token.cancelled()) {
        std::optional<RowTask> task = queue_.take();
        if (!task) return;
        if (task->factsOnly) {
            std::vector<std::pair<std::uint64_t, RowFacts>> facts;
            facts.reserve(task->rows.size());
            for (const auto& [id, name] : task->rows) {
                RowFacts row;
                readFileFacts(task->folder, name, row);
                facts.emplace_back(id, std::move(row));
            }
            token.post(
                [this, job = task->job, facts = std::move(facts)] { factsArrived(job, facts); });
            continue;
        }
        const auto& [id, name] = task->rows.front();
        RowFacts facts;
        try {
            facts = readOne(task->folder, name);
        } catch (...) {
            facts.error = "无法读取图像 " + task->folder + "/" + name;
            facts.cell = art_.brokenPicture;
        }
        token.post([this, ticket = task->ticket, row = RowResult{task->job, id, std::move(facts)}] {
            rowArrived(ticket, row);
        });
    }
}

void RowLoader::factsArrived(int job,
                             const std::vector<std::pair<std::uint64_t, RowFacts>>& facts) {
    const auto found = loads_.find(job);
    if (found == loads_.end() || found->second.cancelled) return;
    for (const auto& [id, row] : facts) Q_EMIT fileFactsRead(id, row);
}

void RowLoader::rowArrived(std::uint64_t ticket, RowResult row) {
    early_.emplace(ticket, std::move(row));
    while (!early_.empty() && early_.begin()->first == nextTicket_) {
        RowResult next = std::move(early_.begin()->second);
        early_.erase(early_.begin());
        ++nextTicket_;
        const auto found = loads_.find(next.job);
        if (found == loads_.end()) continue;
        const bool wanted = !found->second.cancelled;
        if (--found->second.outstanding == 0) {
            loads_.erase(found);
            settleLater();
        }
        if (wanted) Q_EMIT rowRead(next.id, next.facts);
    }
}

void RowLoader::rowsGone(const std::map<int, int>& perJob) {
    for (const auto& [number, count] : perJob) {
        const auto found = loads_.find(number);
        if (found == loads_.end()) continue;
        found->second.outstanding -= count;
        if (found->second.outstanding <= 0) loads_.erase(found);
    }
    settleLater();
}

// Reported from the event loop, as a job that ends does: a cancel followed at
// once by a new load is one busy spell, not two.
void RowLoader::settleLater() {
    if (settling_) return;
    settling_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            settling_ = false;
            if (busy()) return;
            threadPolicy_.reset();
            if (!reportIdle_) return;
            reportIdle_ = false;
            Q_EMIT allJobsDone();
        },
        Qt::QueuedConnection);
}

}  // namespace varnetto
