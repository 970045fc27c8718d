#include "processing/BorderCompositing.h"

#include "common/Reporter.h"
#include "imaging/PictureAssembly.h"
#include "imaging/PictureCost.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <utility>

namespace varnetto {

namespace {

enum Piece { kTop, kLeft, kBottom, kRight, kTopLeft, kBottomLeft, kBottomRight, kTopRight };

struct Thickness {
    int left, right, top, bottom;
};

Thickness thicknessOf(const std::array<PieceSize, 8>& pieces) {
    return {pieces[kLeft].width, pieces[kRight].width, pieces[kTop].height, pieces[kBottom].height};
}

void addHorizontalRun(std::vector<PieceDraw>& draws, int piece, const PieceSize& size, int x, int y,
                      int run, bool adaptive) {
    if (!size.present()) return;
    for (const RunSegment& s : edgeRunSegments(run, size.width, adaptive))
        draws.push_back({piece, x + s.offset, y, s.length, size.height});
}

void addVerticalRun(std::vector<PieceDraw>& draws, int piece, const PieceSize& size, int x, int y,
                    int run, bool adaptive) {
    if (!size.present()) return;
    for (const RunSegment& s : edgeRunSegments(run, size.height, adaptive))
        draws.push_back({piece, x, y + s.offset, size.width, s.length});
}

void addCorner(std::vector<PieceDraw>& draws, int piece, const PieceSize& size, int x, int y,
               int width, int height) {
    if (!size.present() || width <= 0 || height <= 0) return;
    draws.push_back({piece, x, y, width, height});
}

// Edges and corners of a frame whose inner rectangle starts at (left, top)
// and is runWidth x runHeight; the frame's outer size is width x height.
void addFrame(BorderLayout& layout, const std::array<PieceSize, 8>& p, const Thickness& t,
              int runWidth, int runHeight, bool adaptive) {
    const int rightX = layout.width - t.right;
    const int bottomY = layout.height - t.bottom;
    auto& d = layout.draws;
    addHorizontalRun(d, kTop, p[kTop], t.left, 0, runWidth, adaptive);
    addVerticalRun(d, kLeft, p[kLeft], 0, t.top, runHeight, adaptive);
    addHorizontalRun(d, kBottom, p[kBottom], t.left, bottomY, runWidth, adaptive);
    addVerticalRun(d, kRight, p[kRight], rightX, t.top, runHeight, adaptive);
    addCorner(d, kTopLeft, p[kTopLeft], 0, 0, t.left, t.top);
    addCorner(d, kBottomLeft, p[kBottomLeft], 0, bottomY, t.left, t.bottom);
    addCorner(d, kBottomRight, p[kBottomRight], rightX, bottomY, t.right, t.bottom);
    addCorner(d, kTopRight, p[kTopRight], rightX, 0, t.right, t.top);
}

struct LoadedPiece {
    Bitmap image;
    PieceSize size;
};

LoadedPiece loadPiece(CImageBox& control, const std::string& path,
                      DecorationPictures* decorations) {
    // A missing piece is left out; anything else standing there must load
    // (a FIFO or a folder is refused with its reason).
    std::error_code error;
    if (path.empty() || !std::filesystem::exists(path, error)) return {};
    control.Clear();
    if (decorations) {
        control.PutBitmap(decorations->picture(path));
    } else {
        control.LoadFromFile(path);
    }
    LoadedPiece piece{control.GetBitmap(), {control.ImageWidth(), control.ImageHeight()}};
    control.Clear();
    // Pieces are drawn many times; keep the small decoded picture in memory
    // instead of reading the file once per copy.
    piece.image = heldInMemory(piece.image);
    return piece;
}

void refuseLargeFrame(const CImageBox& control, const BorderLayout& layout) {
    const std::int64_t pixels = static_cast<std::int64_t>(layout.width) * layout.height;
    if (pixels > control.PixelLimit())
        throw ImagingError(formatMessage("加边框后的图像为 %d × %d 像素，超过 %lld 像素的上限。",
                                         layout.width, layout.height,
                                         static_cast<long long>(control.PixelLimit())));
}

// The pieces' sizes from their headers, before any is decoded: pieces that
// together exceed the pixel limit, or a frame that would, are refused
// without spending the memory and time of decoding them.
void checkPieceHeaders(const CImageBox& control, const Bitmap& image,
                       const std::array<std::string, 8>& piecePaths, bool adaptive, bool inner) {
    std::array<PieceSize, 8> sizes{};
    std::int64_t total = 0;
    std::string largest;
    std::int64_t largestPixels = 0;
    for (size_t i = 0; i < piecePaths.size(); ++i) {
        std::error_code error;
        if (piecePaths[i].empty() || !std::filesystem::exists(piecePaths[i], error)) continue;
        const auto cost = pictureCost(piecePaths[i]);
        if (!cost) continue;  // refused with its reason when it is loaded
        sizes[i] = {cost->width, cost->height};
        const std::int64_t pixels = static_cast<std::int64_t>(cost->width) * cost->height;
        total += pixels;
        if (pixels > largestPixels) largestPixels = pixels, largest = piecePaths[i];
    }
    if (total > control.PixelLimit())
        throw ImagingError(
            formatMessage("边框图像共 %lld 像素（最大的是 %s），超过 %lld 像素的上限，未读取。",
                          static_cast<long long>(total), largest.c_str(),
                          static_cast<long long>(control.PixelLimit())));
    if (!inner)
        refuseLargeFrame(control,
                         outerBorderLayout(image.width(), image.height(), sizes, adaptive));
}

Bitmap resizedPiece(CImageBox& control, const LoadedPiece& piece, int width, int height) {
    if (width == piece.size.width && height == piece.size.height) return piece.image;
    control.Clear();
    control.PutBitmap(piece.image);
    control.Resize(width, height);
    Bitmap out = control.GetBitmap();
    control.Clear();
    return out;
}

}  // namespace

std::vector<RunSegment> edgeRunSegments(int runLength, int pieceLength, bool adaptive) {
    if (runLength <= 0 || pieceLength <= 0) return {};
    int n = runLength / pieceLength;
    int r = runLength % pieceLength;
    if (adaptive || n <= 0) return {{0, runLength}};
    if (pieceLength / 2 >= r) {
        --n;
        r += pieceLength;
    }
    std::vector<RunSegment> segments;
    segments.reserve(static_cast<size_t>(n) + 1);
    for (int i = 0; i < n; ++i) segments.push_back({i * pieceLength, pieceLength});
    segments.push_back({n * pieceLength, r});
    return segments;
}

BorderLayout innerBorderLayout(int imageWidth, int imageHeight,
                               const std::array<PieceSize, 8>& pieces, bool adaptive) {
    const Thickness t = thicknessOf(pieces);
    BorderLayout layout{imageWidth, imageHeight, 0, 0, {}};
    addFrame(layout, pieces, t, imageWidth - t.left - t.right, imageHeight - t.top - t.bottom,
             adaptive);
    return layout;
}

BorderLayout outerBorderLayout(int imageWidth, int imageHeight,
                               const std::array<PieceSize, 8>& pieces, bool adaptive) {
    const Thickness t = thicknessOf(pieces);
    BorderLayout layout{
        t.left + imageWidth + t.right, t.top + imageHeight + t.bottom, t.left, t.top, {}};
    addFrame(layout, pieces, t, imageWidth, imageHeight, adaptive);
    return layout;
}

Bitmap compositeBorder(CImageBox& control, const Bitmap& image,
                       const std::array<std::string, 8>& piecePaths, bool adaptive, bool inner,
                       DecorationPictures* decorations) {
    if (!decorations) checkPieceHeaders(control, image, piecePaths, adaptive, inner);
    std::array<LoadedPiece, 8> pieces;
    std::array<PieceSize, 8> sizes;
    for (size_t i = 0; i < pieces.size(); ++i) {
        pieces[i] = loadPiece(control, piecePaths[i], decorations);
        sizes[i] = pieces[i].size;
    }
    const BorderLayout layout =
        inner ? innerBorderLayout(image.width(), image.height(), sizes, adaptive)
              : outerBorderLayout(image.width(), image.height(), sizes, adaptive);

    // Every resize of a piece happens before the canvas is set up, because
    // the control holds one image at a time.
    std::array<std::map<std::pair<int, int>, Bitmap>, 8> sized;
    for (const PieceDraw& d : layout.draws) {
        auto& cache = sized[static_cast<size_t>(d.piece)];
        const auto key = std::make_pair(d.width, d.height);
        if (!cache.count(key))
            cache.emplace(key, resizedPiece(control, pieces[static_cast<size_t>(d.piece)], d.width,
                                            d.height));
    }

    control.Clear();
    if (inner) {
        control.PutBitmap(image);
    } else {
        refuseLargeFrame(control, layout);
        control.CreateBlank(layout.width, layout.height);
    }
    const ScopedStepSettings ownSettings(control);
    control.SetPositionedDraw(true);
    control.SetDrawMode(1);
    if (!inner) {
        control.SetDrawX(layout.imageX);
        control.SetDrawY(layout.imageY);
        control.DrawBitmap(image);
    }
    for (size_t first = 0; first < layout.draws.size();) {
        const PieceDraw& start = layout.draws[first];
        std::vector<Bitmap> copies;
        size_t next = first;
        for (; next < layout.draws.size() && layout.draws[next].piece == start.piece; ++next)
            copies.push_back(sized[static_cast<size_t>(start.piece)].at(
                {layout.draws[next].width, layout.draws[next].height}));
        const bool horizontal = start.piece == kTop || start.piece == kBottom;
        control.SetDrawX(start.x);
        control.SetDrawY(start.y);
        // Copies of one edge piece lie edge to edge; joined first, they are
        // one draw however long the run.
        control.DrawBitmap(joinEdgeToEdge(copies, horizontal));
        first = next;
    }
    Bitmap result = control.GetBitmap();
    control.Clear();
    return result;
}

}  // namespace varnetto
