#include "processing/RunPlan.h"

#include "common/Reporter.h"
#include "processing/OutputNaming.h"

#include <charconv>
#include <filesystem>
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

// Spellings and links that lead to one file count as that file.
bool sameFile(const std::string& a, const std::string& b) {
    std::error_code error;
    const auto resolvedA = std::filesystem::weakly_canonical(a, error);
    if (error) return a == b;
    const auto resolvedB = std::filesystem::weakly_canonical(b, error);
    return error ? a == b : resolvedA == resolvedB;
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

RunPlan planRun(const Scheme& scheme, const std::vector<RunItem>& wholeRun, RunShard shard) {
    std::vector<std::string> outputs;
    for (const RunItem& item : wholeRun)
        outputs.push_back(outputPath(schemeForItem(scheme, item), item.index, item.source));

    RunPlan plan;
    if (shard.count == 1) {
        for (size_t j = 0; j < wholeRun.size(); ++j)
            plan.images.push_back({wholeRun[j], outputs[j]});
        return plan;
    }

    // A file written twice in a whole run ends up with the later picture, so a
    // sharded run leaves the earlier writer out, unless an image in between
    // (or the later writer itself) reads that file first.
    std::vector<int> replacedBy(wholeRun.size(), 0);
    std::map<std::string, size_t> lastWriter;
    for (size_t j = 0; j < wholeRun.size(); ++j) {
        if (outputs[j].empty()) continue;
        const auto [it, fresh] = lastWriter.try_emplace(outputs[j], j);
        if (fresh) continue;
        const size_t earlier = it->second;
        bool readBetween = false;
        for (size_t k = earlier + 1; k <= j && !readBetween; ++k)
            readBetween = sameFile(wholeRun[k].source, outputs[earlier]);
        if (!readBetween) replacedBy[earlier] = wholeRun[j].index;
        it->second = j;
    }

    // What still depends on another image's file must run in one process.
    std::vector<size_t> kept;
    std::vector<std::string> keptSources;
    std::vector<std::string> keptOutputs;
    for (size_t j = 0; j < wholeRun.size(); ++j) {
        if (replacedBy[j] != 0) continue;
        kept.push_back(j);
        keptSources.push_back(wholeRun[j].source);
        keptOutputs.push_back(outputs[j]);
    }
    const auto dependencies = runOrderDependencies(keptSources, keptOutputs);
    for (size_t k = 0; k < kept.size() && plan.error.empty(); ++k) {
        for (size_t d : dependencies[k]) {
            if (kept[d] % static_cast<size_t>(shard.count) ==
                kept[k] % static_cast<size_t>(shard.count))
                continue;
            plan.error = formatMessage(
                "图像 %s 和 %s 读写同一个文件，分片运行无法保持它们的顺序；请不分片运行。",
                keptSources[d].c_str(), keptSources[k].c_str());
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
