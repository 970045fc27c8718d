#include "schemes/SchemeViewRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <tuple>
#include <utility>

using namespace varnetto;

namespace {

using Rows = std::vector<SchemeViewRow>;

Scheme everyStepOff() {
    Scheme scheme;
    scheme.name = "网页";
    scheme.outputFolder = "/tmp/out";
    return scheme;
}

// The value of the first row with that label; "?" when there is none.
std::string valueOf(const Rows& rows, const std::string& label) {
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [&](const SchemeViewRow& row) { return row.label == label; });
    return found == rows.end() ? "?" : found->value;
}

bool hasLabel(const Rows& rows, const std::string& label) {
    return valueOf(rows, label) != "?";
}

}  // namespace

TEST(SchemeViewRows, EveryStepOffGivesTwentyRows) {
    const Rows expected{
        {"处理方案名称", "网页"},
        {"输出路径", "/tmp/out"},
        {"命名方式", "原图像文件名称"},
        {"", ""},
        {"调整大小", "否"},
        {"", ""},
        {"添加文字", "否"},
        {"", ""},
        {"添加边框", "否"},
        {"", ""},
        {"添加印章", "否"},
        {"", ""},
        {"图像增强处理", "否"},
        {"", ""},
        {"图像转换", "否"},
        {"", ""},
        {"图像特效", "否"},
        {"", ""},
        {"颜色配置文件", "保留图像的配置文件"},
        {"元数据", "全部保留"},
        {"文字随图像缩放（高度）", "否"},
        {"印章随图像缩放（宽度）", "否"},
        {"文件大小最大值", "不限"},
    };
    EXPECT_EQ(schemeViewRows(everyStepOff()), expected);
}

TEST(SchemeViewRows, RenameShowsPrefixAndStartNumber) {
    Scheme scheme = everyStepOff();
    scheme.namingMode = stored(NamingMode::Rename);
    scheme.renamePrefix = "thumb";
    scheme.renameStartNumber = 1;
    const Rows rows = schemeViewRows(scheme);
    ASSERT_EQ(rows.size(), 25u);
    EXPECT_EQ(rows[2], (SchemeViewRow{"命名方式", "重新命名"}));
    EXPECT_EQ(rows[3], (SchemeViewRow{"        前缀字符串", "thumb"}));
    EXPECT_EQ(rows[4], (SchemeViewRow{"        后缀起始编号", "1"}));

    scheme.namingMode = 7;  // unknown: no text, no details
    const Rows unknown = schemeViewRows(scheme);
    EXPECT_EQ(unknown[2], (SchemeViewRow{"命名方式", ""}));
    EXPECT_EQ(unknown.size(), 23u);
}

TEST(SchemeViewRows, ResizeDetailFollowsTheMode) {
    struct Case {
        int mode;
        SchemeViewRow detail;
    };
    const Case cases[] = {
        {1, {"        图像宽高按比例缩小", "50 %"}},
        {2, {"        指定图像宽度", "50 Pixel"}},
        {3, {"        指定图像高度", "50 Pixel"}},
        {4, {"        指定文件大小的最大值", "50 K"}},
        {5, {"", ""}},  // fixed width and height: an empty detail row
    };
    for (const Case& c : cases) {
        Scheme scheme = everyStepOff();
        scheme.resizeEnabled = 1;
        scheme.resizeMode = c.mode;
        scheme.resizeValue = 50;
        scheme.resizeIncludesBorder = 0;
        const Rows rows = schemeViewRows(scheme);
        ASSERT_EQ(rows.size(), 25u) << c.mode;
        EXPECT_EQ(rows[4], (SchemeViewRow{"调整大小", "是"})) << c.mode;
        EXPECT_EQ(rows[5], c.detail) << c.mode;
        EXPECT_EQ(rows[6], (SchemeViewRow{"        处理边框", "否"})) << c.mode;
    }
}

TEST(SchemeViewRows, SwitchedOffStepsHideDetailsWhoseOwnSwitchesAreOn) {
    Scheme scheme = everyStepOff();
    scheme.brightnessEnabled = scheme.contrastEnabled = scheme.sharpenEnabled = 1;
    scheme.despeckleEnabled = scheme.redEyeEnabled = scheme.rotateEnabled = 1;
    scheme.flipEnabled = scheme.colorConvertEnabled = scheme.formatConvertEnabled = 1;
    EXPECT_EQ(schemeViewRows(scheme).size(), 23u);

    scheme.enhanceEnabled = scheme.convertEnabled = scheme.effectEnabled = 1;
    scheme.textEnabled = scheme.borderEnabled = scheme.stampEnabled = 1;
    // 7 enhancement details, 2 conversion, 1 effect, 1 text, 3 border, 1 stamp.
    EXPECT_EQ(schemeViewRows(scheme).size(), 23u + 7 + 2 + 1 + 1 + 3 + 1);
}

