#pragma once

#include <QImage>

#include <string>

namespace varnetto {

// What reading one image file yields for its row.
struct RowFacts {
    std::string sizeText;       // "%dK"
    std::string dimensionText;  // "%d X %d"
    std::string typeText;       // extension, upper-cased
    std::string timeText;       // "%Y-%m-%d %H:%M:%S", local time
    int width = 0;
    int height = 0;
    // Size of the scaled picture inside the 160 x 120 cell.
    int pictureWidth = 0;
    int pictureHeight = 0;
    QImage cell;         // the 160 x 120 thumbnail cell
    std::string error;   // set when the picture could not be decoded
    std::string damage;  // set when its data is cut short: only part of it decoded
    bool broken() const { return !error.empty(); }
    bool damaged() const { return !damage.empty(); }
};

}  // namespace varnetto
