#pragma once

#include "imaging/ZoomablePicture.h"
#include "processing/PreviewCache.h"
#include "uikit/BackgroundJobs.h"
#include "viewer/PictureTiles.h"
#include "viewer/ViewerRequest.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace varnetto {

// A picture made ready on a worker for the viewer to show at once: its first
// view at actual size and its overview.
struct PreparedPicture {
    int row = -1;  // the row it shows; -1 for a single picture
    std::shared_ptr<ZoomablePicture> picture;
    QImage overview;  // may be missing when the preparation was cut short
    RenderedTiles firstView;
    QString failure;  // names the file and the reason; set when picture is not
    // What a scheme's render said about stamps and border pieces it left out.
    std::vector<std::string> notes;
};

// The information text of a row: path, size, file size and date.
QString viewerInfoText(const ViewerRow& row);

// How far a preparation on a worker goes: the first view always; the
// overview too while no one waits for the picture (wantedNow) and the job
// may go on (token). A picture wanted now gets its overview later, from the
// window, while it is already on screen.
struct Preparation {
    QSize area;
    const std::atomic<bool>& wantedNow;
    const JobToken& token;
    double density = 1;  // the screen's pixels to the window's one
};

// Decodes a row's picture (or the file of a single picture) for the area.
// Failures come back in the result. Runs on a worker.
PreparedPicture loadViewerRow(int row, const std::string& path, const Preparation& preparation);

// Row row, locked, processed with scheme through the preview cache, without
// writing a file. Runs on a worker.
PreparedPicture renderLockedRow(PreviewCache& cache, int row, const ViewerRow& entry,
                                const Scheme& scheme, const AppFolders& appFolder,
                                const Preparation& preparation);

// A caller's picture, shared and never changed.
PreparedPicture prepareBitmap(const Bitmap& bitmap, const Preparation& preparation);

}  // namespace varnetto
