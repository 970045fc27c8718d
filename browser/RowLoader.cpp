#include "browser/RowLoader.h"

#include "browser/RowReader.h"
#include "imaging/ImagingRuntime.h"

#include <algorithm>

namespace varnetto {

namespace {

int coreCount() {
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

}  // namespace

RowLoader::RowLoader(ThumbnailArt art, QObject* parent) : RowLoader(std::move(art), 0, parent) {}

RowLoader::RowLoader(ThumbnailArt art, int readers, QObject* parent)
    : QObject(parent), art_(std::move(art)) {
    const int count = readers > 0 ? readers : coreCount();
    for (int i = 0; i < count; ++i) readers_.emplace_back([this] { read(); });
}

RowLoader::~RowLoader() {
    queue_.stop();
    for (std::thread& reader : readers_) reader.join();
    // Results still on their way are posted to this object and go with it.
}

void RowLoader::load(const std::string& folder, const std::vector<std::string>& names,
                     const std::vector<std::uint64_t>& ids) {
    const int job = nextJob_++;
    const int count = static_cast<int>(std::min(names.size(), ids.size()));
    reportIdle_ = true;
    if (count == 0) {
        settleLater();
        return;
    }
    jobs_[job].outstanding = count;
    if (!threadPolicy_) threadPolicy_ = std::make_unique<ImagingThreadPolicy>(readerCount());
    queue_.add(job, folder, names, ids);
}

void RowLoader::setVisibleRows(std::vector<std::uint64_t> ids) {
    queue_.prefer(std::move(ids));
}

void RowLoader::cancelRows(const std::vector<std::uint64_t>& ids) {
    rowsGone(queue_.drop(ids));
}

void RowLoader::cancelAll() {
    for (auto& [number, job] : jobs_) job.cancelled = true;
    rowsGone(queue_.dropAll());
}

void RowLoader::read() {
    while (std::optional<RowTask> task = queue_.take()) {
        if (task->factsOnly) {
            std::vector<std::pair<std::uint64_t, RowFacts>> facts;
            facts.reserve(task->rows.size());
            for (const auto& [id, name] : task->rows) {
                RowFacts row;
                readFileFacts(task->folder, name, row);
                facts.emplace_back(id, std::move(row));
            }
            QMetaObject::invokeMethod(
                this,
                [this, job = task->job, facts = std::move(facts)] { factsArrived(job, facts); },
                Qt::QueuedConnection);
            continue;
        }
        const auto& [id, name] = task->rows.front();
        RowFacts facts;
        try {
            facts = readRow(task->folder, name, art_);
        } catch (...) {
            // Every ticket must come back, or later rows would wait forever.
            facts.error = "无法读取图像 " + task->folder + "/" + name;
            facts.cell = art_.brokenPicture;
        }
        QMetaObject::invokeMethod(
            this,
            [this, ticket = task->ticket, row = ReadRow{task->job, id, std::move(facts)}] {
                rowArrived(ticket, row);
            },
            Qt::QueuedConnection);
    }
}

void RowLoader::factsArrived(int job,
                             const std::vector<std::pair<std::uint64_t, RowFacts>>& facts) {
    const auto found = jobs_.find(job);
    if (found == jobs_.end() || found->second.cancelled) return;
    for (const auto& [id, row] : facts) Q_EMIT fileFactsRead(id, row);
}

void RowLoader::rowArrived(std::uint64_t ticket, ReadRow row) {
    early_.emplace(ticket, std::move(row));
    while (!early_.empty() && early_.begin()->first == nextTicket_) {
        ReadRow next = std::move(early_.begin()->second);
        early_.erase(early_.begin());
        ++nextTicket_;
        const auto found = jobs_.find(next.job);
        if (found == jobs_.end()) continue;
        const bool wanted = !found->second.cancelled;
        if (--found->second.outstanding == 0) {
            jobs_.erase(found);
            settleLater();
        }
        if (wanted) Q_EMIT rowRead(next.id, next.facts);
    }
}

void RowLoader::rowsGone(const std::map<int, int>& perJob) {
    for (const auto& [number, count] : perJob) {
        const auto found = jobs_.find(number);
        if (found == jobs_.end()) continue;
        found->second.outstanding -= count;
        if (found->second.outstanding <= 0) jobs_.erase(found);
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
            if (!jobs_.empty()) return;
            threadPolicy_.reset();
            if (!reportIdle_) return;
            reportIdle_ = false;
            Q_EMIT allJobsDone();
        },
        Qt::QueuedConnection);
}

}  // namespace varnetto
