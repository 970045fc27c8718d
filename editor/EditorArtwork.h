#pragma once

#include "common/ImagingCodes.h"

#include <QIcon>

namespace varnetto::editorArtwork {

// The pictures of the editor's picture buttons, drawn in code.

// A cross-hair over a pointer: "click the preview to place it".
QIcon pickPosition();
// A picture with an arrow turning it by degrees (90, 180 clockwise, -90
// anticlockwise).
QIcon rotation(int degrees);
// Two mirrored triangles about the axis of the flip.
QIcon flip(FlipDirection direction);

}  // namespace varnetto::editorArtwork
