#include "schemes/ReservedSettings.h"

namespace varnetto {

std::int32_t reservedValue(const Scheme& scheme, ReservedSettingId id) {
    const ReservedSetting& setting = reservedSetting(id);
    if (setting.kind != ReservedSlotKind::Int) return 0;
    const std::int32_t value = scheme.reservedInts[setting.slot];
    return value >= 0 && static_cast<std::size_t>(value) < setting.valueCount ? value : 0;
}

void setReservedValue(Scheme& scheme, ReservedSettingId id, std::int32_t value) {
    const ReservedSetting& setting = reservedSetting(id);
    if (setting.kind == ReservedSlotKind::Int) scheme.reservedInts[setting.slot] = value;
}

std::string reservedValueText(const Scheme& scheme, const ReservedSetting& setting) {
    if (setting.kind == ReservedSlotKind::Text) return scheme.reservedTexts[setting.slot];
    const auto value = static_cast<std::size_t>(reservedValue(scheme, setting.id));
    return std::string(setting.valueLabels[value]);
}

}  // namespace varnetto
