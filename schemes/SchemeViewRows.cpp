#include "schemes/SchemeViewRows.h"

#include "common/Reporter.h"
#include "schemes/ReservedSettings.h"

namespace varnetto {

namespace {

template <class Table>
std::string nameOf(const Table& table, std::int32_t value) {
    return std::string(labelOf(table, value));
}

std::string formatName(std::int32_t storedFormat) {
    const OutputFormatName* entry = outputFormatName(storedFormat);
    return entry ? std::string(entry->label) : std::string();
}

std::string yesNo(std::int32_t flag) {
    return flag != 0 ? "是" : "否";
}

std::string number(std::int32_t value) {
    return std::to_string(value);
}

std::string namingText(std::int32_t mode) {
    if (mode == stored(NamingMode::KeepName)) return "原图像文件名称";
    if (mode == stored(NamingMode::Rename)) return "重新命名";
    return {};
}

SchemeViewRow resizeRow(const Scheme& s) {
    switch (static_cast<ResizeMode>(s.resizeMode)) {
        case ResizeMode::Percent:
            return {"        图像宽高按比例缩小", formatMessage("%d %%", s.resizeValue)};
        case ResizeMode::Width:
            return {"        指定图像宽度", formatMessage("%d Pixel", s.resizeValue)};
        case ResizeMode::Height:
            return {"        指定图像高度", formatMessage("%d Pixel", s.resizeValue)};
        case ResizeMode::FileSize:
            return {"        指定文件大小的最大值", formatMessage("%d K", s.resizeValue)};
        default:
            return {};
    }
}

std::string flipText(std::int32_t direction) {
    if (direction == stored(FlipDirection::Horizontal)) return "水平";
    if (direction == stored(FlipDirection::Vertical)) return "垂直";
    return {};
}

}  // namespace

std::vector<SchemeViewRow> schemeViewRows(const Scheme& s) {
    std::vector<SchemeViewRow> rows;
    auto add = [&rows](std::string label, std::string value) {
        rows.push_back({std::move(label), std::move(value)});
    };
    auto separator = [&rows] { rows.emplace_back(); };

    add("处理方案名称", s.name);
    add("输出路径", s.outputFolder);
    add("命名方式", namingText(s.namingMode));
    if (s.namingMode == stored(NamingMode::Rename)) {
        add("        前缀字符串", s.renamePrefix);
        add("        后缀起始编号", number(s.renameStartNumber));
    }

    separator();
    add("调整大小", yesNo(s.resizeEnabled));
    if (s.resizeEnabled != 0) {
        rows.push_back(resizeRow(s));
        add("        处理边框", yesNo(s.resizeIncludesBorder));
    }

    separator();
    add("添加文字", yesNo(s.textEnabled));
    if (s.textEnabled != 0) add("        文字内容", s.textContent);

    separator();
    add("添加边框", yesNo(s.borderEnabled));
    if (s.borderEnabled != 0) {
        add("        边框名称",
            s.borderKind == stored(DecorationKind::Custom) ? "自定义边框图像" : s.borderName);
        add("        边框自适应", yesNo(s.borderAdaptive));
        add("        边框内嵌", yesNo(s.borderInner));
    }

    separator();
    add("添加印章", yesNo(s.stampEnabled));
    if (s.stampEnabled != 0) add("        印章名称", s.stampName);

    separator();
    add("图像增强处理", yesNo(s.enhanceEnabled));
    if (s.enhanceEnabled != 0) {
        if (s.brightnessEnabled != 0)
            add("        亮度调整",
                formatMessage("%s:  %d", nameOf(channelNames, s.brightnessChannel).c_str(),
                              s.brightnessValue));
        if (s.contrastEnabled != 0)
            add("        对比度调整",
                formatMessage("%s:  %d", nameOf(channelNames, s.contrastChannel).c_str(),
                              s.contrastValue));
        if (s.sharpenEnabled != 0) add("        锐化调整", number(s.sharpenValue));
        if (s.despeckleEnabled != 0) add("        除污", number(s.despeckleValue));
        if (s.redEyeEnabled != 0) add("        消除红眼", "是");
        if (s.rotateEnabled != 0)
            add("        图像旋转", formatMessage("%3.1f", static_cast<double>(s.rotateAngle)));
        if (s.flipEnabled != 0) add("        图像翻转", flipText(s.flipDirection));
    }

    separator();
    add("图像转换", yesNo(s.convertEnabled));
    if (s.convertEnabled != 0) {
        if (s.colorConvertEnabled != 0)
            add("        颜色类型转换", nameOf(colorTypeNames, s.colorType));
        if (s.formatConvertEnabled != 0) add("        图像格式转换", formatName(s.outputFormat));
    }

    separator();
    add("图像特效", yesNo(s.effectEnabled));
    if (s.effectEnabled != 0) add("        图像特效类型", nameOf(effectTypeNames, s.effectType));

    separator();
    for (const ReservedSetting& setting : reservedSettings)
        add(std::string(setting.label), reservedValueText(s, setting));
    return rows;
}

}  // namespace varnetto
