#pragma once

#include "common/AppFolder.h"
#include "imaging/CImageBox.h"
#include "processing/PreviewCache.h"
#include "schemes/Scheme.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varnetto {

// A picture to preview: a file, with or without a scheme, for a box.
struct PreviewRequest {
    std::string sourcePath;
    std::optional<Scheme> scheme;  // none: the picture as it is
    // The box the result is fitted into; 0 x 0: the whole result, unfitted.
    int boxWidth = 0;
    int boxHeight = 0;
    // Stretched to the size the unprocessed picture takes in the box, so that
    // a border's preview compares with the picture's.
    bool sizedAsSource = false;
};

// What one render drew and what it had to say.
struct PreviewRender {
    Bitmap picture;       // none when nothing could be drawn
    int sourceWidth = 0;  // the whole source, upright, once it was decoded
    int sourceHeight = 0;
    // Stamps and border pieces that are missing or cannot be decoded, left
    // out of the picture.
    std::vector<std::string> notes;
    std::string failure;        // why nothing could be drawn
    bool sourceFailed = false;  // the picture itself cannot be read
};

// Shows request as applying the scheme to the whole picture and fitting the
// result into the box shows it. Steps that look the same at any size
// (colour types without dithering, brightness, contrast, quarter turns,
// flips) run on a decode reduced to what the box needs, and so does a resize
// step, to the size it gives the whole picture, with everything after it.
// Sharpening, despeckle, red eye, free rotation, dithered colour types and
// decorations drawn before any resize depend on the picture's own size: such
// schemes run on the whole picture. Every decode comes from cache. Stamps and
// border pieces that cannot be used are left out and named in the notes.
// Gives up early (with nothing drawn) once stopRequested says so. Never
// throws.
PreviewRender renderPreview(PreviewCache& cache, const PreviewRequest& request,
                            const AppFolders& appFolder,
                            const std::function<bool()>& stopRequested = {});

}  // namespace varnetto
