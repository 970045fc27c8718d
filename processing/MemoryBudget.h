#pragma once

// A run's memory budget: each picture's cost is estimated from its headers
// before it starts, and a picture waits while the pictures running would
// exceed the budget with it.

#include "common/AppFolder.h"
#include "schemes/Scheme.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace varnetto {

// A quarter of the machine's physical memory.
std::uint64_t defaultMemoryBudget();

// "2G", "512M", "1.5G", "800000000": bytes, with K, M, G or T (powers of
// 1024, an optional "B" or "iB" after); 0 for anything else.
std::uint64_t parseMemorySize(const std::string& text);

// The peak memory, in bytes, of processing source with scheme, from the
// headers of the picture, the stamp and the border pieces: the decode (see
// PictureCost), working copies of the picture at its largest size, the
// resize target, a caption (clipped to the picture), the stamp, the border
// pieces and the framed canvas, and the encoder's own copy. decodedWhole:
// the picture is decoded whole even where the scheme alone would stream it
// (a decode shared by several schemes).
std::uint64_t estimatedMemory(const Scheme& scheme, const std::string& source,
                              const AppFolders& appFolder, bool decodedWhole = false);

// Hands out memory to pictures in the order they ask. A picture is let in
// when its cost fits beside the running ones' within the budget, or when
// nothing else runs (a picture above the whole budget then runs alone); one
// that waits holds back the pictures behind it, so it cannot be starved.
class MemoryBudget {
  public:
    explicit MemoryBudget(std::uint64_t bytes);

    // Memory held for one picture until destroyed.
    class Grant {
      public:
        Grant() = default;
        Grant(Grant&& other) noexcept;
        Grant& operator=(Grant&& other) noexcept;
        ~Grant();
        explicit operator bool() const { return budget_ != nullptr; }

      private:
        friend class MemoryBudget;
        Grant(MemoryBudget* budget, std::uint64_t bytes) : budget_(budget), bytes_(bytes) {}
        void release();
        MemoryBudget* budget_ = nullptr;
        std::uint64_t bytes_ = 0;
    };

    // Waits for room for bytes; an empty grant when abort is set first.
    Grant acquire(std::uint64_t bytes, const std::atomic<bool>& abort);

    std::uint64_t budget() const { return budget_; }
    // Bytes held by running pictures now.
    std::uint64_t inUse() const;

  private:
    void release(std::uint64_t bytes);

    const std::uint64_t budget_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t inUse_ = 0;
    int running_ = 0;
    std::uint64_t nextTicket_ = 0;
    std::uint64_t serving_ = 0;
};

}  // namespace varnetto
