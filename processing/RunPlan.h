#pragma once

#include "processing/BatchRun.h"
#include "schemes/Scheme.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnetto {

// The part of a run one process takes: the images at positions number,
// number + count, number + 2 count... of the whole run (1-based).
struct RunShard {
    int number = 1;
    int count = 1;
};

// "K/N" with 1 <= K <= N; nullopt for anything else.
std::optional<RunShard> parseShard(std::string_view text);

struct PlannedImage {
    RunItem item;
    std::string output;  // the file it writes; empty when no name can be made
    // Position of a later image of the whole run that writes the same file, or
    // 0. A shard leaves such an image out: the whole run would replace its
    // file anyway, and no two processes then write one file.
    int replacedBy = 0;
};

struct RunPlan {
    std::vector<PlannedImage> images;  // the shard's images, in run order
    // Set when the shard cannot give the files of one run: an image of the
    // shard reads a file that an image of another shard writes, or the
    // reverse, and only one process could keep their order.
    std::string error;
};

// The images of wholeRun (every item, in run order, numbered 1, 2, ...) that
// shard processes. Under ExistingOutput::Number no image is replaced by a
// later one: each keeps its file under a name of its own.
RunPlan planRun(const Scheme& scheme, const std::vector<RunItem>& wholeRun, RunShard shard,
                ExistingOutput existing = ExistingOutput::Replace);

// The images of plan that are to be processed (those not replaced later).
std::vector<RunItem> itemsToProcess(const RunPlan& plan);

}  // namespace varnetto
