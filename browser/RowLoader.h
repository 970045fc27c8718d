#pragma once

#include "browser/RowFacts.h"
#include "browser/RowQueue.h"
#include "uikit/ThumbnailArt.h"

#include <QObject>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace varnetto {

class ImagingThreadPolicy;

// Reads the rows of folder loads on a pool of readers, one per core unless
// told otherwise; libvips gives each of them one thread meanwhile. The file
// facts of every row come first, then the rows in view, then the rest in
// list order. Rows are delivered on the owner's thread in the order they
// were handed to the readers, tagged with their ids, so rows deleted
// meanwhile are simply not found.
class RowLoader : public QObject {
    Q_OBJECT
  public:
    explicit RowLoader(ThumbnailArt art, QObject* parent = nullptr);
    RowLoader(ThumbnailArt art, int readers, QObject* parent = nullptr);
    // Waits for the rows being read; delivers nothing more.
    ~RowLoader() override;

    // ids are unique for the loader's life.
    void load(const std::string& folder, const std::vector<std::string>& names,
              const std::vector<std::uint64_t>& ids);
    // The rows the user sees now, in the order they are wanted.
    void setVisibleRows(std::vector<std::uint64_t> ids);
    // Drops these rows unless they are being read; rows read already stay.
    void cancelRows(const std::vector<std::uint64_t>& ids);
    // Drops every job queued or running; rows already read stay.
    void cancelAll();
    bool busy() const { return !jobs_.empty(); }
    int readerCount() const { return static_cast<int>(readers_.size()); }

  Q_SIGNALS:
    // Size, type and time texts of a row not read yet.
    void fileFactsRead(quint64 id, varnetto::RowFacts facts);
    void rowRead(quint64 id, varnetto::RowFacts facts);
    void allJobsDone();

  private:
    struct Job {
        int outstanding = 0;  // rows neither delivered nor dropped
        bool cancelled = false;
    };
    struct ReadRow {
        int job;
        std::uint64_t id;
        RowFacts facts;
    };

    void read();
    void factsArrived(int job, const std::vector<std::pair<std::uint64_t, RowFacts>>& facts);
    void rowArrived(std::uint64_t ticket, ReadRow row);
    void rowsGone(const std::map<int, int>& perJob);
    void settleLater();

    ThumbnailArt art_;
    RowQueue queue_;
    std::vector<std::thread> readers_;
    // Owner's thread only from here on.
    std::map<int, Job> jobs_;
    int nextJob_ = 0;
    std::map<std::uint64_t, ReadRow> early_;  // read before an earlier ticket
    std::uint64_t nextTicket_ = 0;
    std::unique_ptr<ImagingThreadPolicy> threadPolicy_;
    bool settling_ = false;
    bool reportIdle_ = false;
};

}  // namespace varnetto
