#pragma once

#include "common/AppFolder.h"
#include "schemes/SchemeCodes.h"

#include <array>
#include <cstdint>
#include <string>

namespace varnetto {

// One named, complete set of processing parameters. Texts are UTF-8 in
// memory. Field order is the storage order of the store file.
struct Scheme {
    std::string name;
    std::string outputFolder;
    std::int32_t namingMode = stored(NamingMode::KeepName);
    std::string renamePrefix;
    std::int32_t renameStartNumber = 1;
    std::int32_t resizeEnabled = 0;
    std::int32_t resizeMode = stored(ResizeMode::Percent);
    std::int32_t resizeValue = 50;
    std::int32_t fixedWidth = 800;
    std::int32_t fixedHeight = 600;
    std::int32_t resizeIncludesBorder = 1;
    std::int32_t resampleEnabled = 1;
    std::int32_t jpegQuality = 90;
    std::int32_t resampleFilter = stored(ResampleFilter::Bilinear);
    std::int32_t tiffCompression = stored(TiffCompression::None);
    std::int32_t textEnabled = 0;
    std::string textContent;
    std::int32_t fontSize = 80;
    std::string fontFace;
    std::int32_t fontCharset = 1;
    std::int32_t fontWeight = 400;
    std::int32_t fontBold = 0;
    std::int32_t fontItalic = 0;
    std::int32_t fontUnderline = 0;
    std::int32_t fontStrikeOut = 0;
    std::int32_t textColor = 0;
    float textPosX = 0.0f;
    float textPosY = 0.0f;
    std::int32_t borderEnabled = 0;
    std::string borderName;
    std::int32_t borderKind = stored(DecorationKind::Named);
    std::array<std::string, 8> borderPieceFiles;
    std::int32_t borderAdaptive = 0;
    std::int32_t borderInner = 0;
    std::int32_t stampEnabled = 0;
    std::int32_t stampKind = stored(DecorationKind::Named);
    std::string stampName;
    std::string stampFile;
    std::string stampPath;
    float stampPosX = 0.5f;
    float stampPosY = 0.5f;
    std::int32_t enhanceEnabled = 0;
    std::int32_t brightnessEnabled = 0;
    std::int32_t brightnessValue = 50;
    std::int32_t brightnessChannel = stored(ChannelChoice::White);
    std::int32_t brightnessRed = 1;
    std::int32_t brightnessGreen = 1;
    std::int32_t brightnessBlue = 1;
    std::int32_t contrastEnabled = 0;
    std::int32_t contrastValue = 50;
    std::int32_t contrastChannel = stored(ChannelChoice::White);
    std::int32_t contrastRed = 1;
    std::int32_t contrastGreen = 1;
    std::int32_t contrastBlue = 1;
    std::int32_t sharpenEnabled = 0;
    std::int32_t sharpenValue = 1;
    std::int32_t despeckleEnabled = 0;
    std::int32_t despeckleValue = 1;
    std::int32_t redEyeEnabled = 0;
    std::int32_t rotateEnabled = 0;
    float rotateAngle = 0.0f;
    std::int32_t flipEnabled = 0;
    std::int32_t flipDirection = stored(FlipDirection::None);
    std::int32_t convertEnabled = 0;
    std::int32_t colorConvertEnabled = 0;
    std::int32_t colorType = stored(ColorType::TrueColor24);
    std::int32_t formatConvertEnabled = 0;
    std::int32_t outputFormat = stored(OutputFormat::Jpeg);
    std::int32_t effectEnabled = 0;
    std::int32_t effectType = stored(EffectType::Emboss);
    std::array<std::int32_t, 10> reservedInts{};
    std::array<std::string, 10> reservedTexts;

