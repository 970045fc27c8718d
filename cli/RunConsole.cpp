#include "cli/RunConsole.h"

#include <cmath>
#include <cstdio>

namespace varnetto::cli {

namespace {

std::string clockText(double seconds) {
    const auto total = static_cast<long long>(std::ceil(seconds));
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    return text;
}

}  // namespace

std::string progressLine(size_t done, size_t total, double seconds) {
    std::string line = std::to_string(done) + "/" + std::to_string(total);
    if (done == 0 || !(seconds > 0.0)) return line;
    const double rate = static_cast<double>(done) / seconds;
    char text[64];
    std::snprintf(text, sizeof text, "  %.1f images/s", rate);
    line += text;
    if (done < total) line += "  " + clockText(static_cast<double>(total - done) / rate) + " left";
    return line;
}

std::string summaryLine(const std::vector<BatchOutcome>& outcomes) {
    const RunSummary summary = summarize(outcomes);
    std::string line = std::to_string(summary.processed) + " processed (" +
                       std::to_string(summary.warned) + " with warnings), ";
    if (summary.skipped > 0) line += std::to_string(summary.skipped) + " skipped, ";
    return line + std::to_string(summary.failed) + " failed";
}

RunConsole::RunConsole(std::ostream& out, size_t total, size_t wholeRun, bool terminal)
    : out_(out), total_(total), wholeRun_(wholeRun), terminal_(terminal) {}

void RunConsole::message(std::string_view text, MessageKind) {
    std::lock_guard lock(mutex_);
    clearLocked();
    out_ << text << '\n';
    drawLocked(true);
}

bool RunConsole::ask(std::string_view text, MessageKind) {
    std::lock_guard lock(mutex_);
    clearLocked();
    out_ << text << " (no)\n";
    drawLocked(true);
    return false;
}

void RunConsole::imageStarted(int index, const std::string& source) {
    std::lock_guard lock(mutex_);
    if (terminal_)
        drawLocked(false);
    else
        // One write a line: the stream is unbuffered, and a re-run of many
        // done pictures prints little else.
        out_ << ('[' + std::to_string(index) + '/' + std::to_string(wholeRun_) + "] " + source +
                 '\n');
}

void RunConsole::imageFinished(const BatchOutcome&) {
    std::lock_guard lock(mutex_);
    ++done_;
    drawLocked(done_ == total_);
}

void RunConsole::close() {
    std::lock_guard lock(mutex_);
    if (drawn_) out_ << '\n';
    drawn_ = false;
    out_.flush();
}

void RunConsole::extend(size_t more, size_t wholeRun) {
    std::lock_guard lock(mutex_);
    total_ += more;
    wholeRun_ = wholeRun;
}

void RunConsole::drawLocked(bool force) {
    if (!terminal_) return;
    const auto now = std::chrono::steady_clock::now();
    // A terminal redrawn for every one of many small images only slows the run.
    if (!force && drawn_ && now - lastDraw_ < std::chrono::milliseconds(100)) return;
    lastDraw_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    out_ << "\r\033[K" << progressLine(done_, total_, seconds) << std::flush;
    drawn_ = true;
}

void RunConsole::clearLocked() {
    if (terminal_ && drawn_) out_ << "\r\033[K";
    drawn_ = false;
}

}  // namespace varnetto::cli
