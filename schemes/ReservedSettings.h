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
};

inline constexpr std::array<ReservedSetting, 2> reservedSettings{{
    {.id = ReservedSettingId::Color,
     .kind = ReservedSlotKind::Int,
     .slot = 0,
     .name = "colorProfile",
     .label = "颜色配置文件",
     .valueCount = 2,
     .valueLabels = {"保留图像的配置文件", "转换为 sRGB"}},
    {.id = ReservedSettingId::Metadata,
     .kind = ReservedSlotKind::Int,
     .slot = 1,
     .name = "metadata",
     .label = "元数据",
     .valueCount = 3,
     .valueLabels = {"全部保留", "去除位置和个人信息", "只保留颜色配置文件"}},
}};

// Rows are in the order of their ids, and no two share a slot.
static_assert([] {
    for (std::size_t i = 0; i < reservedSettings.size(); ++i) {
        const ReservedSetting& row = reservedSettings[i];
        const std::size_t slots = row.kind == ReservedSlotKind::Int
                                      ? std::tuple_size_v<decltype(Scheme::reservedInts)>
                                      : std::tuple_size_v<decltype(Scheme::reservedTexts)>;
        if (static_cast<std::size_t>(row.id) != i || row.slot >= slots) return false;
        if (row.kind == ReservedSlotKind::Int &&
            (row.valueCount < 1 || row.valueCount > row.valueLabels.size()))
            return false;
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
// knows it, otherwise 0.
std::int32_t reservedValue(const Scheme& scheme, ReservedSettingId id);
void setReservedValue(Scheme& scheme, ReservedSettingId id, std::int32_t value);
// What the user reads for a setting's value in scheme.
std::string reservedValueText(const Scheme& scheme, const ReservedSetting& setting);

inline ColorHandling colorHandlingOf(const Scheme& scheme) {
    return static_cast<ColorHandling>(reservedValue(scheme, ReservedSettingId::Color));
}
inline MetadataHandling metadataHandlingOf(const Scheme& scheme) {
    return static_cast<MetadataHandling>(reservedValue(scheme, ReservedSettingId::Metadata));
}

}  // namespace varnetto
