#pragma once

#include "browser/RowFacts.h"
#include "uikit/ThumbnailArt.h"

#include <QSize>

#include <string>

namespace varnetto {

// Size of the picture inside the 160 x 120 cell for a width x height image:
// never enlarged, except that an exact 4:3 picture always fills the cell.
QSize thumbnailPictureSize(int width, int height);

// The cell: the picture centred on the frame, or the picture alone when it
// fills the whole cell.
QImage composeCell(const QImage& picture, const QImage& frame);

// The cell with the lock mark drawn into its lower right corner.
QImage withLockMark(const QImage& cell, const QImage& lockMark);

// "%dK", the type and the time texts of path. Missing files give empty texts.
void readFileFacts(const std::string& folder, const std::string& fileName, RowFacts& facts);

// The cell with the damage mark drawn into its upper left corner.
QImage withDamageMark(const QImage& cell, const QImage& damageMark);

// Reads the file facts and the thumbnail of folder/fileName. Never throws:
// a picture that cannot be decoded gives the broken-picture cell and error;
// one whose data is cut short gives what decodes, marked, and damage.
RowFacts readRow(const std::string& folder, const std::string& fileName, const ThumbnailArt& art);

}  // namespace varnetto