    bool operator==(const Scheme&) const = default;
};

// Calls visitor(name, field) for every field in storage order. Arrays are
// visited as one field each; visitors that need the elements iterate them.
template <class SchemeT, class Visitor>
void visitSchemeFields(SchemeT& s, Visitor&& v) {
    v("name", s.name);
    v("outputFolder", s.outputFolder);
    v("namingMode", s.namingMode);
    v("renamePrefix", s.renamePrefix);
    v("renameStartNumber", s.renameStartNumber);
    v("resizeEnabled", s.resizeEnabled);
    v("resizeMode", s.resizeMode);
    v("resizeValue", s.resizeValue);
    v("fixedWidth", s.fixedWidth);
    v("fixedHeight", s.fixedHeight);
    v("resizeIncludesBorder", s.resizeIncludesBorder);
    v("resampleEnabled", s.resampleEnabled);
    v("jpegQuality", s.jpegQuality);
    v("resampleFilter", s.resampleFilter);
    v("tiffCompression", s.tiffCompression);
    v("textEnabled", s.textEnabled);
    v("textContent", s.textContent);
    v("fontSize", s.fontSize);
    v("fontFace", s.fontFace);
    v("fontCharset", s.fontCharset);
    v("fontWeight", s.fontWeight);
    v("fontBold", s.fontBold);
    v("fontItalic", s.fontItalic);
    v("fontUnderline", s.fontUnderline);
    v("fontStrikeOut", s.fontStrikeOut);
    v("textColor", s.textColor);
    v("textPosX", s.textPosX);
    v("textPosY", s.textPosY);
    v("borderEnabled", s.borderEnabled);
    v("borderName", s.borderName);
    v("borderKind", s.borderKind);
    v("borderPieceFiles", s.borderPieceFiles);
    v("borderAdaptive", s.borderAdaptive);
    v("borderInner", s.borderInner);
    v("stampEnabled", s.stampEnabled);
    v("stampKind", s.stampKind);
    v("stampName", s.stampName);
    v("stampFile", s.stampFile);
    v("stampPath", s.stampPath);
    v("stampPosX", s.stampPosX);
    v("stampPosY", s.stampPosY);
    v("enhanceEnabled", s.enhanceEnabled);
    v("brightnessEnabled", s.brightnessEnabled);
    v("brightnessValue", s.brightnessValue);
    v("brightnessChannel", s.brightnessChannel);
    v("brightnessRed", s.brightnessRed);
    v("brightnessGreen", s.brightnessGreen);
    v("brightnessBlue", s.brightnessBlue);
    v("contrastEnabled", s.contrastEnabled);
    v("contrastValue", s.contrastValue);
    v("contrastChannel", s.contrastChannel);
    v("contrastRed", s.contrastRed);
    v("contrastGreen", s.contrastGreen);
    v("contrastBlue", s.contrastBlue);
    v("sharpenEnabled", s.sharpenEnabled);
    v("sharpenValue", s.sharpenValue);
    v("despeckleEnabled", s.despeckleEnabled);
    v("despeckleValue", s.despeckleValue);
    v("redEyeEnabled", s.redEyeEnabled);
    v("rotateEnabled", s.rotateEnabled);
    v("rotateAngle", s.rotateAngle);
    v("flipEnabled", s.flipEnabled);
    v("flipDirection", s.flipDirection);
    v("convertEnabled", s.convertEnabled);
    v("colorConvertEnabled", s.colorConvertEnabled);
    v("colorType", s.colorType);
    v("formatConvertEnabled", s.formatConvertEnabled);
    v("outputFormat", s.outputFormat);
    v("effectEnabled", s.effectEnabled);
    v("effectType", s.effectType);
    v("reservedInts", s.reservedInts);
    v("reservedTexts", s.reservedTexts);
}

// The files a scheme draws from. A named stamp or border set is taken from
// the first of the folders that holds it; when none does, the paths name the
// first folder, for the message about what is missing.
std::string stampPathOf(const Scheme& scheme, const AppFolders& folders);
// Where the named stamp file fileName (as in Stamps/) is taken from.
std::string namedStampPath(const std::string& fileName, const AppFolders& folders);
std::array<std::string, 8> borderPiecePathsOf(const Scheme& scheme, const AppFolders& folders);

}  // namespace varnetto
