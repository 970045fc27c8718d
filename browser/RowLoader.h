#pragma once

#include "browser/RowFacts.h"
#include "uikit/ThumbnailArt.h"

#include <QObject>
#include <QThread>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnetto {

// Reads the rows of folder loads on one worker thread, one job after the
// other. Results come back to the owner's thread by queued signals, tagged
// with the row id, so rows deleted meanwhile are simply not found.
class RowLoader : public QObject {
    Q_OBJECT
  public:
    explicit RowLoader(ThumbnailArt art, QObject* parent = nullptr);
    ~RowLoader() override;

    void load(const std::string& folder, const std::vector<std::string>& names,
              const std::vector<std::uint64_t>& ids);
    // Drops every job queued or running; rows already read stay.
    void cancelAll();
    bool busy() const { return pendingJobs_ > 0; }

  Q_SIGNALS:
    void rowRead(quint64 id, varnetto::RowFacts facts);
    void allJobsDone();

  private:
    class Worker;

    ThumbnailArt art_;
    QThread thread_;
    Worker* worker_ = nullptr;  // lives on thread_, deleted when it finishes
    std::shared_ptr<std::atomic<int>> generation_;
    int pendingJobs_ = 0;
};

}  // namespace varnetto
