#pragma once

// The coded values of a Scheme's fields. Fields keep the plain stored
// number (a stored value outside a table must survive loading and saving);
// code reads and writes them through these names.

#include "common/ImageFormats.h"  // OutputFormat and the table of formats
#include "common/ImagingCodes.h"  // ColorType, ResampleFilter, TiffCompression, FlipDirection

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <type_traits>

namespace varnetto {

// The number a scheme field stores for a code.
template <class Code>
requires std::is_enum_v<Code>
constexpr std::int32_t stored(Code code) {
    return static_cast<std::int32_t>(code);
}

// namingMode
enum class NamingMode : std::int32_t {
    KeepName = 0,  // the source's base name
    Rename = 1,    // renamePrefix, "_" and a running number
};

// resizeMode
enum class ResizeMode : std::int32_t {
    Percent = 1,   // both sides by resizeValue percent
    Width = 2,     // width resizeValue pixels, height by the aspect ratio
    Height = 3,    // height resizeValue pixels, width by the aspect ratio
    FileSize = 4,  // largest file size in K: no size change
    Fixed = 5,     // exactly fixedWidth x fixedHeight
};

// borderKind and stampKind
enum class DecorationKind : std::int32_t {
    Named = 0,    // a border set in Borders/ or a stamp in Stamps/
    Custom = 999  // borderPieceFiles or stampPath
};

// brightnessChannel and contrastChannel: which colour channels change.
enum class ChannelChoice : std::int32_t {
    White = 0,  // all three
    Red = 1,
    Green = 2,
    Blue = 3,
    Yellow = 4,  // red and green
    Purple = 5,  // red and blue
    Cyan = 6,    // green and blue
};

// What the user reads for a code. The editor's lists and the scheme viewer
// read the tables below, each in value order.
template <class Code>
struct CodeLabel {
    Code code;
    std::string_view label;
};

// The label of a stored value; empty for a value outside the table (the
// store accepts any number).
template <class Code, std::size_t N>
constexpr std::string_view labelOf(const std::array<CodeLabel<Code>, N>& table,
                                   std::int32_t storedValue) {
    for (const CodeLabel<Code>& entry : table)
        if (stored(entry.code) == storedValue) return entry.label;
    return {};
}

// colorType
inline constexpr std::array<CodeLabel<ColorType>, 8> colorTypeNames{{
    {ColorType::TrueColor24, "24 位真彩色"},
    {ColorType::Palette256, "256 色"},
    {ColorType::Gray256, "256 级灰阶"},
    {ColorType::Palette16, "16 色"},
    {ColorType::Gray16, "16 级灰阶"},
    {ColorType::Mono8, "8 位单色"},
    {ColorType::BlackWhite, "黑白"},
    {ColorType::NoColor, "无色"},
}};

// brightnessChannel and contrastChannel
inline constexpr std::array<CodeLabel<ChannelChoice>, 7> channelNames{{
    {ChannelChoice::White, "白"},
    {ChannelChoice::Red, "红"},
    {ChannelChoice::Green, "绿"},
    {ChannelChoice::Blue, "蓝"},
    {ChannelChoice::Yellow, "黄"},
    {ChannelChoice::Purple, "紫"},
    {ChannelChoice::Cyan, "青"},
}};

// What the user reads for an output format and the extension its files get.
struct OutputFormatName {
    OutputFormat format{};
    std::string_view label;
    std::string_view extension;
};

// Every output format in value order, taken from the table of formats: the
// editor's conversion list, the scheme viewer and the output naming read it.
inline constexpr std::array<OutputFormatName, outputFormatCount> outputFormatNames = [] {
    std::array<OutputFormatName, outputFormatCount> names{};
    for (const ImageFormat& format : imageFormats)
        if (format.output)
            names.at(static_cast<std::size_t>(*format.output)) = {*format.output, format.label,
                                                                  format.suffixes.first()};
    return names;
}();

// Each code from 0 up is one row of the table, so none is missing above.
static_assert([] {
    for (std::size_t code = 0; code < outputFormatNames.size(); ++code)
        if (static_cast<std::size_t>(outputFormatNames[code].format) != code ||
            outputFormatNames[code].label.empty())
            return false;
    return true;
}());

// The table entry of a stored outputFormat; nullptr for a value outside it
// (the store accepts any number).
constexpr const OutputFormatName* outputFormatName(std::int32_t storedFormat) {
    for (const OutputFormatName& entry : outputFormatNames)
        if (stored(entry.format) == storedFormat) return &entry;
    return nullptr;
}

// effectType (stored and shown; changes no pixel)
enum class EffectType : std::int32_t {
    Emboss = 0,
    Engrave = 1,
};

inline constexpr std::array<CodeLabel<EffectType>, 2> effectTypeNames{{
    {EffectType::Emboss, "浮雕化"},
    {EffectType::Engrave, "雕刻化"},
}};

}  // namespace varnetto