TEST(SchemeViewRows, DetailValuesAndNameTables) {
    Scheme scheme = everyStepOff();
    scheme.enhanceEnabled = 1;
    scheme.brightnessEnabled = 1;
    scheme.brightnessChannel = stored(ChannelChoice::Cyan);
    scheme.brightnessValue = 65;
    scheme.contrastEnabled = 1;
    scheme.contrastChannel = 9;  // outside the table
    scheme.contrastValue = 40;
    scheme.rotateEnabled = 1;
    scheme.rotateAngle = -90.0f;
    scheme.redEyeEnabled = 1;
    scheme.flipEnabled = 1;
    scheme.flipDirection = stored(FlipDirection::Vertical);
    scheme.convertEnabled = 1;
    scheme.colorConvertEnabled = 1;
    scheme.colorType = stored(ColorType::NoColor);
    scheme.formatConvertEnabled = 1;
    scheme.outputFormat = stored(OutputFormat::Pdf);
    scheme.effectEnabled = 1;
    scheme.effectType = stored(EffectType::Engrave);
    scheme.borderEnabled = 1;
    scheme.borderKind = stored(DecorationKind::Custom);
    scheme.borderName = "Wood";
    const Rows rows = schemeViewRows(scheme);
    EXPECT_EQ(valueOf(rows, "        亮度调整"), "青:  65");
    EXPECT_EQ(valueOf(rows, "        对比度调整"), ":  40");
    EXPECT_EQ(valueOf(rows, "        图像旋转"), "-90.0");
    EXPECT_EQ(valueOf(rows, "        消除红眼"), "是");
    EXPECT_EQ(valueOf(rows, "        图像翻转"), "垂直");
    EXPECT_EQ(valueOf(rows, "        颜色类型转换"), "无色");
    EXPECT_EQ(valueOf(rows, "        图像格式转换"), "PDF");
    EXPECT_EQ(valueOf(rows, "        图像特效类型"), "雕刻化");
    EXPECT_EQ(valueOf(rows, "        边框名称"), "自定义边框图像");
    EXPECT_FALSE(hasLabel(rows, "        锐化调整"));

    scheme.borderKind = stored(DecorationKind::Named);
    scheme.flipDirection = stored(FlipDirection::None);
    scheme.outputFormat = -1;
    scheme.effectType = 2;
    const Rows other = schemeViewRows(scheme);
    EXPECT_EQ(valueOf(other, "        边框名称"), "Wood");
    EXPECT_EQ(valueOf(other, "        图像翻转"), "");
    EXPECT_EQ(valueOf(other, "        图像格式转换"), "");
    EXPECT_EQ(valueOf(other, "        图像特效类型"), "");

    // The formats added after the nine are named too.
    for (const auto& [format, name] :
         {std::pair{OutputFormat::WebP, "WebP"}, std::pair{OutputFormat::Avif, "AVIF"}}) {
        scheme.outputFormat = stored(format);
        EXPECT_EQ(valueOf(schemeViewRows(scheme), "        图像格式转换"), name);
    }
    scheme.outputFormat = 11;
    EXPECT_EQ(valueOf(schemeViewRows(scheme), "        图像格式转换"), "");

    // The settings of the reserved fields, by their table; a value outside
    // it reads as 0.
    for (const auto& [color, metadata, colorText, metadataText] :
         {std::tuple{1, 1, "转换为 sRGB", "去除位置和个人信息"},
          std::tuple{0, 2, "保留图像的配置文件", "只保留颜色配置文件"},
          std::tuple{5, -1, "保留图像的配置文件", "全部保留"}}) {
        scheme.reservedInts[0] = color;
        scheme.reservedInts[1] = metadata;
        const Rows reserved = schemeViewRows(scheme);
        EXPECT_EQ(valueOf(reserved, "元数据"), metadataText);
        EXPECT_EQ(valueOf(reserved, "颜色配置文件"), colorText);
    }
    // Numbers with their decimals and unit; out of range reads as 0.
    for (const auto& [caption, limit, captionText, limitText] :
         {std::tuple{1250, 200, "12.50 %", "200 K"}, std::tuple{5, 0, "0.05 %", "不限"},
          std::tuple{10001, -3, "否", "不限"}}) {
        scheme.reservedInts[2] = caption;
        scheme.reservedInts[4] = limit;
        const Rows reserved = schemeViewRows(scheme);
        EXPECT_EQ(valueOf(reserved, "文字随图像缩放（高度）"), captionText);
        EXPECT_EQ(reserved.back(), (SchemeViewRow{"文件大小最大值", limitText}));
    }
}
