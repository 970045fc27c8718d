#pragma once

#include "processing/BatchRun.h"

#include <string>
#include <vector>

namespace varnetto {

// What a report says of the run as a whole, beside its outcomes.
struct RunReportTotals {
    double milliseconds = 0;  // the whole run, start to end
    std::string shard;        // "K/N" for a shard of a larger run, else ""
    size_t notRun = 0;        // pictures an interruption left undone
};

// The run report as JSON Lines: one object per output of the run (source,
// scheme, output, status processed/warned/skipped/failed, reason or
// warnings, bytes, milliseconds), then one line with the totals, which count
// as summarize() does.
std::string runReportText(const std::vector<BatchOutcome>& outcomes, const RunReportTotals& totals);

// Writes the report whole to path (a temporary file renamed into place);
// returns "" or why it could not be written.
std::string writeRunReport(const std::string& path, const std::vector<BatchOutcome>& outcomes,
                           const RunReportTotals& totals);

}  // namespace varnetto
