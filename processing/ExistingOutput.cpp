#include "processing/ExistingOutput.h"

#include <sys/stat.h>

#include <array>
#include <filesystem>
#include <utility>

namespace varnetto {

namespace {

constexpr std::array<std::pair<ExistingOutput, std::string_view>, 4> kNames{{
    {ExistingOutput::Replace, "replace"},
    {ExistingOutput::Skip, "skip"},
    {ExistingOutput::Newer, "newer"},
    {ExistingOutput::Number, "number"},
}};

constexpr long long kNanosecondsPerSecond = 1'000'000'000LL;

long long nanoseconds(const timespec& time) {
    return static_cast<long long>(time.tv_sec) * kNanosecondsPerSecond + time.tv_nsec;
}

}  // namespace

std::optional<ExistingOutput> parseExistingOutput(std::string_view text) {
    for (const auto& [mode, name] : kNames)
        if (name == text) return mode;
    return std::nullopt;
}

std::string_view existingOutputName(ExistingOutput mode) {
    for (const auto& [known, name] : kNames)
        if (known == mode) return name;
    return {};
}

std::optional<long long> sourceChangeStamp(const std::string& source) {
    struct stat status {};
    if (::stat(source.c_str(), &status) != 0) return std::nullopt;
    return std::max(nanoseconds(status.st_mtim), nanoseconds(status.st_ctim));
}

bool outputIsCurrent(ExistingOutput mode, const std::string& source, const std::string& output) {
    if (mode == ExistingOutput::Replace || mode == ExistingOutput::Number || output.empty())
        return false;
    struct stat written {};
    // A link or a folder under the output's name is left to the save, which
    // says why it cannot write there.
    if (::lstat(output.c_str(), &written) != 0 || !S_ISREG(written.st_mode)) return false;
    if (mode == ExistingOutput::Skip) return true;
    const auto changed = sourceChangeStamp(source);
    return changed && nanoseconds(written.st_mtim) >= *changed;
}

std::string numberedOutputPath(const std::string& path, int n) {
    if (n <= 1) return path;
    const std::filesystem::path file(path);
    std::string numbered = (file.parent_path() / file.stem()).string();
    numbered += " (" + std::to_string(n) + ")";
    numbered += file.extension().string();
    return numbered;
}

}  // namespace varnetto
