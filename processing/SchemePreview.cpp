#include "processing/SchemePreview.h"

#include "common/RegularFile.h"
#include "common/Reporter.h"
#include "imaging/FitToBox.h"
#include "processing/SchemePipeline.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

namespace varnetto {

namespace {

using Size = std::pair<int, int>;

// True (and said why) when path holds a file that cannot be decoded; a
// missing file is the pipeline's to report or leave out.
bool unreadable(PreviewCache& cache, const std::string& path, std::vector<std::string>& notes) {
    if (!isRegularFile(path)) return false;
    try {
        cache.picture(path);
        return false;
    } catch (const std::exception& failure) {
        notes.emplace_back(failure.what());
        return true;
    }
}

// scheme without the stamp or border whose files cannot be decoded, so that
// the preview shows everything else.
Scheme withReadableDecorations(Scheme scheme, const AppFolders& appFolder, PreviewCache& cache,
                               std::vector<std::string>& notes) {
    if (scheme.stampEnabled && unreadable(cache, stampPathOf(scheme, appFolder), notes))
        scheme.stampEnabled = 0;
    if (!scheme.borderEnabled) return scheme;
    const bool custom = scheme.borderKind == stored(DecorationKind::Custom);
    const auto pieces = borderPiecePathsOf(scheme, appFolder);
    // A set with no piece at all is named as a whole elsewhere; one that
    // lost some of its pieces names each lost one.
    const bool setFound = custom || std::any_of(pieces.begin(), pieces.end(), isRegularFile);
    for (const std::string& piece : pieces) {
        // An empty row of the pieces dialog is a piece left out on purpose.
        if (setFound && !piece.empty() && !isRegularFile(piece))
            notes.push_back(formatMessage("边框图像 %s 不存在。", piece.c_str()));
        if (unreadable(cache, piece, notes)) scheme.borderEnabled = 0;
    }
    return scheme;
}

bool convertsColours(const Scheme& s) {
    return s.convertEnabled && s.colorConvertEnabled;
}

// Colour types whose every pixel depends on that pixel alone: converted
// small, they look as converted large and then reduced.
bool pixelByPixel(ColorType type) {
    switch (type) {
        case ColorType::Palette256:
        case ColorType::Palette16:
        case ColorType::BlackWhite:
            return false;
        default:
            return true;
    }
}

// Whether angle is a whole number of quarter turns (as the rotation treats
// it); turned tells whether the sides change places.
bool quarterTurns(float angle, bool& turned) {
    double turn = std::fmod(static_cast<double>(angle), 360.0);
    if (turn < 0) turn += 360.0;
    constexpr double kEpsilon = 1e-6;
    for (const int quarter : {0, 1, 2, 3, 4}) {
        if (std::abs(turn - quarter * 90.0) < kEpsilon) {
            turned = quarter % 2 == 1;
            return true;
        }
    }
    return false;
}

bool decorates(const Scheme& s) {
    return (s.textEnabled && !s.textContent.empty()) || s.stampEnabled || s.borderEnabled;
}

bool resizes(const Scheme& s) {
    if (!s.resizeEnabled) return false;
    switch (static_cast<ResizeMode>(s.resizeMode)) {
        case ResizeMode::Percent:
        case ResizeMode::Width:
        case ResizeMode::Height:
        case ResizeMode::Fixed:
            return true;
        default:
            return false;
    }
}

Size fitted(Size picture, Size box) {
    const FitResult fit = fitToBoxSize(picture.first, picture.second, box.first, box.second);
    return {fit.width, fit.height};
}

// How a render draws: on the whole picture, or on a decode that covers
// minimum, upright.
struct Plan {
    bool reduced = false;
    Size minimum{0, 0};
    bool resized = false;
    Size resizeTo{0, 0};  // the resize step's size on the whole picture
    Size whole{0, 0};     // without a resize: the whole result's size
};

Plan planFor(const Scheme* scheme, Size source, Size box) {
    Plan plan;
    bool turned = false;
    if (scheme) {
        const Scheme& s = *scheme;
        if (convertsColours(s) && !pixelByPixel(static_cast<ColorType>(s.colorType))) return {};
        if (s.enhanceEnabled && (s.sharpenEnabled || s.despeckleEnabled || s.redEyeEnabled ||
                                 (s.rotateEnabled && !quarterTurns(s.rotateAngle, turned))))
            return {};
        const bool resizeFirst = resizes(s) && !s.resizeIncludesBorder;
        if (decorates(s) && !resizeFirst) return {};
    }
    const Size upright = turned ? Size{source.second, source.first} : source;
    const Size target =
        scheme && resizes(*scheme) ? resizedSize(*scheme, upright.first, upright.second) : upright;
    // A resize that keeps the size draws the decorations on the whole
    // picture.
    if (target == upright && scheme && decorates(*scheme)) return {};
    Size minimum;
    if (target != upright) {
        // Twice what the box shows, and where the resize reduces, at least
        // its size: the scheme's own filter then reduces the picture, as it
        // would the whole one.
        const Size shown = fitted(target, box);
        const auto side = [](int wanted, int whole, int seen) {
            return wanted < whole ? std::max(wanted, 2 * seen) : 2 * seen;
        };
        minimum = {side(target.first, upright.first, shown.first),
                   side(target.second, upright.second, shown.second)};
        plan.resized = true;
        plan.resizeTo = target;
    } else {
        const Size shown = fitted(upright, box);
        minimum = {2 * shown.first, 2 * shown.second};
        plan.whole = upright;
    }
    plan.reduced = true;
    plan.minimum = turned ? Size{minimum.second, minimum.first} : minimum;
    return plan;
}

// The steps before the resize, then the resize to its size on the whole
// picture with everything after it.
Scheme stepsBeforeResize(Scheme s) {
    s.resizeEnabled = 0;
    s.textEnabled = 0;
    s.stampEnabled = 0;
    s.borderEnabled = 0;
    return s;
}

Scheme stepsFromResize(Scheme s, Size target) {
    s.colorConvertEnabled = 0;
    s.enhanceEnabled = 0;
    s.resizeMode = stored(ResizeMode::Fixed);
    s.fixedWidth = target.first;
    s.fixedHeight = target.second;
    return s;
}

ColorType colorTypeOf(const Bitmap& picture) {
    CImageBox control;
    control.PutBitmap(picture);
    return control.GetColorType();
}

// The decode the plan needs, the plan corrected when the decode tells more
// than the header did.
ReducedPicture decodeFor(PreviewCache& cache, const std::string& path, const Scheme* scheme,
                         Size box, bool whole, Plan& plan) {
    std::optional<Size> size;
    if (!whole) size = cache.size(path);
    if (size) plan = planFor(scheme, *size, box);
    ReducedPicture source = cache.source(path, plan.minimum.first, plan.minimum.second);
    const Size decoded{source.fullWidth, source.fullHeight};
    if (plan.reduced && size != decoded) {
        plan = planFor(scheme, decoded, box);
        source = cache.source(path, plan.minimum.first, plan.minimum.second);
    }
    // A reduced picture converted back to a dithered type of its own would
    // not look as the whole one does.
    if (plan.reduced && scheme && convertsColours(*scheme) &&
        !pixelByPixel(colorTypeOf(source.picture))) {
        plan = {};
        source = cache.source(path, 0, 0);
    }
    return source;
}

}  // namespace

PreviewRender renderPreview(PreviewCache& cache, const PreviewRequest& request,
                            const AppFolders& appFolder,
                            const std::function<bool()>& stopRequested) {
    const auto stop = [&] { return stopRequested && stopRequested(); };
    PreviewRender out;
    const std::string& path = request.sourcePath;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        out.failure = formatMessage("图像 %s 不存在。", path.c_str());
        out.sourceFailed = true;
        return out;
    }
    const Size box{request.boxWidth, request.boxHeight};
    const bool whole = box.first <= 0 || box.second <= 0;
    CollectingReporter reporter;
    try {
        std::optional<Scheme> drawable;
        if (request.scheme)
            drawable = withReadableDecorations(*request.scheme, appFolder, cache, out.notes);
        const Scheme* scheme = drawable ? &*drawable : nullptr;
        Plan plan;
        ReducedPicture source;
        try {
            source = decodeFor(cache, path, scheme, box, whole, plan);
        } catch (const std::exception& failure) {
            out.failure = failure.what();
            out.sourceFailed = true;
            return out;
        }
        out.sourceWidth = source.fullWidth;
        out.sourceHeight = source.fullHeight;
        if (stop()) return out;

        CImageBox control;
        Bitmap result = source.picture;
        if (scheme && plan.resized) {
            const Bitmap before = applyScheme(control, source.picture, stepsBeforeResize(*scheme),
                                              appFolder, reporter, &cache);
            result = applyScheme(control, before, stepsFromResize(*scheme, plan.resizeTo),
                                 appFolder, reporter, &cache);
        } else if (scheme) {
            result = applyScheme(control, source.picture, *scheme, appFolder, reporter, &cache);
        }
        if (stop()) return out;
        if (whole) {
            out.picture = result;
        } else {
            // A reduced result is shown at the size the whole one would be.
            Size exact{0, 0};
            if (request.sizedAsSource) {
                exact = fitted({source.fullWidth, source.fullHeight}, box);
            } else if (plan.reduced && !plan.resized) {
                exact = fitted(plan.whole, box);
            }
            CImageBox fitting;
            out.picture =
                FitToBox(fitting, result, box.first, box.second, exact.first, exact.second);
        }
    } catch (const std::exception& failure) {
        out.picture = Bitmap();
        out.failure = failure.what();
    }
    out.notes.insert(out.notes.end(), reporter.said.begin(), reporter.said.end());
    return out;
}

}  // namespace varnetto
