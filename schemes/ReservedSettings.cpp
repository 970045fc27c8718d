#include "schemes/ReservedSettings.h"

#include <cstdio>

namespace varnetto {

std::string numberText(std::int32_t value, int decimals) {
    int scale = 1;
    for (int i = 0; i < decimals; ++i) scale *= 10;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, static_cast<double>(value) / scale);
    return buffer;
}

std::int32_t reservedValue(const Scheme& scheme, ReservedSettingId id) {
    const ReservedSetting& setting = reservedSetting(id);
    if (setting.kind != ReservedSlotKind::Int) return 0;
    const std::int32_t value = scheme.reservedInts[setting.slot];
    if (setting.isNumber()) return value >= 0 && value <= setting.maximum ? value : 0;
    return value >= 0 && static_cast<std::size_t>(value) < setting.valueCount ? value : 0;
}

void setReservedValue(Scheme& scheme, ReservedSettingId id, std::int32_t value) {
    const ReservedSetting& setting = reservedSetting(id);
    if (setting.kind == ReservedSlotKind::Int) scheme.reservedInts[setting.slot] = value;
}

std::string reservedValueText(const Scheme& scheme, const ReservedSetting& setting) {
    if (setting.kind == ReservedSlotKind::Text) return scheme.reservedTexts[setting.slot];
    const std::int32_t value = reservedValue(scheme, setting.id);
    if (!setting.isNumber())
        return std::string(setting.valueLabels[static_cast<std::size_t>(value)]);
    if (value == 0) return std::string(setting.offText);
    return numberText(value, setting.decimals) + std::string(setting.unit);
}

}  // namespace varnetto
