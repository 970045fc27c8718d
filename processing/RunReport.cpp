#include "processing/RunReport.h"

#include "common/PendingFile.h"
#include "common/Reporter.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <system_error>

namespace varnetto {

namespace {

const char* statusOf(const BatchOutcome& outcome) {
    if (!outcome.ok()) return "failed";
    if (outcome.skipped) return "skipped";
    if (outcome.warned()) return "warned";
    return "processed";
}

// Whole milliseconds with one decimal: enough for a person or a script, and
// the lines stay short.
double rounded(double milliseconds) {
    return std::round(milliseconds * 10.0) / 10.0;
}

// File names need not be UTF-8; a report is still written, with the bytes
// that are not replaced.
std::string lineOf(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + '\n';
}

}  // namespace

std::string runReportText(const std::vector<BatchOutcome>& outcomes,
                          const RunReportTotals& totals) {
    std::string text;
    for (const BatchOutcome& outcome : outcomes) {
        nlohmann::ordered_json line;
        line["source"] = outcome.source;
        line["scheme"] = outcome.scheme;
        line["output"] = outcome.output;
        line["status"] = statusOf(outcome);
        if (!outcome.ok()) line["reason"] = outcome.error;
        if (!outcome.warning.empty()) line["warnings"] = outcome.warning;
        line["bytes"] = outcome.bytesWritten;
        line["milliseconds"] = rounded(outcome.milliseconds);
        text += lineOf(line);
    }
    const RunSummary summary = summarize(outcomes);
    nlohmann::ordered_json counts;
    counts["processed"] = summary.processed;
    counts["warned"] = summary.warned;
    counts["skipped"] = summary.skipped;
    counts["failed"] = summary.failed;
    counts["notRun"] = totals.notRun;
    std::uint64_t bytes = 0;
    for (const BatchOutcome& outcome : outcomes) bytes += outcome.bytesWritten;
    counts["bytes"] = bytes;
    counts["milliseconds"] = rounded(totals.milliseconds);
    if (!totals.shard.empty()) counts["shard"] = totals.shard;
    nlohmann::ordered_json last;
    last["totals"] = counts;
    text += lineOf(last);
    return text;
}

std::string writeRunReport(const std::string& path, const std::vector<BatchOutcome>& outcomes,
                           const RunReportTotals& totals) {
    try {
        writeFileAtomically(path, runReportText(outcomes, totals));
    } catch (const std::system_error& error) {
        return formatMessage("无法写出报告 %s：%s", path.c_str(), error.what());
    }
    return {};
}

}  // namespace varnetto
