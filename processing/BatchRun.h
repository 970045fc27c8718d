#pragma once

#include "common/AppFolder.h"
#include "common/Reporter.h"
#include "imaging/ImageDiagnostics.h"
#include "processing/ExistingOutput.h"
#include "schemes/Scheme.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace varnetto {

struct BatchOutcome {
    int index = 0;  // 1-based position in the run
    std::string source;
    std::string output;
    std::string error;     // empty on success
    std::string warning;   // what the decoders said about a picture still written
    bool skipped = false;  // the existing-output rule left its output alone
    // What the run report tells of it.
    std::string scheme;  // the scheme that wrote (or failed to write) output
    std::uint64_t bytesWritten = 0;
    // Time spent on this output; a decode shared by several schemes counts
    // in each of them.
    double milliseconds = 0;
    bool ok() const { return error.empty(); }
    // Written, with something the decoders said about the picture.
    bool warned() const { return ok() && !warning.empty(); }
};

// What a run did, counted once for the dialog, the console and the report.
// processed counts the outputs written (warned ones too); a failure of the
// whole run counts as failed.
struct RunSummary {
    size_t processed = 0;
    size_t warned = 0;
    size_t skipped = 0;
    size_t failed = 0;
};
RunSummary summarize(const std::vector<BatchOutcome>& outcomes);

// Told about progress from the worker threads; implementations synchronise.
class BatchObserver {
  public:
    virtual ~BatchObserver() = default;
    virtual void imageStarted(int index, const std::string& source) = 0;
    virtual void imageFinished(const BatchOutcome& outcome) = 0;
};

struct BatchOptions {
    int jobs = 0;  // 0: one worker per core; at most maxBatchWorkers()
    // Bytes the pictures running at once may take together, as estimated
    // from their headers (see MemoryBudget.h); 0: defaultMemoryBudget().
    std::uint64_t memoryBudget = 0;
    // False when libvips' errors cannot be told apart by picture: one worker
    // then runs the pictures one at a time.
    bool errorsAttributed = errorsStayWithTheirPicture();
    // Looked at for each picture before it is read: a picture whose output
    // needs no writing is neither read nor written.
    ExistingOutput existing = ExistingOutput::Replace;
};

// One image of a run. A run may hold only part of a larger one (a shard), so
// each image carries its place in the whole run, which its output name uses.
struct RunItem {
    int index = 0;  // 1-based position in the whole run
    std::string source;
    // Relative folder under the output folder that receives the output ("" for
    // the output folder itself); created when missing.
    std::string subfolder;
};

// One scheme of a run and the images it processes. The schemes of one run may
// share images (the same index and source): each such picture is decoded
// once and every scheme is applied to the decoded picture.
struct SchemeItems {
    Scheme scheme;
    std::vector<RunItem> items;
};

// The scheme that writes item: its output folder extended by item.subfolder.
Scheme schemeForItem(const Scheme& scheme, const RunItem& item);

// More workers than this only fight over the cores and the memory.
inline constexpr int kWorkersPerCore = 4;
int maxBatchWorkers();

// One spelling for every path that leads to the same file (links resolved as
// far as they exist); "" for "".
std::string pathKey(const std::string& path);

// pathKey for the many paths of a run: the folder of each is resolved once,
// so a path costs one look at the file itself.
class PathKeys {
  public:
    std::string operator()(const std::string& path);

  private:
    std::map<std::string, std::string> folders_;  // absolute folder -> its key
};

// For each image of a run, the earlier images (0-based) it must wait for: one
// writes what it reads or writes, or reads what it writes. Paths are compared
// after resolving them, so two spellings of one file count as one.
std::vector<std::vector<size_t>> runOrderDependencies(const std::vector<std::string>& sources,
                                                      const std::vector<std::string>& outputs);
// The same for paths already passed through pathKey. Without writesConflict
// two writes of one file need no order (each takes a name of its own).
std::vector<std::vector<size_t>> runOrderDependenciesOfKeys(
    const std::vector<std::string>& readKeys, const std::vector<std::string>& writtenKeys,
    bool writesConflict = true);

// Stands for a whole run that could not go on (memory ran out before any
// image started, say): it names the scheme and the reason, as there is no
// image to name.
BatchOutcome runFailureOutcome(const Scheme& scheme, const std::string& reason);

// Runs scheme over sources with saving on, on several workers each owning its
// own imaging control, under the imaging thread policy for that many workers.
// Output names keep each image's index; images whose outputs coincide are
// processed in run order. Once abort is set no new image starts; running ones
// finish. Whatever goes wrong with one image (observer calls included) becomes
// that image's failed outcome. When no worker thread can start, the calling
// thread does the work. Returns when every worker has ended, with the
// outcomes of the images that ran, in index order. reporter is called from
// worker threads and must be safe for that.
std::vector<BatchOutcome> runBatch(const Scheme& scheme, const std::vector<std::string>& sources,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options = {});

// The same for items that carry their own index and subfolder; outcomes come
// back in item order.
std::vector<BatchOutcome> runBatch(const Scheme& scheme, const std::vector<RunItem>& items,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options = {});

// The same for several schemes at once: each picture is decoded once, and
// each scheme writes exactly the files a run of it alone would. The observer
// hears of a picture's start once and of each scheme's output. Outcomes come
// back in index order, the schemes of a picture in the order of runs. When two
// schemes name one output file, nothing is written and the one outcome
// returned says so.
std::vector<BatchOutcome> runBatch(const std::vector<SchemeItems>& runs,
                                   const AppFolders& appFolder, Reporter& reporter,
                                   BatchObserver* observer, const std::atomic<bool>& abort,
                                   const BatchOptions& options = {});

// "" when no two schemes of runs name the same output file; otherwise the
// reason, naming both schemes and the file.
std::string outputClash(const std::vector<SchemeItems>& runs);

}  // namespace varnetto
