#include "browser/RowReader.h"

#include "imaging/CImageBox.h"
#include "imaging/PictureProbe.h"
#include "imaging/Thumbnails.h"
#include "uikit/QtImage.h"

#include <QPainter>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <ctime>

namespace varnetto {

namespace {

constexpr int kCellWidth = 160;
constexpr int kCellHeight = 120;

// Sizes in the cell's units, whatever the pixel density.
QSize unitsOf(const QImage& image) {
    return image.deviceIndependentSize().toSize();
}

}  // namespace

QSize thumbnailPictureSize(int width, int height) {
    if (width <= 0 || height <= 0) return {0, 0};
    const double ratio = double(width) / double(height);
    const double cellRatio = 4.0 / 3.0;
    int tw = 0;
    int th = 0;
    if (ratio < cellRatio) {
        th = std::min(height, kCellHeight);
        tw = static_cast<int>(th * ratio);
    } else if (ratio > cellRatio) {
        tw = std::min(width, kCellWidth);
        th = static_cast<int>(tw / ratio);
    } else {
        return {kCellWidth, kCellHeight};
    }
    // A sliver of a picture still shows as one pixel.
    return {std::max(tw, 1), std::max(th, 1)};
}

QImage composeCell(const QImage& picture, const QImage& frame) {
    const QSize shown = unitsOf(picture);
    if (shown == QSize(kCellWidth, kCellHeight)) {
        return picture.convertToFormat(QImage::Format_RGB888);
    }
    QImage cell = frame.convertToFormat(QImage::Format_RGB888);
    QPainter painter(&cell);
    painter.drawImage((kCellWidth - shown.width()) / 2, (kCellHeight - shown.height()) / 2,
                      picture);
    return cell;
}

QImage withLockMark(const QImage& cell, const QImage& lockMark) {
    QImage locked = cell.copy();
    QPainter painter(&locked);
    painter.drawImage(unitsOf(locked).width() - unitsOf(lockMark).width() - 2,
                      unitsOf(locked).height() - unitsOf(lockMark).height() - 2, lockMark);
    return locked;
}

QImage withDamageMark(const QImage& cell, const QImage& damageMark) {
    QImage marked = cell.copy();
    QPainter painter(&marked);
    painter.drawImage(2, 2, damageMark);
    return marked;
}

void readFileFacts(const std::string& folder, const std::string& fileName, RowFacts& facts) {
    const auto dot = fileName.rfind('.');
    facts.typeText.clear();
    if (dot != std::string::npos) {
        facts.typeText = fileName.substr(dot + 1);
        for (char& c : facts.typeText) c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    struct stat info {};
    const std::string path = folder + "/" + fileName;
    if (::stat(path.c_str(), &info) != 0) return;
    facts.sizeText = std::to_string(static_cast<long long>(info.st_size) / 1024) + "K";
    std::tm local{};
    localtime_r(&info.st_mtime, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    facts.timeText = buffer;
}

RowFacts readRow(const std::string& folder, const std::string& fileName, const ThumbnailArt& art) {
    RowFacts facts;
    readFileFacts(folder, fileName, facts);
    // The art is drawn for the screen: the picture is read at its density.
    const qreal density = art.frame.devicePixelRatio();
    const std::string path = folder + "/" + fileName;
    try {
        Bitmap picture;
        PictureFacts size;
        if (const auto probed = probePicture(path)) {
            size = *probed;
            const QSize target = thumbnailPictureSize(size.width, size.height) * density;
            picture = thumbnailOfSize(path, target.width(), target.height(), kDefaultPixelLimit,
                                      &facts.damage);
        } else {
            // Formats without a signature are read whole through the control.
            CImageBox control;
            control.LoadFromFile(path);
            size = {control.ImageWidth(), control.ImageHeight()};
            const QSize target = thumbnailPictureSize(size.width, size.height) * density;
            picture = scaledExactly(control.GetBitmap(), target.width(), target.height());
        }
        facts.width = size.width;
        facts.height = size.height;
        QImage scaled = toQImage(picture);
        scaled.setDevicePixelRatio(density);
        facts.pictureWidth = unitsOf(scaled).width();
        facts.pictureHeight = unitsOf(scaled).height();
        facts.cell = composeCell(scaled, art.frame);
        if (facts.damaged()) facts.cell = withDamageMark(facts.cell, art.damageMark);
    } catch (const std::exception& error) {
        facts.error = error.what();
        facts.damage.clear();
        facts.width = facts.height = 0;
        facts.cell = art.brokenPicture;
    }
    facts.dimensionText = std::to_string(facts.width) + " X " + std::to_string(facts.height);
    return facts;
}

}  // namespace varnetto
