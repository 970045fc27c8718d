#include "processing/RunPlan.h"

#include "common/Reporter.h"
#include "processing/OutputNaming.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace varnetto {

namespace {

std::optional<int> positiveNumber(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

bool inShard(size_t position, RunShard shard) {
    return static_cast<int>(position % static_cast<size_t>(shard.count)) == shard.number - 1;
}

}  // namespace

std::optional<RunShard> parseShard(std::string_view text) {
    const size_t slash = text.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const auto number = positiveNumber(text.substr(0, slash));
    const auto count = positiveNumber(text.substr(slash + 1));
    if (!number || !count || *number > *count) return std::nullopt;
    return RunShard{*number, *count};
}

RunPlan planRun(const Scheme& scheme, const std::vector<RunItem>& wholeRun, RunShard shard,
                ExistingOutput existing) {
    const bool numbered = existing == ExistingOutput::Number;
    std::vector<std::string> outputs;
    for (const RunItem& item : wholeRun)
        outputs.push_back(outputPath(schemeForItem(scheme, item), item.index, item.source));

    RunPlan plan;
    if (shard.count == 1) {
        for (size_t j = 0; j < wholeRun.size(); ++j)
            plan.images.push_back({wholeRun[j], outputs[j]});
        return plan;
    }

    // Each path resolved once: a run may hold tens of thousands of images.
    std::vector<std::string> sourceKeys;
    std::vector<std::string> outputKeys;
    std::map<std::string, std::vector<size_t>> readAt;  // positions, ascending
    PathKeys keys;
    for (size_t j = 0; j < wholeRun.size(); ++j) {
        sourceKeys.push_back(keys(wholeRun[j].source));
        outputKeys.push_back(keys(outputs[j]));
        readAt[sourceKeys[j]].push_back(j);
    }
    const auto readIn = [&](const std::string& file, size_t after, size_t upTo) {
        const auto it = readAt.find(file);
        if (it == readAt.end()) return false;
        const auto next = std::upper_bound(it->second.begin(), it->second.end(), after);
        return next != it->second.end() && *next <= upTo;
    };

    // A file written twice in a whole run ends up with the later picture, so a
    // sharded run leaves the earlier writer out, unless an image in between
    // (or the later writer itself) reads that file first.
    std::vector<int> replacedBy(wholeRun.size(), 0);
    std::map<std::string, size_t> lastWriter;
    for (size_t j = 0; j < wholeRun.size(); ++j) {
        if (outputKeys[j].empty()) continue;
        const auto [it, fresh] = lastWriter.try_emplace(outputKeys[j], j);
        if (fresh) continue;
        const size_t earlier = it->second;
        if (!numbered && !readIn(outputKeys[earlier], earlier, j))
            replacedBy[earlier] = wholeRun[j].index;
        it->second = j;
    }

    // What still depends on another image's file must run in one process.
    std::vector<size_t> kept;
    std::vector<std::string> keptReads;
    std::vector<std::string> keptWrites;
    for (size_t j = 0; j < wholeRun.size(); ++j) {
        if (replacedBy[j] != 0) continue;
        kept.push_back(j);
        keptReads.push_back(sourceKeys[j]);
        keptWrites.push_back(outputKeys[j]);
    }
    const auto dependencies = runOrderDependenciesOfKeys(keptReads, keptWrites, !numbered);
    for (size_t k = 0; k < kept.size() && plan.error.empty(); ++k) {
        for (size_t d : dependencies[k]) {
            if (kept[d] % static_cast<size_t>(shard.count) ==
                kept[k] % static_cast<size_t>(shard.count))
                continue;
            plan.error = formatMessage(
                "图像 %s 和 %s 读写同一个文件，分片运行无法保持它们的顺序；请不分片运行。",
                wholeRun[kept[d]].source.c_str(), wholeRun[kept[k]].source.c_str());
            break;
        }
    }

    for (size_t j = 0; j < wholeRun.size(); ++j)
        if (inShard(j, shard)) plan.images.push_back({wholeRun[j], outputs[j], replacedBy[j]});
    return plan;
}

std::vector<RunItem> itemsToProcess(const RunPlan& plan) {
    std::vector<RunItem> items;
    for (const PlannedImage& image : plan.images)
        if (image.replacedBy == 0) items.push_back(image.item);
    return items;
}

}  // namespace varnetto
