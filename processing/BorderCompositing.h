#pragma once

#include "imaging/CImageBox.h"
#include "processing/DecorationPictures.h"

#include <array>
#include <string>
#include <vector>

namespace varnetto {

// Natural size of one border piece; 0 x 0 when its file is missing.
struct PieceSize {
    int width = 0;
    int height = 0;
    bool present() const { return width > 0 && height > 0; }
};

// A stretch of an edge run covered by one copy of the edge piece.
struct RunSegment {
    int offset = 0;
    int length = 0;
    bool operator==(const RunSegment&) const = default;
};

// One draw of a piece (0-based piece number 0-7) at a size.
struct PieceDraw {
    int piece = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PieceDraw&) const = default;
};

// Where everything of a bordered image goes. The image itself is drawn at
// (imageX, imageY) on a canvas of width x height; draws follow in order.
struct BorderLayout {
    int width = 0;
    int height = 0;
    int imageX = 0;
    int imageY = 0;
    std::vector<PieceDraw> draws;
};

// How an edge piece of natural length pieceLength covers a run of runLength:
// copies at natural size, the last one stretched or shrunk to close the run.
// A run or piece of zero or negative length gives nothing.
std::vector<RunSegment> edgeRunSegments(int runLength, int pieceLength, bool adaptive);

// The border painted over the image's own margins; the size stays.
BorderLayout innerBorderLayout(int imageWidth, int imageHeight,
                               const std::array<PieceSize, 8>& pieces, bool adaptive);
// The image on a larger canvas with the border around it.
BorderLayout outerBorderLayout(int imageWidth, int imageHeight,
                               const std::array<PieceSize, 8>& pieces, bool adaptive);

// Composites the eight pieces (top, left, bottom, right edges, then the
// top-left, bottom-left, bottom-right and top-right corners) through control
// and returns the new image; the control holds no image afterwards. A piece
// whose file is missing is left out; one that cannot be decoded throws
// ImagingError naming it. Pieces come from decorations when given.
Bitmap compositeBorder(CImageBox& control, const Bitmap& image,
                       const std::array<std::string, 8>& piecePaths, bool adaptive, bool inner,
                       DecorationPictures* decorations = nullptr);

}  // namespace varnetto
