#pragma once

#include "browser/RowFacts.h"
#include "browser/RowQueue.h"
#include "uikit/BackgroundJobs.h"
#include "uikit/ThumbnailArt.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace varnetto {

class ImagingThreadPolicy;

// Turns folders and files into rows. A look at the disk (listing a folder,
// telling files from folders) comes first, in the background; the rows it
// finds are read by background readers, one per core unless told otherwise,
// libvips giving each of them one thread meanwhile. The file facts of every
// row come first, then the rows in view, then the rest in list order. Rows
// are delivered on the owner's thread in the order they were handed to the
// readers, tagged with their ids, so rows deleted meanwhile are simply not
// found.
class RowLoader : public QObject {
    Q_OBJECT
  public:
    using ReadRow = std::function<RowFacts(const std::string& folder, const std::string& name)>;

    explicit RowLoader(ThumbnailArt art, QObject* parent = nullptr);
    RowLoader(ThumbnailArt art, int readers, QObject* parent = nullptr);
    // Waits for the rows being read; delivers nothing more. A look stuck on
    // a dead mount is left behind.
    ~RowLoader() override;

    // Runs work (which must own all it uses) in the background; what it
    // finds goes to then on the owner's thread, in the order the looks were
    // asked for, and usually becomes a load. A look that fails finds nothing.
    template <typename Found>
    void look(std::function<Found(const JobToken&)> work, std::function<void(Found)> then) {
        reportIdle_ = true;
        looks_.run<Found>(std::move(work), then, [then](const QString&) { then(Found{}); });
    }
    // ids are unique for the loader's life.
    void load(const std::string& folder, const std::vector<std::string>& names,
              const std::vector<std::uint64_t>& ids);
    // As load, but read before any other waiting row: a file the user
    // opened by itself.
    void loadAhead(const std::string& folder, const std::vector<std::string>& names,
                   const std::vector<std::uint64_t>& ids);
    // The rows the user sees now, in the order they are wanted.
    void setVisibleRows(std::vector<std::uint64_t> ids);
    // Drops these rows unless they are being read; rows read already stay.
    void cancelRows(const std::vector<std::uint64_t>& ids);
    // Drops every look and every row queued or being read; rows already read
    // stay.
    void cancelAll();
    bool busy() const { return !loads_.empty() || looks_.busy(); }
    int readerCount() const { return readerCount_; }
    // What reads a row, for loads started from now on; tests stand in a
    // slow disk.
    void setRowReader(ReadRow read) { read_ = std::move(read); }

  Q_SIGNALS:
    // Size, type and time texts of a row not read yet.
    void fileFactsRead(quint64 id, varnetto::RowFacts facts);
    void rowRead(quint64 id, varnetto::RowFacts facts);
    void allJobsDone();

  private:
    struct Load {
        int outstanding = 0;  // rows neither delivered nor dropped
        bool cancelled = false;
    };
    struct RowResult {
        int job;
        std::uint64_t id;
        RowFacts facts;
    };

    void add(const std::string& folder, const std::vector<std::string>& names,
             const std::vector<std::uint64_t>& ids, bool ahead);
    void startReaders();
    // A reader: takes work until none waits.
    void readUntilNoneWaits(const JobToken& token, const ReadRow& readOne);
    void factsArrived(int job, const std::vector<std::pair<std::uint64_t, RowFacts>>& facts);
    void rowArrived(std::uint64_t ticket, RowResult row);
    void rowsGone(const std::map<int, int>& perJob);
    void settleLater();

    ThumbnailArt art_;
    ReadRow read_;
    int readerCount_ = 1;
    RowQueue queue_;
    // Owner's thread only from here on.
    std::map<int, Load> loads_;
    int nextJob_ = 0;
    std::map<std::uint64_t, RowResult> early_;  // read before an earlier ticket
    std::uint64_t nextTicket_ = 0;
    std::unique_ptr<ImagingThreadPolicy> threadPolicy_;
    bool settling_ = false;
    bool reportIdle_ = false;
    BackgroundJobs looks_;
    // Last: goes first, waiting for the readers, which use the members above.
    std::unique_ptr<BackgroundJobs> readers_;
};

}  // namespace varnetto
