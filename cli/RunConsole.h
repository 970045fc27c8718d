#pragma once

#include "common/Reporter.h"
#include "processing/BatchRun.h"

#include <chrono>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace varnetto::cli {

// "done/total  R images/s  M:SS left" after seconds of work; the rate and
// the time left appear once one image is done.
std::string progressLine(size_t done, size_t total, double seconds);

// "N processed (W with warnings), M failed", with ", S skipped" before the
// failures when pictures were skipped.
std::string summaryLine(const std::vector<BatchOutcome>& outcomes);

// Where a run's workers report. On a terminal one line is rewritten as images
// finish; otherwise each image gets its own "[index/wholeRun] path" line, as
// pipes and logs want. Messages always get lines of their own.
class RunConsole final : public Reporter, public BatchObserver {
  public:
    RunConsole(std::ostream& out, size_t total, size_t wholeRun, bool terminal);

    void message(std::string_view text, MessageKind kind) override;
    bool ask(std::string_view text, MessageKind kind) override;
    void imageStarted(int index, const std::string& source) override;
    void imageFinished(const BatchOutcome& outcome) override;
    // Ends the progress line so what follows starts on a line of its own.
    void close();
    // A run that goes on (a watch) takes more images: more outputs in all,
    // the last of them at position wholeRun.
    void extend(size_t more, size_t wholeRun);

  private:
    void drawLocked(bool force);
    void clearLocked();

    std::mutex mutex_;
    std::ostream& out_;
    size_t total_;
    size_t wholeRun_;
    bool terminal_;
    size_t done_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace varnetto::cli
