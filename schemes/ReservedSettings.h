#pragma once

// The table of the settings a scheme keeps in its reserved fields
// (reservedInts, reservedTexts): the one place that allocates a slot. The
// record's layout stays as it is, so every store keeps loading in older
// copies of the program, which keep the values and ignore them. 0 (or "")
// in a slot means what the program did before the setting existed. The
// editor, the scheme viewer's rows, "varnetto-cli show" and the JSON export
// and import all read these rows.

#include "common/OutputChoices.h"
#include "schemes/Scheme.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnetto {

enum class ReservedSlotKind { Int, Text };

enum class ReservedSettingId {
    Color,
    Metadata,
    CaptionHeight,
    StampWidth,
    FileSizeLimit,
};

struct ReservedSetting {
    ReservedSettingId id;
    ReservedSlotKind kind;
    std::size_t slot;        // index into reservedInts or reservedTexts
    std::string_view name;   // the named field of the JSON export
    std::string_view label;  // as the editor and the scheme viewer show it
    // Int settings: the values 0 to valueCount - 1, each with its text; a
    // stored value outside them counts as 0 and is kept as stored.
    std::size_t valueCount = 0;
    std::array<std::string_view, 4> valueLabels{};
    // Int settings without value texts are numbers from 0 to maximum, shown
    // with decimals places (a stored 1250 with 2 is "12.50") and unit; 0
    // shows offText.
    std::int32_t maximum = 0;
    int decimals = 0;
    std::string_view unit;
    std::string_view offText;

    constexpr bool isNumber() const { return kind == ReservedSlotKind::Int && valueCount == 0; }
};

// Shares of the picture are kept per ten thousand: two decimals of a percent.
inline constexpr std::int32_t kWholeShare = 10000;
// A file-size limit of a gigabyte is no limit a user means.
inline constexpr std::int32_t kLargestSizeLimitKb = 1024 * 1024;

inline constexpr std::array<ReservedSetting, 5> reservedSettings{{
    {.id = ReservedSettingId::Color,
     .kind = ReservedSlotKind::Int,
     .slot = 0,
     .name = "colorProfile",
     .label = "颜色配置文件",
     .valueCount = 2,
     .valueLabels = {"保留图像的配置文件", "转换为 sRGB"},
     .maximum = 0,
     .decimals = 0,
     .unit = "",
     .offText = ""},
    {.id = ReservedSettingId::Metadata,
     .kind = ReservedSlotKind::Int,
     .slot = 1,
     .name = "metadata",
     .label = "元数据",
     .valueCount = 3,
     .valueLabels = {"全部保留", "去除位置和个人信息", "只保留颜色配置文件"},
     .maximum = 0,
     .decimals = 0,
     .unit = "",
     .offText = ""},
    // The caption's drawn height as a share of the picture's height.
    {.id = ReservedSettingId::CaptionHeight,
     .kind = ReservedSlotKind::Int,
     .slot = 2,
     .name = "captionHeightShare",
     .label = "文字随图像缩放（高度）",
     .valueCount = 0,
     .valueLabels = {},
     .maximum = kWholeShare,
     .decimals = 2,
     .unit = " %",
     .offText = "否"},
    // The stamp's width as a share of the picture's width.
    {.id = ReservedSettingId::StampWidth,
     .kind = ReservedSlotKind::Int,
     .slot = 3,
     .name = "stampWidthShare",
     .label = "印章随图像缩放（宽度）",
     .valueCount = 0,
     .valueLabels = {},
     .maximum = kWholeShare,
     .decimals = 2,
     .unit = " %",
     .offText = "否"},
    // JPEG, WebP and AVIF files are kept under it by their quality.
    {.id = ReservedSettingId::FileSizeLimit,
     .kind = ReservedSlotKind::Int,
     .slot = 4,
     .name = "fileSizeLimitKb",
     .label = "文件大小最大值",
     .valueCount = 0,
     .valueLabels = {},
     .maximum = kLargestSizeLimitKb,
     .decimals = 0,
     .unit = " K",
     .offText = "不限"},
}};

// Rows are in the order of their ids, and no two share a slot.
static_assert([] {
    for (std::size_t i = 0; i < reservedSettings.size(); ++i) {
        const ReservedSetting& row = reservedSettings[i];
        const std::size_t slots = row.kind == ReservedSlotKind::Int
                                      ? std::tuple_size_v<decltype(Scheme::reservedInts)>
                                      : std::tuple_size_v<decltype(Scheme::reservedTexts)>;
        if (static_cast<std::size_t>(row.id) != i || row.slot >= slots) return false;
        if (row.kind == ReservedSlotKind::Int && row.valueCount > row.valueLabels.size())
            return false;
        if (row.isNumber() && row.maximum < 1) return false;
        for (std::size_t j = 0; j < i; ++j)
            if (reservedSettings[j].kind == row.kind && reservedSettings[j].slot == row.slot)
                return false;
    }
    return true;
}());

constexpr const ReservedSetting& reservedSetting(ReservedSettingId id) {
    return reservedSettings[static_cast<std::size_t>(id)];
}

// The value an int setting has in scheme: the stored one when the table
// knows it (a listed value, or a number in its range), otherwise 0.
std::int32_t reservedValue(const Scheme& scheme, ReservedSettingId id);
void setReservedValue(Scheme& scheme, ReservedSettingId id, std::int32_t value);
// What the user reads for a setting's value in scheme.
std::string reservedValueText(const Scheme& scheme, const ReservedSetting& setting);
// A stored number with decimals places: 1250 with 2 is "12.50".
std::string numberText(std::int32_t value, int decimals);

inline ColorHandling colorHandlingOf(const Scheme& scheme) {
    return static_cast<ColorHandling>(reservedValue(scheme, ReservedSettingId::Color));
}
inline MetadataHandling metadataHandlingOf(const Scheme& scheme) {
    return static_cast<MetadataHandling>(reservedValue(scheme, ReservedSettingId::Metadata));
}
// 0 keeps the caption's point size and the stamp's own size.
inline double captionHeightShareOf(const Scheme& scheme) {
    return reservedValue(scheme, ReservedSettingId::CaptionHeight) / double(kWholeShare);
}
inline double stampWidthShareOf(const Scheme& scheme) {
    return reservedValue(scheme, ReservedSettingId::StampWidth) / double(kWholeShare);
}
// Bytes; 0 when the files are not limited.
inline std::int64_t fileSizeLimitOf(const Scheme& scheme) {
    return std::int64_t{reservedValue(scheme, ReservedSettingId::FileSizeLimit)} * 1024;
}

}  // namespace varnetto
