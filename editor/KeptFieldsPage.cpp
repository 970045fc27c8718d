#include "editor/KeptFieldsPage.h"

namespace varnetto {

KeptFieldsPage::KeptFieldsPage(EditorFrame& frame, QWidget* parent, QString title, CopyFields copy)
    : EditorPage(frame, parent), title_(std::move(title)), copy_(copy) {}

std::optional<FieldRefusal> KeptFieldsPage::read(Scheme& scheme) const {
    copy_(loaded_, scheme);
    return std::nullopt;
}

void copyCaptionFields(const Scheme& from, Scheme& to) {
    to.textEnabled = from.textEnabled;
    to.textContent = from.textContent;
    to.fontSize = from.fontSize;
    to.fontFace = from.fontFace;
    to.fontCharset = from.fontCharset;
    to.fontWeight = from.fontWeight;
    to.fontBold = from.fontBold;
    to.fontItalic = from.fontItalic;
    to.fontUnderline = from.fontUnderline;
    to.fontStrikeOut = from.fontStrikeOut;
    to.textColor = from.textColor;
    to.textPosX = from.textPosX;
    to.textPosY = from.textPosY;
}

void copyBorderFields(const Scheme& from, Scheme& to) {
    to.borderEnabled = from.borderEnabled;
    to.borderName = from.borderName;
    to.borderKind = from.borderKind;
    to.borderPieceFiles = from.borderPieceFiles;
    to.borderAdaptive = from.borderAdaptive;
    to.borderInner = from.borderInner;
}

void copyStampFields(const Scheme& from, Scheme& to) {
    to.stampEnabled = from.stampEnabled;
    to.stampKind = from.stampKind;
    to.stampName = from.stampName;
    to.stampFile = from.stampFile;
    to.stampPath = from.stampPath;
    to.stampPosX = from.stampPosX;
    to.stampPosY = from.stampPosY;
}

void copyEnhancementFields(const Scheme& from, Scheme& to) {
    to.enhanceEnabled = from.enhanceEnabled;
    to.brightnessEnabled = from.brightnessEnabled;
    to.brightnessValue = from.brightnessValue;
    to.brightnessChannel = from.brightnessChannel;
    to.brightnessRed = from.brightnessRed;
    to.brightnessGreen = from.brightnessGreen;
    to.brightnessBlue = from.brightnessBlue;
    to.contrastEnabled = from.contrastEnabled;
    to.contrastValue = from.contrastValue;
    to.contrastChannel = from.contrastChannel;
    to.contrastRed = from.contrastRed;
    to.contrastGreen = from.contrastGreen;
    to.contrastBlue = from.contrastBlue;
    to.sharpenEnabled = from.sharpenEnabled;
    to.sharpenValue = from.sharpenValue;
    to.despeckleEnabled = from.despeckleEnabled;
    to.despeckleValue = from.despeckleValue;
    to.redEyeEnabled = from.redEyeEnabled;
    to.rotateEnabled = from.rotateEnabled;
    to.rotateAngle = from.rotateAngle;
    to.flipEnabled = from.flipEnabled;
    to.flipDirection = from.flipDirection;
}

void copyEffectFields(const Scheme& from, Scheme& to) {
    to.effectEnabled = from.effectEnabled;
    to.effectType = from.effectType;
}

}  // namespace varnetto
