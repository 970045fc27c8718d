#include "processing/MemoryBudget.h"

#include "imaging/PictureCost.h"
#include "processing/OutputNaming.h"
#include "processing/SchemePipeline.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <optional>
#include <string_view>
#include <utility>

namespace varnetto {

namespace {

// Pixels of 8-bit RGBA: the widest the pipeline makes (captions, stamps,
// border pieces).
constexpr std::uint64_t kRgbaBytes = 4;
// ImageMagick's pixel cache, as the writers of its formats fill it.
constexpr std::uint64_t kMagickBytesPerPixel = 8;

std::uint64_t area(int width, int height) {
    return static_cast<std::uint64_t>(std::max(width, 0)) *
           static_cast<std::uint64_t>(std::max(height, 0));
}

std::uint64_t decorationBytes(const std::string& path) {
    if (path.empty()) return 0;
    const auto cost = pictureCost(path);
    return cost ? cost->decodeBytes + area(cost->width, cost->height) * kRgbaBytes : 0;
}

bool writtenByMagick(const std::string& output) {
    std::string ext = std::filesystem::path(output).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bmp" || ext == ".pcx" || ext == ".psd" || ext == ".wbmp";
}

}  // namespace

std::uint64_t defaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) return std::uint64_t{1} << 30;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize) / 4;
}

std::uint64_t parseMemorySize(const std::string& text) {
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text[0])) || text[0] == '.'))
        return 0;
    std::size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        return 0;
    }
    if (!std::isfinite(value) || value <= 0) return 0;
    std::string unit = text.substr(used);
    std::transform(unit.begin(), unit.end(), unit.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* tail : {"ib", "b"})
        if (unit.size() > 1 && unit.ends_with(tail)) {
            unit.resize(unit.size() - std::string_view(tail).size());
            break;
        }
    static constexpr std::array<std::pair<std::string_view, int>, 5> kUnits{
        {{"", 0}, {"k", 10}, {"m", 20}, {"g", 30}, {"t", 40}}};
    for (const auto& [name, shift] : kUnits) {
        if (unit != name) continue;
        const double bytes = std::ldexp(value, shift);
        if (bytes < 1 || bytes >= 0x1p63) return 0;
        return static_cast<std::uint64_t>(bytes);
    }
    return 0;
}

std::uint64_t estimatedMemory(const Scheme& scheme, const std::string& source,
                              const AppFolders& appFolder, bool decodedWhole) {
    const auto cost = pictureCost(source);
    if (!cost) return 0;
    const auto bands = static_cast<std::uint64_t>(std::max(cost->bands, 3));
    const std::uint64_t sourceArea = area(cost->width, cost->height);
    const auto [resizedWidth, resizedHeight] = resizedSize(scheme, cost->width, cost->height);
    const std::uint64_t target =
        scheme.resizeEnabled ? area(resizedWidth, resizedHeight) : sourceArea;
    const std::string output = outputPath(scheme, 1, source);
    const std::uint64_t encoder = writtenByMagick(output) ? target * kMagickBytesPerPixel : 0;

    // Decoded top to bottom while it is written: the decoder's own buffers
    // and the result.
    if (!decodedWhole && cost->kind == FileKind::Jpeg && readsSourceOnceInOrder(scheme, output))
        return cost->decoderBytes + target * bands * 2 + encoder;

    std::uint64_t decorations = 0;
    std::uint64_t border = 0;
    if (scheme.stampEnabled) decorations += decorationBytes(stampPathOf(scheme, appFolder));
    if (scheme.borderEnabled) {
        int thickest = 0;
        for (const std::string& piece : borderPiecePathsOf(scheme, appFolder)) {
            decorations += decorationBytes(piece);
            if (const auto pieceCost = piece.empty() ? std::nullopt : pictureCost(piece))
                thickest = std::max({thickest, pieceCost->width, pieceCost->height});
        }
        // The framed canvas grows by a piece on each side, around the
        // picture as the border step finds it.
        if (!scheme.borderInner) {
            const bool beforeResize = scheme.resizeEnabled && scheme.resizeIncludesBorder;
            const std::uint64_t side = static_cast<std::uint64_t>(thickest) * 2;
            const std::uint64_t width = beforeResize ? cost->width : resizedWidth;
            const std::uint64_t height = beforeResize ? cost->height : resizedHeight;
            border = (width + side) * (height + side);
        }
    }
    const std::uint64_t largest = std::max({sourceArea, target, border});
    // The source stays in memory while each step makes the next picture
    // from the current one.
    const std::uint64_t steps = sourceArea * bands + 2 * largest * kRgbaBytes;
    const std::uint64_t caption = scheme.textEnabled ? largest * kRgbaBytes : 0;
    const std::uint64_t working = steps + caption + decorations + encoder;
    return std::max(cost->decodeBytes, working);
}

MemoryBudget::MemoryBudget(std::uint64_t bytes) : budget_(bytes) {}

MemoryBudget::Grant MemoryBudget::acquire(std::uint64_t bytes, const std::atomic<bool>& abort) {
    std::unique_lock lock(mutex_);
    const std::uint64_t ticket = nextTicket_++;
    for (;;) {
        if (abort) {
            // Those behind give up as well; the order stays whole for them.
            if (serving_ == ticket) ++serving_;
            changed_.notify_all();
            return {};
        }
        if (serving_ == ticket && (running_ == 0 || inUse_ + bytes <= budget_)) break;
        // The abort flag is polled as well.
        changed_.wait_for(lock, std::chrono::milliseconds(100));
    }
    ++serving_;
    ++running_;
    inUse_ += bytes;
    changed_.notify_all();
    return Grant(this, bytes);
}

std::uint64_t MemoryBudget::inUse() const {
    std::lock_guard lock(mutex_);
    return inUse_;
}

void MemoryBudget::release(std::uint64_t bytes) {
    {
        std::lock_guard lock(mutex_);
        inUse_ -= bytes;
        --running_;
    }
    changed_.notify_all();
}

MemoryBudget::Grant::Grant(Grant&& other) noexcept
    : budget_(std::exchange(other.budget_, nullptr)), bytes_(other.bytes_) {}

MemoryBudget::Grant& MemoryBudget::Grant::operator=(Grant&& other) noexcept {
    if (this != &other) {
        release();
        budget_ = std::exchange(other.budget_, nullptr);
        bytes_ = other.bytes_;
    }
    return *this;
}

MemoryBudget::Grant::~Grant() {
    release();
}

void MemoryBudget::Grant::release() {
    if (budget_) std::exchange(budget_, nullptr)->release(bytes_);
}

}  // namespace varnetto
