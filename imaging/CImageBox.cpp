#include "imaging/CImageBox.h"

#include "imaging/ImagingDetail.h"

#include "common/Reporter.h"

#include <algorithm>
#include <cmath>

namespace varnetto {

using detail::guarded;

namespace {

// Marks a CreateBlank canvas nothing was drawn on yet: it takes the depth of
// the first picture drawn on it (a frame around a 16-bit picture).
constexpr const char* kBlankField = "varnetto-blank";

Bitmap fromBlank(const Bitmap& canvas, const Bitmap& picture) {
    Bitmap base = detail::atDepthOf(canvas, picture).copy();
    base.remove(kBlankField);
    return base;
}

}  // namespace

CImageBox::CImageBox() = default;

void CImageBox::Clear() {
    image_ = Bitmap();
    hasImage_ = false;
}

bool CImageBox::HasImage() const {
    return hasImage_;
}

void CImageBox::requireImage(const char* operation) const {
    if (!hasImage_) throw ImagingError(std::string(operation) + "：没有图像");
}

void CImageBox::replaceImage(const Bitmap& next) {
    // Operations keep the colour type; a tag that no longer suits the bands
    // is ignored when it is read.
    image_ = guarded("处理图像", [&] {
        if (next.get_typeof(detail::kColorTypeField) == 0 &&
            image_.get_typeof(detail::kColorTypeField) != 0)
            return detail::withColorType(
                next, static_cast<ColorType>(image_.get_int(detail::kColorTypeField)));
        return next;
    });
    hasImage_ = true;
}

void CImageBox::LoadFromFile(const std::string& path) {
    Clear();
    image_ = detail::decodePicture(path, pixelLimit_, step_.streamingLoads);
    hasImage_ = true;
}

SaveReport CImageBox::SaveToFile(const std::string& path) {
    requireImage("保存图像");
    return detail::encodePicture(image_, path, {jpegQuality_, tiffCompression_, fileSizeLimit_});
}

SaveReport CImageBox::MeasureSave(const std::string& extension) const {
    requireImage("保存图像");
    return detail::measureEncoding(image_, extension,
                                   {jpegQuality_, tiffCompression_, fileSizeLimit_});
}

Bitmap CImageBox::GetBitmap() const {
    requireImage("取出图像");
    return image_;
}

void CImageBox::PutBitmap(const Bitmap& image) {
    if (image.get_image() == nullptr) throw ImagingError("放入图像：图像为空");
    guarded("放入图像", [&] {
        const VipsInterpretation interpretation = image.interpretation();
        const bool usual =
            image.bands() <= 4 &&
            ((image.format() == VIPS_FORMAT_UCHAR && (interpretation == VIPS_INTERPRETATION_sRGB ||
                                                      interpretation == VIPS_INTERPRETATION_B_W)) ||
             (image.format() == VIPS_FORMAT_USHORT &&
              (interpretation == VIPS_INTERPRETATION_RGB16 ||
               interpretation == VIPS_INTERPRETATION_GREY16)));
        Clear();
        image_ = usual ? image : detail::toRgb(image);
        hasImage_ = true;
        return 0;
    });
}

int CImageBox::ImageWidth() const {
    return hasImage_ ? image_.width() : 0;
}
int CImageBox::ImageHeight() const {
    return hasImage_ ? image_.height() : 0;
}

ColorType CImageBox::GetColorType() const {
    return hasImage_ ? detail::colorTypeOf(image_) : ColorType::TrueColor24;
}

void CImageBox::PutColorType(ColorType type) {
    requireImage("转换颜色类型");
    image_ = guarded("转换颜色类型", [&] { return detail::convertColorType(image_, type); });
}

void CImageBox::Resize(int width, int height) {
    requireImage("缩放图像");
    width = std::max(width, 1);
    height = std::max(height, 1);
    detail::checkPixelCount(width, height, pixelLimit_, {});
    replaceImage(guarded("缩放图像", [&] {
        return detail::resampleTo(image_, width, height, resampleOnResize_, resampleFilter_);
    }));
}

std::pair<double, double> CImageBox::PercentScaled(int width, int height, float percent) {
    // The relative nudge absorbs the float's rounding: 1000 x 33.3 % is 333,
    // not 332.99998.
    const double factor = static_cast<double>(percent) / 100.0 * (1.0 + 1e-6);
    return {std::floor(width * factor), std::floor(height * factor)};
}

void CImageBox::ScaleByPercent(float percent) {
    requireImage("缩放图像");
    const auto [width, height] = PercentScaled(image_.width(), image_.height(), percent);
    const double limit = static_cast<double>(pixelLimit_);
    if (width > limit || height > limit || width * height > limit)
        detail::checkPixelCount(static_cast<std::int64_t>(std::min(width, limit + 1)),
                                static_cast<std::int64_t>(std::min(height, limit + 1)), pixelLimit_,
                                {});
    Resize(static_cast<int>(std::max(width, 1.0)), static_cast<int>(std::max(height, 1.0)));
}

void CImageBox::CreateBlank(int width, int height) {
    width = std::max(width, 1);
    height = std::max(height, 1);
    detail::checkPixelCount(width, height, pixelLimit_, {});
    Clear();
    image_ = guarded("新建图像", [&] {
        Bitmap canvas =
            detail::withColorType(detail::whiteCanvas(width, height), ColorType::TrueColor24);
        canvas.set(kBlankField, 1);
        return canvas;
    });
    hasImage_ = true;
}

void CImageBox::DrawBitmap(const Bitmap& image) {
    requireImage("绘制图像");
    if (image.get_image() == nullptr) throw ImagingError("绘制图像：图像为空");
    replaceImage(guarded("绘制图像", [&] { return drawnOnto(image); }));
}

Bitmap CImageBox::drawnOnto(const Bitmap& picture) const {
    const Bitmap base = image_.get_typeof(kBlankField) != 0 ? fromBlank(image_, picture) : image_;
    const int width = base.width();
    const int height = base.height();
    if (step_.drawMode == 0) {
        // Thumbnail drawing: a picture at least as large as the image is its
        // frame (the whole image stays visible, centred on it), a smaller one
        // is a mark in the bottom-right corner.
        if (picture.width() >= width && picture.height() >= height) {
            const Bitmap canvas =
                detail::atDepthOf(detail::whiteCanvas(picture.width(), picture.height()), base);
            const Bitmap frame =
                detail::drawPicture(canvas, picture, 0, 0, step_.transparentOverlay);
            return detail::drawPicture(frame, base, (picture.width() - width) / 2,
                                       (picture.height() - height) / 2, false);
        }
        return detail::drawPicture(base, picture, width - picture.width(),
                                   height - picture.height(), step_.transparentOverlay);
    }
    const int x = step_.positionedDraw ? step_.drawX : (width - picture.width()) / 2;
    const int y = step_.positionedDraw ? step_.drawY : (height - picture.height()) / 2;
    return detail::drawPicture(base, picture, x, y, step_.transparentOverlay);
}

void CImageBox::OverlayFile(const std::string& path) {
    requireImage("绘制图像");
    DrawBitmap(detail::decodePicture(path, pixelLimit_));
}

void CImageBox::DrawTextAt(int x, int y, const std::string& text) {
    requireImage("绘制文字");
    const detail::TextStyle style{step_.font, step_.textColor, step_.transparentText};
    replaceImage(guarded("绘制文字", [&] { return detail::drawText(image_, x, y, text, style); }));
}

InkBox CImageBox::TextInk(const std::string& text) const {
    const detail::TextStyle style{step_.font, step_.textColor, step_.transparentText};
    return detail::textInk(text, style);
}

void CImageBox::AdjustBrightness(int amount, bool red, bool green, bool blue) {
    requireImage("调整亮度");
    replaceImage(guarded(
        "调整亮度", [&] { return detail::adjustBrightness(image_, amount, red, green, blue); }));
}

void CImageBox::AdjustContrast(int amount, bool red, bool green, bool blue) {
    requireImage("调整对比度");
    replaceImage(guarded("调整对比度",
                         [&] { return detail::adjustContrast(image_, amount, red, green, blue); }));
}

void CImageBox::ImageAction() {
    requireImage("自动色阶");
    replaceImage(guarded("自动色阶", [&] { return detail::stretchLevels(image_); }));
}

void CImageBox::Sharpen(int amount) {
    requireImage("锐化");
    replaceImage(guarded("锐化", [&] { return detail::sharpen(image_, amount); }));
}

void CImageBox::Despeckle(int amount) {
    requireImage("除污");
    replaceImage(guarded("除污", [&] { return detail::despeckle(image_, amount); }));
}

void CImageBox::RemoveRedEye() {
    requireImage("消除红眼");
    replaceImage(guarded("消除红眼", [&] { return detail::removeRedEye(image_); }));
}

void CImageBox::Rotate(float degrees) {
    requireImage("旋转");
    if (!std::isfinite(degrees))
        throw ImagingError(formatMessage("旋转角度 %g 无效。", static_cast<double>(degrees)));
    replaceImage(guarded("旋转", [&] { return detail::rotate(image_, degrees); }));
}

void CImageBox::Flip(FlipDirection direction) {
    requireImage("翻转");
    replaceImage(guarded("翻转", [&] { return detail::flip(image_, direction); }));
}

void CImageBox::ApplyEdgeEffect(int, int, int width, int) {
    requireImage("边缘效果");
    replaceImage(
        guarded("边缘效果", [&] { return detail::raisedFrame(image_, step_.edgeEffect, width); }));
}

}  // namespace varnetto
