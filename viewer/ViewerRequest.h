#pragma once

#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "schemes/Scheme.h"

#include <optional>
#include <string>
#include <vector>

namespace varnetto {

enum class ViewerMode : int { BrowseRows = 0, ShowBitmap = 1, LockedPreview = 2 };

// One row of the image list as the full-screen viewer steps through it.
struct ViewerRow {
    std::string path;  // "" while the row is not read yet
    bool locked = false;
    std::string dimensionText;
    std::string sizeText;
    std::string timeText;
};

// Everything the full-screen viewer shows, fixed when it opens: the window
// is modal, so the list cannot change under it.
struct ViewerRequest {
    ViewerMode mode = ViewerMode::BrowseRows;
    std::vector<ViewerRow> rows;   // BrowseRows and LockedPreview
    int startRow = -1;             // BrowseRows: the row shown first
    std::optional<Scheme> scheme;  // LockedPreview: applied to every locked row
    AppFolders appFolder;          // LockedPreview: where stamps and borders are
    // ShowBitmap: the caller's picture (never changed by the viewer), or a
    // file the viewer decodes itself.
    std::optional<Bitmap> bitmap;
    std::string picturePath;
};

// What a caller passes to show its own picture full-screen; the viewer shares
// the picture and never changes it.
inline ViewerRequest showBitmapRequest(const Bitmap& bitmap) {
    ViewerRequest request;
    request.mode = ViewerMode::ShowBitmap;
    request.bitmap = bitmap;
    return request;
}

}  // namespace varnetto
