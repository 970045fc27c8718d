#pragma once

#include <sys/types.h>
#include <optional>
#include <string>
#include <string_view>

namespace varnetto {

// What a run does with an output file that is there already.
enum class ExistingOutput {
    Replace,  // write it again (what a run always did)
    Skip,     // leave it; the picture counts as skipped
    Newer,    // write it again only when the source changed since
    Number,   // keep it and write "name (2).ext", "name (3).ext"...
};

// "replace", "skip", "newer", "number"; nullopt for anything else.
std::optional<ExistingOutput> parseExistingOutput(std::string_view text);
std::string_view existingOutputName(ExistingOutput mode);

// When a source was last changed, in nanoseconds: the later of its
// modification and status-change times, so a file moved or copied into
// place with an old modification time still counts as changed. nullopt when
// it cannot be read.
std::optional<long long> sourceChangeStamp(const std::string& source);

// True when the picture needs no writing under mode: its output exists and,
// for Newer, was written from this state of the source (an output written
// under Newer carries the source's change stamp as its modification time,
// taken before the source was read, so a source rewritten while it was
// processed is processed again). Replace and Number never skip.
bool outputIsCurrent(ExistingOutput mode, const std::string& source, const std::string& output);

// "folder/name (n).ext" for "folder/name.ext"; n = 1 gives path itself.
std::string numberedOutputPath(const std::string& path, int n);

}  // namespace varnetto
